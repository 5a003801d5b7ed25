#pragma once
// What the programs' command lines share: one syntax for numbers, one wording for a bad value,
// and the answers to wrong usage and --version.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A plain decimal whole number from `low` to `high` ("12"; not "+12", "12.0", "1e1", "0x0c").
std::optional<int64_t> parseWholeNumber(std::string_view text, int64_t low, int64_t high);

// A plain decimal number ("0.5", "2", "1e3"; not "+2", "0x2", "inf", "nan").
std::optional<double> parseDecimal(std::string_view text);

// --timeout SECONDS, alike in both programs: from 0, no deadline, to one day, the longest deadline
// for which the timers' arithmetic stays exact.
std::optional<double> parseTimeout(std::string_view text);
inline constexpr const char* kTimeoutValues =
    "a number of seconds from 0 to 86400 (0: no deadline)";

// `OPTION needs WHAT, not "TEXT"`: the one wording of a value out of range or not a number.
std::string badValue(std::string_view option, std::string_view what, std::string_view text);

// "PROGRAM: MESSAGE (see PROGRAM --help)" on standard error; returns exit status 2.
int usageError(const char* program, const std::string& message);

// "PROGRAM VERSION" on standard output, the project's version; returns exit status 0.
int printVersion(const char* program);
