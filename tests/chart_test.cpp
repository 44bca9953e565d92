// The chart worked out in twips from the list lines, and the window's resize rule.

#include "chart.h"
#include "twips.h"
#include "window_layout.h"

#include <QDate>

#include <cmath>

#include <gtest/gtest.h>

using chart::ChartInput;
using chart::ChartResult;
using chart::computeChart;

namespace {

QString S(const char* s) {
    return QString::fromUtf8(s);
}

// A history list line: the date in characters 1-10, the rate field in 13-19, the tenor from 22.
QString line(const QString& date, const QString& rate7, const QString& tenor = S("EuRibor 3m")) {
    return date.leftJustified(10) + S(" -") + rate7.leftJustified(7) + S(" -") + tenor;
}

// Consecutive days from 02-01-2007 on, all of one tenor.
QStringList days(int count, const QString& rate = S(" 4,1000")) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << line(QDate(2007, 1, 2).addDays(i).toString(S("dd-MM-yyyy")), rate);
    return lines;
}

ChartInput chartOf(const QStringList& lines, const QString& tenor = S("EuRibor 3m")) {
    ChartInput in;
    in.lines = lines;
    in.tenorText = tenor;
    return in;
}

QStringList datesOf(const ChartResult& r) {
    QStringList d;
    for (const chart::ChartBar& b : r.bars)
        d << b.date;
    return d;
}

} // namespace

TEST(Chart, OneBarTakesTheFrameWidthLess68FromTheLeftMargin) {
    ChartInput in = chartOf({line(S("15-10-2007"), S(" 4,1000"))});
    ChartResult r = computeChart(in);
    ASSERT_EQ(r.bars.size(), 1u);
    const chart::ChartBar& b = r.bars[0];
    EXPECT_EQ(b.width, 8415 - 68);
    EXPECT_EQ(b.left, 120);
    EXPECT_EQ(b.top, 170);
    EXPECT_EQ(b.height, 2535);
    EXPECT_DOUBLE_EQ(b.cover, 30);
    EXPECT_EQ(b.coverHeight, 761); // 2535 / 100 * 30 = 760.5
    EXPECT_EQ(b.caption, S("15-10-2007"));
    EXPECT_EQ(b.labelLeft, 120);
    EXPECT_EQ(b.labelTop, 2895 - 180);
    EXPECT_FALSE(b.fill.has_value());
    EXPECT_DOUBLE_EQ(r.chartMax, 4.1);

    // Only the horizontal spacing and the label row follow the frame.
    in.frameWidth = 6000;
    in.frameHeight = 2000;
    r = computeChart(in);
    EXPECT_EQ(r.bars[0].width, 5932);
    EXPECT_EQ(r.bars[0].labelTop, 1820);
    EXPECT_EQ(r.bars[0].top, 170);
}

TEST(Chart, CoversGrowAsRatesFallBelowTheLargest) {
    const ChartResult r =
        computeChart(chartOf({line(S("01-10-2007"), S(" 4,0000")), line(S("02-10-2007"), S(" 3,8000")),
                              line(S("03-10-2007"), S(" 3,9000")), line(S("04-10-2007"), S(" 3,4400")),
                              line(S("05-10-2007"), S(" 2,0000")), line(S("06-10-2007"), S("-1,0000"))}));
    ASSERT_EQ(r.bars.size(), 6u);
    EXPECT_DOUBLE_EQ(r.bars[0].cover, 30);
    EXPECT_DOUBLE_EQ(r.bars[1].cover, 55);
    EXPECT_EQ(r.bars[1].coverHeight, 1394);
    EXPECT_NEAR(r.bars[2].cover, 42.5, 1e-9);
    // 86% of the largest rate or less, and any negative rate, leave no yellow.
    EXPECT_NEAR(r.bars[3].cover, 100, 1e-9);
    EXPECT_DOUBLE_EQ(r.bars[4].cover, 100);
    EXPECT_DOUBLE_EQ(r.bars[5].cover, 100);
    EXPECT_EQ(r.bars[5].coverHeight, 2535);
    EXPECT_DOUBLE_EQ(r.bars[5].value, -1);
}

TEST(Chart, NoPositiveRateLeavesEveryBarUncovered) {
    const ChartResult r =
        computeChart(chartOf({line(S("01-10-2007"), S(" 0,0000")), line(S("02-10-2007"), S("-1,5000")),
                              line(S("03-10-2007"), S("  n.d."))}));
    ASSERT_EQ(r.bars.size(), 3u);
    EXPECT_EQ(r.chartMax, 0);
    for (const chart::ChartBar& b : r.bars) {
        EXPECT_EQ(b.cover, 0);
        EXPECT_EQ(b.coverHeight, 0);
        EXPECT_EQ(b.height, 2535);
    }
}

