#include "ExportCommand.h"

#include <cstdio>
#include <memory>

#include "FileRequest.h"
#include "VTLayer+Offscreen.h"
#include "VTLayerTreeQueries.h"

namespace {

// The screens of the document, and those of its components, which hold layers of the document too.
std::vector<std::shared_ptr<VTLayer>> screensOf(const VTPrototype& prototype) {
    std::vector<std::shared_ptr<VTLayer>> screens;
    const auto add = [&](const VTPrototype& from) {
        for (const auto& screen : from.screens()) screens.push_back(screen);
    };
    add(prototype);
    for (const auto& component : prototype.masterComponents()) add(*component);
    return screens;
}

// The layers named `name` on those screens, each tree walked once in drawing order (an instance's
// component screen is walked with the components, not inside every instance).
std::vector<std::shared_ptr<VTLayer>> layersNamed(const VTPrototype& prototype,
                                                  const std::string& name) {
    std::vector<std::shared_ptr<VTLayer>> found;
    enumerateLayerTrees(screensOf(prototype), [&](const std::shared_ptr<VTLayer>& layer, int64_t&) {
        if (layer->name() == name) found.push_back(layer);
    });
    return found;
}

}  // namespace

int exportCommand(const std::vector<std::string>& args) {
    const auto parsed = readFileRequest(
        "export", args, {{"-d", true}, {"--layer", true}}, [](const FileRequest& request) {
            return request.has("-d") ? std::string() : "export needs -d DIR";
        });
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const auto& request = std::get<FileRequest>(parsed);
    const auto prototype = loadDocument(request);
    if (!prototype) return 1;

    std::vector<std::shared_ptr<VTLayer>> layers;
    if (request.has("--layer")) {
        layers = layersNamed(*prototype, request.value("--layer"));
        if (layers.empty()) {
            std::fprintf(stderr, "vantler-ql: %s: no layer is named \"%s\"\n",
                         request.name().c_str(), request.value("--layer").c_str());
            return 1;
        }
    } else {
        for (const auto& screen : prototype->screens()) layers.push_back(screen);
        if (layers.empty()) {
            std::fprintf(stderr, "vantler-ql: %s: the document has no screens\n",
                         request.name().c_str());
            return 1;
        }
    }
    int status = 0;
    for (const auto& layer : layers) {
        const auto file = writePNGToDirectory(*layer, request.value("-d"));
        if (file.written) {
            std::printf("%s\n", file.path.c_str());
        } else {
            std::fprintf(stderr, "vantler-ql: %s: could not be written\n", file.path.c_str());
            status = 1;
        }
    }
    return status;
}
