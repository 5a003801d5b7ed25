#pragma once
// The string extension of the design tool's sources: the next name of a numbered series ("Layer",
// "Layer 2", "Layer 3"), a capture of a regular expression, a number written before a postfix, and
// text made safe for a URL.
//
// Strings are UTF-8, taken as std::string_view and given back as std::string, because that is how
// the model holds the names these functions number (a layer's name is a std::string, and an
// NSString's UTF8String() is one too).
//
// Regular expressions read as Foundation's do: UTF-8 text with Unicode classes (\d is a decimal
// digit of any script, \w and \b go by Unicode properties), case-insensitive here, and any Unicode
// line ending ends a line ("." stops at each; "$" also matches before a final one). They are
// PCRE2's: what ICU alone accepts (\N{name}, set operations in classes) does not compile, and \s
// also takes the vertical tab.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#pragma GCC visibility push(default)  // exported from libVantler

// `increment`: the next name in a numbered series. A name that ends in blanks and decimal digits
// gives what comes before the last run of blanks (but one: the blanks are greedy from the left, so
// "Layer   9" keeps two of its three blanks) and the number plus one: "Layer 2" → "Layer 3",
// "Copy 0" → "Copy 1". Any other name, also one of digits alone or with a letter after its digits,
// gives itself followed by " 2": "Layer" → "Layer 2", "2" → "2 2", "Layer 2b" → "Layer 2b 2". The
// number is read as Foundation's intValue reads it: only the digits 0 to 9 count (digits of other
// scripts match the pattern but read as 0) and it stops at INT32_MAX, so "Layer 2147483647" and
// anything longer give "Layer 2147483648".
std::string increment(std::string_view name);

// `regex:`: capture group 1 of the first match of `pattern` (case-insensitive) anywhere in
// `string`. None when nothing matches, the pattern has no group or does not compile, group 1 took
// no part in the match, or `string` is not UTF-8.
std::optional<std::string> regex(std::string_view string, std::string_view pattern);

// `numberWithPostfix:`: the number (read as `increment` reads one) in the first run of decimal
// digits directly followed by `postfix`; 0 when there is none. `postfix` is pattern text: "px"
// finds 12 in "width 12px", and a "." in it matches any character.
int32_t numberWithPostfix(std::string_view string, std::string_view postfix);

// `urlEncoded`: the typographic double quotes ” and “ made straight ("), then the single ones ’ and
// ‘ ('), then every character but letters, marks and digits of any script (Unicode categories L,
// M and N: "é" and "日" stay) percent-encoded byte by byte in UTF-8 with upper-case hex digits:
// "He said “hi”" → "He%20said%20%22hi%22". "" when `text` is not UTF-8.
std::string urlEncoded(std::string_view text);

#pragma GCC visibility pop
