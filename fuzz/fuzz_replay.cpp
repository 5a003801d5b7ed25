// Runs a fuzz function over files without libFuzzer, so that each fuzzer's seed corpus is replayed
// by CTest in every build, sanitized builds included. Linked with one fuzzer source per program:
//   keyed_archive_replay FILE|DIRECTORY...     image_source_replay FILE|DIRECTORY...
// Every regular file named, and every regular file directly inside a directory named, is one input.
// Exit status: 0 when every input ran, 2 on wrong usage or an unreadable input; a bug aborts.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size);

int main(int argc, char** argv) {
    const std::string program = std::filesystem::path(argv[0]).filename().string();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE|DIRECTORY...\n", program.c_str());
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(path, error))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else {
            inputs.push_back(path);
        }
        if (error) {
            std::fprintf(stderr, "%s: %s: %s\n", program.c_str(), path.c_str(),
                         error.message().c_str());
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "%s: %s: cannot be read\n", program.c_str(), path.c_str());
            return 2;
        }
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                         std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%s: %zu inputs\n", program.c_str(), inputs.size());
    return 0;
}
