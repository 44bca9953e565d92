// Drawing the chart with widgets: a first drawing (every element made, placed and shown), the same
// drawing again, and a window resize with the chart shown.

#include "chart_view.h"
#include "support/text.h"
#include "twips.h"
#include "window_layout.h"

#include <QApplication>
#include <QDate>
#include <QFrame>
#include <QLabel>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

QStringList days(int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QDate(2007, 1, 2).addDays(i).toString(S("dd-MM-yyyy")) + S(" - ") +
                     QString::number(4.0 + (i % 9) / 10.0, 'f', 4).replace(u'.', u',') + S(" - EuRibor 3m");
    return lines;
}

// The main window's chart frame and templates, shown on screen.
struct ChartWindow {
    ChartWindow() {
        window.resize(twips::toPixels(8490), twips::toPixels(6135));
        frame = new QFrame(&window);
        twips::place(frame, 0, 3120, 8415, 2895);
        frame->setFrameShape(QFrame::Box);
        frame->setAutoFillBackground(true);
        auto shape = [this](int left, int top, const char* colour) {
            auto* s = new QFrame(frame);
            twips::place(s, left, top, 255, 2535);
            s->setStyleSheet(S("background-color: ") + S(colour) + u';');
            s->hide();
            return s;
        };
        QFrame* shape1 = shape(120, 240, "rgb(255, 255, 0)");
        QFrame* shape2 = shape(345, 225, "rgb(0, 0, 128)");
        QFont tahoma(S("Tahoma"));
        tahoma.setPointSizeF(6.75);
        auto label = [this, &tahoma](int left, int top) {
            auto* l = new QLabel(frame);
            twips::place(l, left, top, 405, 165);
            l->setFont(tahoma);
            l->hide();
            return l;
        };
        QLabel* label3 = label(45, 360);
        QLabel* label4 = label(1440, 240);
        auto* line1 = new QFrame(frame);
        line1->setFrameShape(QFrame::HLine);
        twips::place(line1, 120, 720, 8160, 15);
        line1->hide();
        window.show();
        view = std::make_unique<ChartView>(frame, shape1, shape2, label3, line1, label4);
    }
    chart::ChartResult chartOf(const QStringList& lines) const {
        return chart::computeChart(view->input(lines, S("EuRibor 3m"), QString(), QString()));
    }
    void setFrameWidth(int width) { twips::place(frame, 0, 3120, width, 2895); }

    QWidget window;
    QFrame* frame;
    std::unique_ptr<ChartView> view;
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
        w.view->input(days(static_cast<int>(state.range(0))), S("EuRibor 3m"), {}, {});
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
        w.view->draw(empty);
        w.frame->hide();
        QApplication::processEvents();
        state.ResumeTiming();
        w.view->draw(result);
        if (onScreen)
            QApplication::processEvents();
    }
    state.counters["bars"] = static_cast<double>(result.bars.size());
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
    w.view->draw(w.chartOf(lines));
    QApplication::processEvents();
    for (auto _ : state) {
        w.view->draw(w.chartOf(lines));
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
    w.view->draw(w.chartOf(lines));
    QApplication::processEvents();
    bool wide = false;
    for (auto _ : state) {
        wide = !wide;
        const chart::WindowLayout l = chart::windowLayout(wide ? 8620 : 7000, 6595);
        twips::place(w.frame, 0, 3120, *l.elementWidth, *l.elementHeight);
        w.view->draw(w.chartOf(lines));
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
