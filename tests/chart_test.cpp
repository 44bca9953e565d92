// The chart worked out in twips from the list lines, and the window's resize rule.

#include "chart.h"
#include "window_layout.h"

#include "support/text.h"

#include <QDate>

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

using chart::ChartResult;

namespace {

// A history list line: the date in characters 1-10, the rate field in 13-19, " - ", the tenor.
QString line(const char* date, const char* rate, const char* tenor = "EuRibor 3m") {
    return S(date).leftJustified(10) + S(" -") + S(rate).leftJustified(7) + S(" - ") + S(tenor);
}

// Consecutive days of one tenor from 02-01-2007 plus `skip` days on, their rates taken in turn.
QStringList days(int count, std::vector<const char*> rates = {" 4,1000"}, int skip = 0) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << line(QDate(2007, 1, 2).addDays(skip + i).toString(S("dd-MM-yyyy")).toUtf8().constData(),
                      rates[static_cast<std::size_t>(i) % rates.size()]);
    return lines;
}

ChartResult chartOf(const QStringList& lines, const char* tenor = "EuRibor 3m", int frameWidth = 8415,
                    const char* from = "", const char* to = "") {
    chart::ChartInput in{lines, S(tenor), S(from), S(to)};
    in.frameWidth = frameWidth;
    return chart::computeChart(in);
}

QString datesOf(const ChartResult& r) {
    QStringList d;
    for (const chart::ChartBar& b : r.bars)
        d << b.date;
    return d.join(u' ');
}

} // namespace

TEST(Chart, CoversFollowTheRatesShareOfTheLargestAboveZero) {
    // Of 2535: 30% and 55% for 4.0 and 3.8 against 4.0, all at 86% or less; nothing when no rate is above 0.
    const std::pair<std::vector<const char*>, std::vector<int>> cases[] = {
        {{" 4,0000", " 3,8000", " 3,4400", "-1,0000"}, {761, 1394, 2535, 2535}},
        {{" 0,0000", "-1,5000", "  n.d."}, {0, 0, 0}}};
    for (const auto& [rates, heights] : cases) {
        SCOPED_TRACE(rates.front());
        std::vector<int> covers;
        for (const chart::ChartBar& b : chartOf(days(static_cast<int>(rates.size()), rates)).bars)
            covers.push_back(b.coverHeight);
        EXPECT_EQ(covers, heights);
    }
}

TEST(Chart, RateTextsAreReadWithTheirDecimalComma) {
    const ChartResult r = chartOf(days(8, {" 4,617", ",5", " ,25", " 4.25", "1,2,3", "3, 5", " n.d.", ""}));
    const double values[] = {4.617, 0.5, 0.25, 4.25, 1.2, 3.5, 0, 0};
    for (std::size_t i = 0; i < std::size(values) && i < r.bars.size(); ++i)
        EXPECT_DOUBLE_EQ(r.bars[i].value, values[i]) << i;
}

TEST(Chart, SpacingFollowsTheNumberOfBars) {
    // One bar takes the frame width less 68. Else w = (8415 - gap * n) / n - (n < 20 ? 20 : 10),
    // gap = n < 30 ? 48 : 43, bars w + 44 apart; under a pixel, one-pixel bars spread up to a right
    // margin as wide as the left one (8415 - 120 - 15 = 8280).
    const std::tuple<int, int, int, int> cases[] = {
        {1, 8415, 8347, 120},  {19, 8415, 375, 7660}, {20, 8415, 363, 7848}, {29, 8415, 232, 7853},
        {30, 8415, 228, 7994}, {123, 8415, 15, 7369}, {124, 8415, 15, 7377}, {250, 8415, 15, 8280}};
    for (const auto& [n, frame, width, lastLeft] : cases) {
        SCOPED_TRACE(testing::Message() << n << " bars in " << frame);
        const ChartResult r = chartOf(days(n), "EuRibor 3m", frame);
        EXPECT_EQ(r.bars.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(r.bars.empty() ? std::pair(0, 0) : std::pair(r.bars.back().width, r.bars.back().left),
                  std::pair(width, lastLeft));
    }
}

TEST(Chart, CaptionsShortenWithTheNumberOfBars) {
    const std::pair<int, const char*> cases[] = {{12, "02-01-2007"}, {13, "02-01"}, {15, "02-01"},
                                                 {16, "02"},         {69, "02"},    {70, ""}};
    for (const auto& [n, caption] : cases) {
        SCOPED_TRACE(n);
        const ChartResult r = chartOf(days(n));
        EXPECT_EQ(r.bars.front().caption, S(caption));
        EXPECT_EQ(r.bars.back().caption.size(), r.bars.front().caption.size());
    }
}

TEST(Chart, DateRangeAppliesOnlyWhenBothFieldsAreFilled) {
    const QStringList lines = {line("31-12-2006", " 4,0"), line("02-01-2007", " 4,1"),
                               line("01-02-2007", " 4,2"), line("15-01-2007", " 4,3")};
    const char* all = "31-12-2006 02-01-2007 01-02-2007 15-01-2007";
    // Both ends included; as yyyymmdd, 01-02-2007 falls after the range though its text sorts inside.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {" 02/01/2007 ", "15/01/2007", "02-01-2007 15-01-2007"},
        {"01/01/2007", "   ", all},
        {"", "15/01/2007", all},
        {"16/01/2007", "15/01/2007", ""}};
    for (const auto& [from, to, dates] : cases) {
        SCOPED_TRACE(testing::Message() << from << " - " << to);
        EXPECT_EQ(datesOf(chartOf(lines, "EuRibor 3m", 8415, from, to)), S(dates));
    }
}

