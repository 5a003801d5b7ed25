#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "NSString+Utilities.h"

using Case = std::pair<std::string, std::string>;  // input, expected

TEST(NSStringUtilities, IncrementNumbersNames) {
    const Case cases[] = {
        {"Layer", "Layer 2"},
        {"Layer 2", "Layer 3"},
        {"Copy 0", "Copy 1"},
        {"2", "2 2"},
        {"Layer 2b", "Layer 2b 2"},
        {"Layer 2 copy", "Layer 2 copy 2"},
        {"", " 2"},
        // The name keeps all of its blanks but the last: the first group is greedy.
        {"Layer   9", "Layer   10"},
        {"Layer\t9", "Layer 10"},
        {"Layer\u00A09", "Layer 10"},  // no-break space
        {"Layer\u30009", "Layer 10"},  // ideographic space
        {"Layer\v9", "Layer\v9 2"},    // not a blank to Foundation
        {"Layer 2\n", "Layer 3"},      // "$" matches before a final line ending
        // Digits of other scripts are digits, but only 0 to 9 are read as a number.
        {"Layer \u0663", "Layer 1"},
        {"Layer 1\u0663", "Layer 2"},
        // Read as a 32-bit integer, which stops at its largest value; counted on in 64 bits.
        {"Layer 2147483647", "Layer 2147483648"},
        {"Layer 99999999999", "Layer 2147483648"},
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        EXPECT_EQ(increment(input), expected);
    }
}

TEST(NSStringUtilities, RegexGivesTheFirstGroupOfTheFirstMatch) {
    const struct {
        const char* string;
        const char* pattern;
        std::optional<std::string> expected;
    } cases[] = {
        {"width 12px, height 30px", R"((\d+)px)", "12"},
        {"ABC", "(b)", "B"},  // case-insensitive
        {"x\u0663y", R"((\d))", "\u0663"},
        {"abc", "b", std::nullopt},       // no group
        {"abc", "(x)", std::nullopt},     // no match
        {"b", "(a)|b", std::nullopt},     // the group took no part
        {"abc", "(", std::nullopt},       // does not compile
        {"ab\xff", "(a)", std::nullopt},  // not UTF-8
        {"", "()", ""},
    };
    for (const auto& [string, pattern, expected] : cases) {
        SCOPED_TRACE(std::string(string) + " ~ " + pattern);
        EXPECT_EQ(regex(string, pattern), expected);
    }
}

TEST(NSStringUtilities, NumberWithPostfixReadsTheDigitsBeforeIt) {
    const struct {
        const char* string;
        const char* postfix;
        int32_t expected;
    } cases[] = {
        {"width 12px", "px", 12}, {"a1b22PX", "px", 22}, {"12 px", "px", 0},
        {"none", "px", 0},        {"3x5", ".", 3},       {"99999999999px", "px", INT32_MAX},
    };
    for (const auto& [string, postfix, expected] : cases) {
        SCOPED_TRACE(std::string(string) + " / " + postfix);
        EXPECT_EQ(numberWithPostfix(string, postfix), expected);
    }
}

TEST(NSStringUtilities, UrlEncodedKeepsLettersMarksAndDigitsOnly) {
    const Case cases[] = {
        {"He said \u201Chi\u201D", "He%20said%20%22hi%22"},
        {"it\u2019s \u2018ok\u2019", "it%27s%20%27ok%27"},
        {"a/b?c=d&e_-.~", "a%2Fb%3Fc%3Dd%26e%5F%2D%2E%7E"},
        {"caf\u00E9 \u65E5\u672C", "caf\u00E9%20\u65E5\u672C"},  // letters of any script
        {"e\u0301", "e\u0301"},                                  // a combining mark
        {"\u00BD", "\u00BD"},                                    // a number: one half
        {"\U0001F600", "%F0%9F%98%80"},                          // an emoji is a symbol
        {std::string("a\0b", 3), "a%00b"},
        {"", ""},
        // Not UTF-8: the encoding fails.
        {"ab\xff", ""},
        {"ab\xc3", ""},
        {"\xed\xa0\x80", ""},  // a surrogate
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        EXPECT_EQ(urlEncoded(input), expected);
    }
}
