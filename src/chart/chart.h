#pragma once
// The bar chart of the listed history, worked out in twips from the list lines, the fields and the
// template values. No widget is touched here; Frame2 (ChartFrame) puts the result on screen.
//
// Arithmetic: "/" divides in floating point, and the places and sizes are single-precision twips in
// the chart's rules. We compute in double and round every place and size once, to whole
// twips (halves away from zero). The widgets stand on whole pixels of 15 twips, and since a pixel edge
// always falls on a half twip this rounding never moves an edge by a pixel.

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace chart {

// A drawing keeps at most this many selected lines, the newest (last listed) ones.
constexpr int kMaxBars = 1000;
// One pixel: the narrowest bar and the narrowest gap between two bars.
constexpr int kMinBar = 15;

struct ChartInput {
    QStringList lines;     // List1's items, first to last
    QString tenorText;     // Combo1
    QString fromText;      // txtDA_DATA
    QString toText;        // txtA_DATA
    int frameWidth = 8415; // Frame2
    int frameHeight = 2895;
    int barLeft = 120; // Shape1(0)
    int barTop = 240;
    int barHeight = 2535;
    int gridLabelWidth = 405; // Label4(0)
};

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Bar i: Shape1(i), its cover Shape2(i) (same left, top and width) and its date label Label3(i).
struct ChartBar {
    QString date;     // characters 1 to 10 of the line
    double value = 0; // the rate as read from the line
    double cover = 0; // p, the share of the bar that the cover hides, 0 to 100
    int left = 0, top = 0, width = 0, height = 0;
    int coverHeight = 0;
    std::optional<Rgb> fill; // set when the bar is not filled with the template's colour
    QString caption;
    int labelLeft = 0, labelTop = 0;
};

// Grid element k: the horizontal line Line1(k) from (x1, y) to (x2, y) and its label Label4(k).
struct GridLine {
    int x1 = 0, x2 = 0, y = 0;
    QString caption;
    int labelLeft = 0, labelTop = 0;
};

struct ChartResult {
    std::vector<ChartBar> bars;   // ChartCount is their number
    std::array<GridLine, 3> grid; // 75%, 50%, 25%
    double chartMax = 0;          // the largest drawn rate, 0 when none is positive
    int selected = 0;             // lines that passed the filters, before the oldest were left out
    // Bar width and distance from one bar's left edge to the next one's, before rounding.
    double barWidth = 0;
    double pitch = 0;
};

ChartResult computeChart(const ChartInput& in);

} // namespace chart