// Only the first 13 characters of the trimmed box count; a blank box draws lines with a blank tenor,
// never one without a tenor field (the files' header among them).
TEST(Chart, TenorBoxPicksTheLinesAndABlankOneFillsThemLightYellow) {
    QStringList lines = {S("Data;Quotazione;Valuta;Note"), S("03-10-2007 - 4,3000"), S("          ")};
    lines << line("01-10-2007", " 4,1") << line("02-10-2007", " 4,2", "")
          << line("04-10-2007", " 4,4", "EuRibor 3m   and more");
    const std::tuple<const char*, const char*, std::optional<chart::Rgb>> cases[] = {
        {" EuRibor 3m   Euribor a 3 mesi", "01-10-2007 04-10-2007", std::nullopt},
        {"   ", "02-10-2007", chart::Rgb{255, 255, 100}}};
    for (const auto& [box, dates, fill] : cases) {
        SCOPED_TRACE(box);
        const ChartResult r = chartOf(lines, box);
        EXPECT_EQ(datesOf(r), S(dates));
        for (const chart::ChartBar& b : r.bars)
            EXPECT_EQ(b.fill, fill);
    }
    // An imported currency's key of 13 characters, after a rate of six: listed, so charted.
    const QStringList currency = S("01-10-2007 - 1,4600 - Dollaro Canad|02-10-2007 - 1,4700 - Dollaro Canad|"
                                   "03-10-2007 - 1,4800 - Dollaro Cana")
                                     .split(u'|');
    EXPECT_EQ(datesOf(chartOf(currency, "Dollaro Canadese")), S("01-10-2007 02-10-2007"));
}

TEST(Chart, OnlyTheNewestLinesThatFitAreKept) {
    // 273 bars and gaps of a pixel fill the 8175 twips: a 274th line pushes the oldest out.
    QStringList lines = days(274);
    ChartResult r = chartOf(lines);
    EXPECT_EQ(r.bars.size(), 273u);
    EXPECT_EQ(datesOf(r).left(10), lines[1].left(10));

    // At most the newest 1000 lines: the oldest, with the largest rate, no longer scale the covers.
    lines = days(200, {" 9,0"}) + days(1000, {" 4,0"}, 200);
    r = chartOf(lines, "EuRibor 3m", 80000);
    ASSERT_EQ(r.bars.size(), 1000u);
    EXPECT_EQ(r.bars.front().date, lines[200].left(10));
    EXPECT_DOUBLE_EQ(r.bars.front().cover, 30);
}

// On screen, at 15 twips a pixel.
TEST(Chart, BarsStayVisibleApartAndInsideTheFrameWhateverTheirNumber) {
    const auto pixels = [](double twips) { return static_cast<int>(std::lround(twips / 15)); };
    const QStringList lines = days(1100);
    for (const int width : {8415, 3000, 12000, 400}) {
        for (const int n : {4, 19, 20, 30, 70, 123, 124, 159, 273, 274, 1000, 1100}) {
            SCOPED_TRACE(testing::Message() << n << " lines in " << width);
            const ChartResult r = chartOf(lines.mid(0, n), "EuRibor 3m", width);
            EXPECT_FALSE(r.bars.empty());
            int previousRight = -1, overlaps = 0;
            for (const chart::ChartBar& b : r.bars) {
                const int left = pixels(b.left), right = left + pixels(b.width);
                overlaps += !(right > left && left > previousRight && right <= pixels(width));
                previousRight = right;
            }
            EXPECT_EQ(overlaps, 0);
        }
    }
}

TEST(WindowLayout, KeepsTheMinimumAndStretchesPastTheAllowances) {
    const std::optional<int> keep;
    const std::tuple<int, int, int, int, std::optional<int>, std::optional<int>> cases[] = {
        {205, 3700, 205, 3700, keep, keep}, {206, 3701, 206, 3701, 1, 1}, {120, -30, 200, 200, keep, keep}};
    for (const auto& [width, height, outerWidth, outerHeight, elementWidth, elementHeight] : cases) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        const chart::WindowLayout l = chart::windowLayout(width, height);
        EXPECT_EQ(std::tie(l.width, l.height, l.elementWidth, l.elementHeight),
                  std::tie(outerWidth, outerHeight, elementWidth, elementHeight));
    }
}
