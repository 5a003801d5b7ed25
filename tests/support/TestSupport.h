#pragma once
// Shared helpers of the tests: where test data lives, scratch files, running programs.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "NSException.h"
#include "NSLog.h"
#include "NSObject.h"

// The class record of a test-only archivable class, as Foundation's own classes declare theirs:
// TEST_CLASS("crap.Foo", NSObject::objcClass()).
#define TEST_CLASS(Name, Superclass) NS_CLASS_RECORD(Name, Superclass)

namespace test {

std::filesystem::path sourceDir();
std::filesystem::path fixturesDir();  // tests/data/apple-keyed-archives
std::filesystem::path dataDir();      // tests/data

// The names of the entries of a folder, sorted.
std::vector<std::string> filesIn(const std::filesystem::path& folder);

std::vector<uint8_t> readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A fresh directory under the system's temporary directory, removed when the object goes away.
class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

struct CommandResult {
    int exitStatus = -1;  // -1 when the program did not exit normally
    std::string standardOutput;
    std::string standardError;
};
// Runs a program with arguments (no shell), capturing its output.
CommandResult run(const std::vector<std::string>& argv);

// What an operation raised: the NSException's name and reason, or kNoFailure.
struct Failure {
    std::string name;
    std::string reason;
    bool operator==(const Failure&) const = default;
};
inline const Failure kNoFailure{"none", "nothing was raised"};
inline std::ostream& operator<<(std::ostream& out, const Failure& failure) {
    return out << failure.name << ": " << failure.reason;
}

template <class F>
Failure failureOf(F&& f) {
    try {
        f();
    } catch (const NSException& e) {
        return {e.name(), e.reason()};
    }
    return kNoFailure;
}

// Collects the lines logged (NSLog) while it lives, from any thread.
class LogCapture {
  public:
    LogCapture()
        : previous_(NSLogSetSink([this](const std::string& line) {
              std::lock_guard lock(mutex_);
              lines_.push_back(line);
          })) {}
    ~LogCapture() { NSLogSetSink(std::move(previous_)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
    NSLogSink previous_;
};

}  // namespace test
