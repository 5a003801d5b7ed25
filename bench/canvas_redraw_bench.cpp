// The viewer's frame time: redrawing vantler-view's canvas, a 1280 × 800 window, on a document of
// typical screens (bench/typical_screen_documents.cpp), once the pictures the view needs are made,
// at 100 %, at 10 % and with every screen in view; a pan by 10 points between frames; and what
// making the pictures costs, once per screen and level, before the first sharp frame.
//
// usage: canvas_redraw_bench --vantler_document=FILE [Google Benchmark flags...]
// (bench/canvas-redraw writes the document and runs this.)
// The frame is drawn as the window server draws it (NSWindow::displayInContext into a bitmap of
// cairo's pixel format); handing the pixels to GTK is not included.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "CGColorSpace.h"
#include "CanvasView.h"
#include "NSWindow.h"
#include "VTPrototype.h"

namespace {

std::string documentPath;
constexpr double kWindowWidth = 1280, kWindowHeight = 800;

struct Viewer {
    std::shared_ptr<NSWindow> window;
    std::shared_ptr<CanvasView> canvas;
    CGContextRef backing;
};

Viewer openViewer() {
    static const auto prototype = VTPrototype::prototypeFromPath_error(documentPath, nullptr);
    Viewer viewer;
    viewer.window = NSWindow::initWithContentRect(CGRectMake(0, 0, kWindowWidth, kWindowHeight));
    viewer.canvas = std::make_shared<CanvasView>(CGRectMake(0, 0, kWindowWidth, kWindowHeight),
                                                 prototype, false, nullptr);
    viewer.window->setContentView(viewer.canvas);
    viewer.backing = CGBitmapContextCreate(
        nullptr, kWindowWidth, kWindowHeight, 8, 0, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    viewer.canvas->fitAll();
    return viewer;
}

void drawFrame(Viewer& viewer) {
    viewer.window->displayInContext(viewer.backing);
    benchmark::DoNotOptimize(CGBitmapContextGetData(viewer.backing));
}

// zoom 0: every screen in view (the canvas's fit).
void prepare(Viewer& viewer, double zoom) {
    if (zoom > 0) setZoomScale(*viewer.canvas, zoom);
    drawFrame(viewer);  // tells the canvas the device scale
    viewer.canvas->makeVisiblePictures();
}

void BM_RedrawFrame(benchmark::State& state) {
    Viewer viewer = openViewer();
    prepare(viewer, state.range(0) / 100.0);
    for (auto _ : state) drawFrame(viewer);
    state.counters["zoom"] = zoomScale(*viewer.canvas);
}

void BM_PanFrame(benchmark::State& state) {
    Viewer viewer = openViewer();
    prepare(viewer, state.range(0) / 100.0);
    double step = 10;
    int frames = 0;
    for (auto _ : state) {
        // Back and forth, so the view stays over screens whose pictures are made.
        if (++frames % 20 == 0) step = -step;
        panByX_y(*viewer.canvas, step, 0);
        drawFrame(viewer);
    }
}

void BM_MakeVisiblePictures(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Viewer viewer = openViewer();
        const double zoom = state.range(0) / 100.0;
        if (zoom > 0) setZoomScale(*viewer.canvas, zoom);
        drawFrame(viewer);
        state.ResumeTiming();
        viewer.canvas->makeVisiblePictures();
    }
}

// Arguments: the zoom in percent; 0 fits every screen.
BENCHMARK(BM_RedrawFrame)->Arg(100)->Arg(10)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanFrame)->Arg(100)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeVisiblePictures)
    ->Arg(100)
    ->Arg(10)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::string option = "--vantler_document=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], option.c_str(), option.size()) == 0)
            documentPath = argv[i] + option.size();
    if (documentPath.empty() || !VTPrototype::prototypeFromPath_error(documentPath, nullptr)) {
        std::fprintf(stderr,
                     "usage: canvas_redraw_bench --vantler_document=FILE [benchmark flags]\n");
        return 2;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
