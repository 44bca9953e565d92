// Drawing the chart in its frame: a first drawing (every element made, placed and shown), the same
// drawing again, and a window resize with the chart shown.

#include "chart_frame.h"
#include "support/text.h"
#include "twips.h"
#include "window_layout.h"

#include <QApplication>
#include <QDate>

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace {

QStringList days(int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QDate(2007, 1, 2).addDays(i).toString(S("dd-MM-yyyy")) + S(" - ") +
                     QString::number(4.0 + (i % 9) / 10.0, 'f', 4).replace(u'.', u',') + S(" - EuRibor 3m");
    return lines;
}

// The main window's chart frame with its templates, shown on screen.
struct ChartWindow {
    ChartWindow() {
        window.resize(twips::toPixels(8490), twips::toPixels(6135));
        setFrameWidth(8415);
        window.show();
    }
    chart::ChartResult chartOf(const QStringList& lines) const {
        return chart::computeChart(frame->input(lines, S("EuRibor 3m"), QString(), QString()));
    }
    void setFrameWidth(int width) { twips::place(frame, 0, 3120, width, 2895); }

    QWidget window;
    ChartFrame* frame = new ChartFrame(&window);
};

ChartWindow& chartWindow() {
    static ChartWindow w;
    return w;
}

// range(0): lines; range(1): Frame2's width in twips. 1000 bars need a frame of 80000 twips to stand at
// the regular spacing; at the window's first width 1000 lines give the 273 bars that fit.
void frameArgs(benchmark::internal::Benchmark* b) {
    b->Args({250, 8415})->Args({1000, 8415})->Args({1000, 80000})->Unit(benchmark::kMillisecond);
}

void BM_ComputeChart(benchmark::State& state) {
    ChartWindow& w = chartWindow();
    w.setFrameWidth(static_cast<int>(state.range(1)));
    const chart::ChartInput in =
        w.frame->input(days(static_cast<int>(state.range(0))), S("EuRibor 3m"), {}, {});
    for (auto _ : state)
        benchmark::DoNotOptimize(chart::computeChart(in));
}
BENCHMARK(BM_ComputeChart)->Apply(frameArgs);

// The first drawing after the start (no bars yet, the frame hidden): every element made, placed and
// shown; with `onScreen`, also the pending events run until the picture is on screen.
void firstDrawing(benchmark::State& state, bool onScreen) {
    ChartWindow& w = chartWindow();
    w.setFrameWidth(static_cast<int>(state.range(1)));
    const chart::ChartResult result = w.chartOf(days(static_cast<int>(state.range(0))));
    const chart::ChartResult empty = w.chartOf({});
    for (auto _ : state) {
        state.PauseTiming();
        w.frame->draw(empty);
        w.frame->hide();
        QApplication::processEvents();
        state.ResumeTiming();
        w.frame->draw(result);
        if (onScreen)
            QApplication::processEvents();
    }
    state.counters["bars"] = static_cast<double>(result.bars.size());
    // The heap a drawing holds, over the empty chart's.
    w.frame->draw(empty);
    const std::size_t before = mallinfo2().uordblks;
    w.frame->draw(result);
    state.counters["heap_kib"] =
        (static_cast<double>(mallinfo2().uordblks) - static_cast<double>(before)) / 1024;
}
void BM_FirstDrawing(benchmark::State& state) {
    firstDrawing(state, false);
}
void BM_FirstDrawingOnScreen(benchmark::State& state) {
    firstDrawing(state, true);
}
BENCHMARK(BM_FirstDrawing)->Apply(frameArgs);
BENCHMARK(BM_FirstDrawingOnScreen)->Apply(frameArgs);

// The same lines drawn again (a tenor pick that lists the same count, "Grafico" pressed twice).
void BM_Redraw(benchmark::State& state) {
    ChartWindow& w = chartWindow();
    w.setFrameWidth(static_cast<int>(state.range(1)));
    const QStringList lines = days(static_cast<int>(state.range(0)));
    w.frame->draw(w.chartOf(lines));
    QApplication::processEvents();
    for (auto _ : state) {
        w.frame->draw(w.chartOf(lines));
        QApplication::processEvents();
    }
}
BENCHMARK(BM_Redraw)->Apply(frameArgs);

// A resize with the chart shown: the layout rule, the frame stretched, the chart worked out and drawn
// again for the new width, and put on screen.
void BM_ResizeRedraw(benchmark::State& state) {
    ChartWindow& w = chartWindow();
    const QStringList lines = days(static_cast<int>(state.range(0)));
    w.setFrameWidth(8415);
    w.frame->draw(w.chartOf(lines));
    QApplication::processEvents();
    bool wide = false;
    for (auto _ : state) {
        wide = !wide;
        const chart::WindowLayout l = chart::windowLayout(wide ? 8620 : 7000, 6595);
        twips::place(w.frame, 0, 3120, *l.elementWidth, *l.elementHeight);
        w.frame->draw(w.chartOf(lines));
        QApplication::processEvents();
    }
}
BENCHMARK(BM_ResizeRedraw)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
