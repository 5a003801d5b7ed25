#pragma once
// The platform's exception: raised only by the keyed archive on malformed data and caught only by
// the document loader and writer (and the command-line tools), which turn it into a document error.

#include <stdexcept>
#include <string>

#pragma GCC visibility push(default)  // exported from libVantler

// Exception names, as Foundation spells them.
inline constexpr const char* NSInvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* NSInvalidUnarchiveOperationException =
    "NSInvalidUnarchiveOperationException";
inline constexpr const char* NSRangeException = "NSRangeException";

class NSException : public std::runtime_error {
  public:
    NSException(std::string name, std::string reason)
        : std::runtime_error(reason), name_(std::move(name)), reason_(std::move(reason)) {}

    const std::string& name() const { return name_; }
    // What went wrong, in words a user can read; may be empty.
    const std::string& reason() const { return reason_; }

    [[noreturn]] static void raise(std::string name, std::string reason) {
        throw NSException(std::move(name), std::move(reason));
    }

  private:
    std::string name_;
    std::string reason_;
};

#pragma GCC visibility pop
