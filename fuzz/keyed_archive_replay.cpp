// Runs the keyed archive fuzz function over files without libFuzzer, so that the seed corpus (Apple's
// archives and tests/data/malformed) is replayed by CTest in every build, sanitized builds included.
//   keyed_archive_replay FILE|DIRECTORY...
// Every regular file named, and every regular file directly inside a directory named, is one input.
// Exit status: 0 when every input ran, 2 on wrong usage or an unreadable input; a bug aborts.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: keyed_archive_replay FILE|DIRECTORY...\n");
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
            std::fprintf(stderr, "keyed_archive_replay: %s: %s\n", path.c_str(), error.message().c_str());
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "keyed_archive_replay: %s: cannot be read\n", path.c_str());
            return 2;
        }
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("keyed_archive_replay: %zu inputs\n", inputs.size());
    return 0;
}
