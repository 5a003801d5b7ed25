#pragma once
// Shared helpers of the tests: where test data lives, scratch files, running programs.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace test {

std::filesystem::path sourceDir();
std::filesystem::path fixturesDir();  // shared/fixtures/apple-keyed-archives
std::filesystem::path dataDir();      // tests/data

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

}  // namespace test