TEST(Chart, RateTextsAreReadWithTheirDecimalComma) {
    const QStringList rates = {S(" 4,617"), S(",5"), S(" ,25"), S(" 4.25"),   S("1,2,3"),
                               S(" n.d."),  S(""),   S("3, 5"), S("4,12345"), S("1234567")};
    const double values[] = {4.617, 0.5, 0.25, 4.25, 1.2, 0, 0, 3.5, 4.12345, 1234567};
    QStringList lines;
    for (const QString& rate : rates)
        lines << line(S("01-10-2007"), rate);
    const ChartResult r = computeChart(chartOf(lines));
    ASSERT_EQ(r.bars.size(), rates.size());
    for (std::size_t i = 0; i < r.bars.size(); ++i)
        EXPECT_DOUBLE_EQ(r.bars[i].value, values[i]) << rates[static_cast<qsizetype>(i)].toStdString();
}

TEST(Chart, GapAndWidthChangeAt20And30Bars) {
    struct Case {
        int n;
        double width;
        int lastLeft;
    };
    // w = (8415 - gap * n) / n - 20 below 20 bars, - 10 from 20; gap 48 below 30 bars, 43 from 30.
    const Case cases[] = {
        {19, 7503.0 / 19 - 20, 7660}, // 120 + 18 * (w + 44) = 7660.1
        {20, 362.75, 7848},           // 120 + 19 * 406.75
        {29, 7023.0 / 29 - 10, 7853}, // 120 + 28 * (w + 44) = 7852.8
        {30, 227.5, 7994},            // 120 + 29 * 271.5 = 7993.5
    };
    for (const Case& c : cases) {
        const ChartResult r = computeChart(chartOf(days(c.n)));
        ASSERT_EQ(r.bars.size(), static_cast<std::size_t>(c.n));
        EXPECT_NEAR(r.barWidth, c.width, 1e-9) << c.n;
        EXPECT_NEAR(r.pitch, c.width + 44, 1e-9) << c.n;
        EXPECT_EQ(r.bars.front().left, 120) << c.n;
        EXPECT_EQ(r.bars.back().left, c.lastLeft) << c.n;
        EXPECT_EQ(r.bars.back().width, static_cast<int>(std::lround(c.width))) << c.n;
    }
}

TEST(Chart, LabelCaptionsShortenWithTheNumberOfBars) {
    struct Case {
        int n;
        const char* caption; // of the first bar, dated 02-01-2007
    };
    const Case cases[] = {{1, "02-01-2007"}, {12, "02-01-2007"}, {13, "02-01"}, {15, "02-01"},
                          {16, "02"},        {69, "02"},         {70, ""},      {250, ""}};
    for (const Case& c : cases) {
        const ChartResult r = computeChart(chartOf(days(c.n)));
        ASSERT_EQ(r.bars.size(), static_cast<std::size_t>(c.n));
        EXPECT_EQ(r.bars.front().caption, S(c.caption)) << c.n;
        // Chosen by the count, not by the bar.
        EXPECT_EQ(r.bars.back().caption.size(), r.bars.front().caption.size()) << c.n;
    }
    // A line shorter than a date (no rate, no tenor) still makes a bar, its caption padded with blanks.
    const ChartResult r = computeChart(chartOf({S("1-2-07")}, QString()));
    ASSERT_EQ(r.bars.size(), 1u);
    EXPECT_EQ(r.bars[0].caption, S("1-2-07    "));
}

TEST(Chart, DateRangeAppliesOnlyWhenBothFieldsAreFilled) {
    const QStringList lines = {line(S("31-12-2006"), S(" 4,00")), line(S("02-01-2007"), S(" 4,10")),
                               line(S("01-02-2007"), S(" 4,20")), line(S("15-01-2007"), S(" 4,30")),
                               line(S("16-01-2007"), S(" 4,40"))};
    ChartInput in = chartOf(lines);
    in.fromText = S(" 01/01/2007 ");
    in.toText = S("15/01/2007");
    // yyyymmdd keys: 01-02-2007 (1 February) falls after the range although its text sorts inside it.
    EXPECT_EQ(datesOf(computeChart(in)), QStringList({S("02-01-2007"), S("15-01-2007")}));

    in.toText = S("   ");
    EXPECT_EQ(computeChart(in).bars.size(), 5u);
    in.toText = S("15/01/2007");
    in.fromText = QString();
    EXPECT_EQ(computeChart(in).bars.size(), 5u);

    in.fromText = S("16/01/2007");
    in.toText = S("15/01/2007");
    const ChartResult none = computeChart(in);
    EXPECT_TRUE(none.bars.empty());
    EXPECT_EQ(none.selected, 0);
    EXPECT_EQ(none.grid[1].caption, S("50%"));
}

