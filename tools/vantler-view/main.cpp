// vantler-view: a desktop window that shows a Vantler document's screens side by side on a canvas
// that zooms and pans. File managers open documents with it through its desktop entry.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "CanvasView.h"
#include "NSAlert+Utilities.h"
#include "NSAppearance+Utilities.h"
#include "NSApplication.h"
#include "NSError.h"
#include "NSWindow.h"
#include "NSWindowServerGTK.h"
#include "ProgramCommandLine.h"
#include "RefusalReason.h"
#include "VTImage.h"
#include "VTPrototype.h"

namespace {

constexpr const char* kProgram = "vantler-view";

// The window's size when none is asked for: most of the screen, within these bounds.
constexpr double kLargestWindowWidth = 1400, kLargestWindowHeight = 900;
constexpr double kSmallestWindowSide = 200, kLargestWindowSide = 16384;

void printHelp() {
    std::printf(
        "Usage: %s [OPTION]... FILE\n"
        "Show the screens of the Vantler document FILE side by side, each with its name, in a\n"
        "window that zooms and pans.\n"
        "\n"
        "Mouse and keys:\n"
        "  drag                  pan\n"
        "  Ctrl or Alt + drag    zoom (to the right: in, to the left: out)\n"
        "  Ctrl + click          zoom in a step; Alt + click: zoom out a step\n"
        "  Shift + drag          select the layers the box covers: they are outlined and their\n"
        "                        names and frames are printed on standard output\n"
        "  wheel                 pan; Ctrl + wheel or a pinch: zoom about the pointer\n"
        "  0                     fit every screen in the window\n"
        "  1                     100 %%\n"
        "  + -                   zoom in or out a step\n"
        "  arrow keys            show the next or the previous screen\n"
        "  Esc, q                close the window\n"
        "\n"
        "Options:\n"
        "  --size WIDTHxHEIGHT   the window's size in points (default: most of the screen)\n"
        "  -h, --help            show this help and exit\n"
        "  -V, --version         show the version and exit\n"
        "\n"
        "Exit status: 0 when the window was closed; 1 when the document could not be shown (the\n"
        "reason appears in an alert and on standard error) or no display could be opened; 2 on\n"
        "wrong usage.\n",
        kProgram);
}

struct ViewerOptions {
    std::string path;
    std::optional<CGSize> windowSize;
};

std::optional<CGSize> parseWindowSize(const std::string& text) {
    const auto times = text.find('x');
    if (times == std::string::npos) return std::nullopt;
    const auto width = parseWholeNumber(std::string_view(text).substr(0, times),
                                        kSmallestWindowSide, kLargestWindowSide);
    const auto height = parseWholeNumber(std::string_view(text).substr(times + 1),
                                         kSmallestWindowSide, kLargestWindowSide);
    if (!width || !height) return std::nullopt;
    return CGSizeMake(static_cast<double>(*width), static_cast<double>(*height));
}

// Most of the main screen, centred on it; a fixed rectangle without a screen.
CGRect initialWindowFrame(std::optional<CGSize> asked) {
    const auto screen = NSScreen::mainScreen();
    const CGRect area =
        screen ? screen->frame : CGRectMake(0, 0, kLargestWindowWidth, kLargestWindowHeight);
    const CGSize size =
        asked.value_or(CGSizeMake(std::min(area.size.width * 0.8, kLargestWindowWidth),
                                  std::min(area.size.height * 0.8, kLargestWindowHeight)));
    return CGRectMake(CGRectGetMidX(area) - size.width / 2, CGRectGetMidY(area) - size.height / 2,
                      size.width, size.height);
}

// The document's screens, or none with the reason it cannot be shown.
std::shared_ptr<VTPrototype> loadDocument(const std::string& path, std::string* reason) {
    if (*reason = unreadableDocumentReason(path); !reason->empty()) return nullptr;
    // Movies show their first frame; nothing is written beside the document.
    VTImage::setDecodingStyle(1);
    std::shared_ptr<NSError> error;
    auto prototype = VTPrototype::prototypeFromPath_error(path, &error);
    if (!prototype) {
        *reason = error ? error->localizedFailureReason().value_or(error->localizedDescription())
                        : "the document could not be loaded";
        return nullptr;
    }
    if (!prototype->entryScreen()) {
        *reason = "the document has no screens";
        return nullptr;
    }
    return prototype;
}

int refuse(const std::string& path, const std::string& reason, bool withAlert) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, path.c_str(), reason.c_str());
    if (withAlert) {
        const std::string name = std::filesystem::path(path).filename().string();
        showAlertWithTitle_body(
            "The document \xe2\x80\x9c" + name + "\xe2\x80\x9d could not be opened.", reason);
    }
    return 1;
}

int view(const ViewerOptions& options) {
    const auto server = NSWindowServerGTK::open();
    NSApplication& application = NSApplication::sharedApplication();
    application.setWindowServer(server);

    std::string reason;
    const auto prototype = loadDocument(options.path, &reason);
    if (!prototype) return refuse(options.path, reason, server != nullptr);
    if (!server) {
        std::fprintf(stderr, "%s: cannot open a display\n", kProgram);
        return 1;
    }

    const auto window = NSWindow::initWithContentRect(initialWindowFrame(options.windowSize));
    const CGSize contentSize = window->frame().size;
    const auto canvas =
        std::make_shared<CanvasView>(CGRectMake(0, 0, contentSize.width, contentSize.height),
                                     prototype, isDark(NSAppearance::currentAppearance()), stdout);
    window->setContentView(canvas);
    window->makeFirstResponder(canvas);
    window->setTitle(std::filesystem::path(options.path).filename().string());
    canvas->fitAll();
    window->makeKeyAndOrderFront();
    application.run();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ViewerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            printHelp();
            return 0;
        }
        if (argument == "-V" || argument == "--version") return printVersion(kProgram);
        if (argument == "--size") {
            if (i + 1 == argc) return usageError(kProgram, "--size needs WIDTHxHEIGHT");
            options.windowSize = parseWindowSize(argv[++i]);
            if (!options.windowSize)
                return usageError(
                    kProgram,
                    badValue("--size", "two whole numbers from 200 to 16384 as WIDTHxHEIGHT",
                             argv[i]));
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-' && argument != "--")
            return usageError(kProgram, "unknown option " + argument);
        if (argument == "--" && i + 1 < argc) ++i;
        if (!options.path.empty()) return usageError(kProgram, "one FILE only");
        options.path = argv[i];
    }
    if (options.path.empty()) return usageError(kProgram, "a FILE is needed");
    return view(options);
}
