// Frame cost of each progress widget at the sizes the viewer instance uses,
// centred on an 800 x 480 ARGB surface as on the device's screen. Each
// iteration is one draw; the time is reported in microseconds per frame.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include "ui/cairo_context.h"
#include "ui/color.h"
#include "ui/loading_circle_cairo_widget.h"
#include "ui/progress_bar_cairo_widget.h"
#include "ui/progress_info.h"

namespace {

using NPluginUI::CColor;

constexpr int kSurfaceWidth = 800;
constexpr int kSurfaceHeight = 480;

CColor fromBytes(int red, int green, int blue) { return CColor(red / 255.0, green / 255.0, blue / 255.0); }

class Screen {
public:
    Screen()
        : mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSurfaceWidth, kSurfaceHeight)),
          mCairo(cairo_create(mSurface)) {}
    ~Screen() {
        cairo_destroy(mCairo);
        cairo_surface_destroy(mSurface);
    }
    cairo_t* cairo() const { return mCairo; }

private:
    cairo_surface_t* mSurface;
    cairo_t* mCairo;
};

void ProgressBarDraw(benchmark::State& state) {
    Screen screen;
    NPluginUI::CCairoContext context;
    context.mCairo = screen.cairo();
    NPluginUI::CProgressInfo info;
    info.setSize(1000000);
    NPluginUI::CProgressBarCairoWidget bar(context, info, 400, 60, 5, 48, fromBytes(46, 52, 54),
                                           fromBytes(238, 238, 236), fromBytes(52, 101, 164), true);
    double position = 0;
    for (auto _ : state) {
        // A new percentage every frame, as while a document arrives.
        position = position >= 1000000 ? 0 : position + 10000;
        info.setPosition(position);
        bar.draw((kSurfaceWidth - 400) / 2, (kSurfaceHeight - 60) / 2);
    }
    cairo_surface_flush(cairo_get_target(screen.cairo()));
}
BENCHMARK(ProgressBarDraw)->Unit(benchmark::kMicrosecond);

void LoadingCircleDraw(benchmark::State& state) {
    Screen screen;
    NPluginUI::CCairoContext context;
    context.mCairo = screen.cairo();
    NPluginUI::CLoadingCircleCairoWidget circle(context, 200, 200, fromBytes(238, 238, 236),
                                                fromBytes(52, 101, 164));
    for (auto _ : state) {
        circle.draw((kSurfaceWidth - 200) / 2, (kSurfaceHeight - 200) / 2);
    }
    cairo_surface_flush(cairo_get_target(screen.cairo()));
}
BENCHMARK(LoadingCircleDraw)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