TEST(Chart, TenorIsTheFirst13CharactersOfTheTrimmedBoxExactly) {
    const QStringList lines = {line(S("01-10-2007"), S(" 4,1"), S("EuRibor 3m")),
                               line(S("02-10-2007"), S(" 4,2"), S("EuRibor 6m")),
                               line(S("03-10-2007"), S(" 4,3"), S("   EuRibor 3m")),
                               line(S("04-10-2007"), S(" 4,4"), S("EuRibor 3m   and more")),
                               S("   "),
                               line(S("05-10-2007"), S(" 4,5"), S("euribor 3m"))};
    EXPECT_EQ(datesOf(computeChart(chartOf(lines, S("  EuRibor 3m  ")))),
              QStringList({S("01-10-2007"), S("03-10-2007"), S("04-10-2007")}));
    EXPECT_EQ(computeChart(chartOf(lines, S("EuRibor 3m   Euribor a tre mesi"))).bars.size(), 3u);
    EXPECT_EQ(datesOf(computeChart(chartOf(lines, S("euribor 3m")))), QStringList({S("05-10-2007")}));
}

TEST(Chart, BlankTenorBoxDrawsOnlyLinesWithoutTenorInLightYellow) {
    const QStringList lines = {line(S("01-10-2007"), S(" 4,1"), S("EuRibor 3m")),
                               line(S("02-10-2007"), S(" 4,2"), S("")), S("03-10-2007 - 4,3000"),
                               S("          "),
                               line(S("04-10-2007"), S(" 4,4"), S("             EuRibor 3m"))};
    const ChartResult r = computeChart(chartOf(lines, S("   ")));
    EXPECT_EQ(datesOf(r), QStringList({S("02-10-2007"), S("03-10-2007"), S("04-10-2007")}));
    for (const chart::ChartBar& b : r.bars)
        EXPECT_EQ(b.fill, (chart::Rgb{255, 255, 100}));
}

TEST(Chart, GridLinesAndLabelsFollowTheTemplateAndTheFrameWidth) {
    ChartInput in = chartOf({});
    ChartResult r = computeChart(in);
    EXPECT_TRUE(r.bars.empty());
    const int ys[] = {874, 1508, 2141}; // 240 + 2535 / 4, / 2, / 2 + / 4
    const char* captions[] = {"75%", "50%", "25%"};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(r.grid[k].y, ys[k]);
        EXPECT_EQ(r.grid[k].x1, 50);
        EXPECT_EQ(r.grid[k].x2, 8315);
        EXPECT_EQ(r.grid[k].labelTop, ys[k]);
        EXPECT_EQ(r.grid[k].labelLeft, 8020);
        EXPECT_EQ(r.grid[k].caption, S(captions[k]));
    }
    in.frameWidth = 5000;
    in.gridLabelWidth = 300;
    r = computeChart(in);
    EXPECT_EQ(r.grid[2].x2, 4900);
    EXPECT_EQ(r.grid[2].labelLeft, 4710);
}

TEST(Chart, ManyBarsNarrowToOnePixelThenTheNewestThatFitAreDrawn) {
    // At the design width the design's bar drops under a pixel at 124 bars and to nothing at 159.
    ChartResult r = computeChart(chartOf(days(123)));
    EXPECT_GE(r.barWidth, 15);
    EXPECT_NEAR(r.pitch, r.barWidth + 44, 1e-9);

    r = computeChart(chartOf(days(124)));
    EXPECT_EQ(r.barWidth, 15);
    EXPECT_EQ(r.pitch, 59); // the design's gap still fits

    // A year of working days: all drawn, one pixel wide, spread over the frame less the margins.
    r = computeChart(chartOf(days(250)));
    ASSERT_EQ(r.bars.size(), 250u);
    EXPECT_NEAR(r.pitch, 15 + (8415 - 240 - 250 * 15) / 249.0, 1e-9);
    EXPECT_EQ(r.bars.back().left + r.bars.back().width, 8295);

    // 273 one-pixel bars with one-pixel gaps fill the 8175 twips; a 274th pushes the oldest out.
    EXPECT_EQ(computeChart(chartOf(days(273))).bars.size(), 273u);
    const QStringList lines = days(274);
    r = computeChart(chartOf(lines));
    EXPECT_EQ(r.selected, 274);
    ASSERT_EQ(r.bars.size(), 273u);
    EXPECT_EQ(r.bars.front().date, lines[1].left(10));
    EXPECT_EQ(r.bars.back().date, lines.back().left(10));
    EXPECT_EQ(r.pitch, 30);
}

