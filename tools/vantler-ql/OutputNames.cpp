#include "OutputNames.h"

#include <filesystem>
#include <unordered_set>

std::vector<std::string> uniqueOutputNames(const std::vector<std::string>& files,
                                           const std::string& extension) {
    std::unordered_set<std::string> taken;
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const auto& file : files) {
        std::string stem = std::filesystem::path(file).stem().string();
        if (stem.empty() || stem == "." || stem == "..") stem = "untitled";
        std::string name = stem + "." + extension;
        for (size_t n = 2; taken.contains(name); ++n)
            name = stem + "-" + std::to_string(n) + "." + extension;
        taken.insert(name);
        names.push_back(std::move(name));
    }
    return names;
}
