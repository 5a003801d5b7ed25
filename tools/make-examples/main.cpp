// make-examples: writes the bundled example documents into a folder (examples/ in the source tree)
// from the assets in another (examples/assets). The examples are made by the project's own model
// and archiver, so they show what it writes; a test checks that the committed files are what this
// program writes, so everything in them is fixed (identifiers, dates), nothing comes from the
// clock.

#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

#include "Examples.h"

namespace {

bool write(const std::string& path, const NSData& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.bytes()),
              static_cast<std::streamsize>(data.length()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        const bool help = argc == 2 && std::string(argv[1]) == "--help";
        std::fputs(
            "usage: make-examples ASSETDIR OUTDIR\n"
            "  writes the example documents, made with the images and movies of ASSETDIR,"
            " into OUTDIR\n",
            help ? stdout : stderr);
        return help ? 0 : 2;
    }
    const examples::ExampleAssets assets(argv[1]);
    const std::string folder = argv[2];
    const std::pair<const char*, std::function<std::shared_ptr<NSData>()>> documents[] = {
        {"sign-in.vantler", [&] { return examples::signInDocument(assets); }},
        {"feed.vantler", [&] { return examples::feedDocument(assets); }},
        {"settings.vantler", examples::settingsDocument},
        {"media-player.vantler", [&] { return examples::mediaPlayerDocument(assets); }},
        {"embedded-thumbnail.vantler", examples::embeddedThumbnailDocument},
        {"sample-archive.plist", examples::sampleArchive},
    };
    try {
        for (const auto& [name, make] : documents) {
            if (!write(folder + "/" + name, *make()))
                throw std::runtime_error("cannot write " + folder + "/" + name);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-examples: %s\n", error.what());
        return 1;
    }
    return 0;
}