TEST(Chart, AtMostTheNewest1000LinesAreKept) {
    // The 200 oldest lines carry the largest rate; once left out they no longer scale the covers.
    QStringList lines = days(200, S(" 9,0"));
    for (int i = 0; i < 1000; ++i)
        lines << line(QDate(2008, 1, 1).addDays(i).toString(S("dd-MM-yyyy")), S(" 4,0"));
    ChartInput in = chartOf(lines);
    in.frameWidth = 80000; // wide enough for 1000 bars at the design's spacing
    ChartResult r = computeChart(in);
    EXPECT_EQ(r.selected, 1200);
    ASSERT_EQ(r.bars.size(), 1000u);
    EXPECT_EQ(r.bars.front().date, lines[200].left(10));
    EXPECT_EQ(r.bars.back().date, lines.back().left(10));
    EXPECT_DOUBLE_EQ(r.chartMax, 4);
    EXPECT_DOUBLE_EQ(r.barWidth, (80000.0 - 43000) / 1000 - 10);

    // At the design width the cap comes first, then what fits.
    in.frameWidth = 8415;
    r = computeChart(in);
    ASSERT_EQ(r.bars.size(), 273u);
    EXPECT_EQ(r.bars.back().date, lines.back().left(10));
}

TEST(Chart, BarsStayVisibleAndApartWhateverTheirNumberAndTheFrameWidth) {
    const QStringList lines = days(1100);
    for (const int width : {8415, 3000, 12000, 400}) {
        for (const int n :
             {1, 2, 3, 4, 19, 20, 29, 30, 70, 123, 124, 158, 159, 200, 273, 274, 400, 1000, 1100}) {
            ChartInput in = chartOf(lines.mid(0, n));
            in.frameWidth = width;
            const ChartResult r = computeChart(in);
            ASSERT_LE(r.bars.size(), static_cast<std::size_t>(n));
            const int px = twips::toPixels(width);
            for (std::size_t i = 0; i < r.bars.size(); ++i) {
                const chart::ChartBar& b = r.bars[i];
                const int left = twips::toPixels(b.left);
                const int right = left + twips::toPixels(b.width);
                SCOPED_TRACE(testing::Message() << "width " << width << ", " << n << " lines, bar " << i + 1);
                ASSERT_GE(right - left, 1);
                ASSERT_LT(left, px);
                // The design itself lets the last of one to three bars run past the right edge.
                if (r.bars.size() > 3) {
                    ASSERT_LE(right, px);
                }
                if (i + 1 < r.bars.size()) {
                    ASSERT_GE(twips::toPixels(r.bars[i + 1].left) - right, 1);
                }
            }
            // Lines are left out only when one more one-pixel bar with a one-pixel gap would not fit.
            const int m = static_cast<int>(r.bars.size());
            if (m < n) {
                EXPECT_GT(15 * (2 * (m + 1) - 1), width - 240);
            }
        }
    }
}

TEST(Chart, FrameNarrowerThanItsMarginsHoldsNoBar) {
    ChartInput in = chartOf(days(3));
    in.frameWidth = 100;
    const ChartResult r = computeChart(in);
    EXPECT_EQ(r.selected, 3);
    EXPECT_TRUE(r.bars.empty());
    EXPECT_EQ(r.grid[0].x2, 0);
}

TEST(WindowLayout, KeepsTheMinimumAndStretchesWithTheAllowances) {
    chart::WindowLayout l = chart::windowLayout(8620, 6595);
    EXPECT_EQ(l.width, 8620);
    EXPECT_EQ(l.height, 6595);
    EXPECT_EQ(l.elementWidth, 8415);
    EXPECT_EQ(l.elementHeight, 2895);

    l = chart::windowLayout(120, -30);
    EXPECT_EQ(l.width, 200);
    EXPECT_EQ(l.height, 200);
    EXPECT_FALSE(l.elementWidth.has_value());
    EXPECT_FALSE(l.elementHeight.has_value());

    EXPECT_FALSE(chart::windowLayout(205, 4000).elementWidth.has_value());
    EXPECT_EQ(chart::windowLayout(206, 4000).elementWidth, 1);
    EXPECT_FALSE(chart::windowLayout(4000, 3700).elementHeight.has_value());
    EXPECT_EQ(chart::windowLayout(4000, 3701).elementHeight, 1);
}
