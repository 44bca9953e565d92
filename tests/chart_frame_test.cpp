// The chart in its frame: the elements' places, colours and drawing order, repeated drawings, and what
// a screen reader is shown of it.

#include "chart_frame.h"
#include "support/text.h"
#include "twips.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDate>
#include <QFontMetrics>
#include <QImage>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

QStringList days(int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QDate(2007, 1, 2).addDays(i).toString(S("dd-MM-yyyy' - 4,1000 - EuRibor 3m'"));
    return lines;
}

// The window's chart frame, with its own templates, hidden in a shown window as the load leaves it.
class ChartFrameTest : public ::testing::Test {
protected:
    ChartFrameTest() {
        window.resize(twips::toPixels(8490), twips::toPixels(6135));
        twips::place(frame, 0, 3120, 8415, 2895);
        frame->hide();
        window.show();
    }
    void draw(const QStringList& lines, const char* tenor = "EuRibor 3m") {
        frame->draw(chart::computeChart(frame->input(lines, S(tenor), QString(), QString())));
    }
    QImage picture() const { return frame->grab().toImage(); }
    // What the screen shows of the frame once pending repaints have run.
    QImage onScreen() const {
        QCoreApplication::processEvents();
        const QPoint at = frame->mapTo(&window, QPoint(0, 0));
        return window.screen()
            ->grabWindow(window.winId(), at.x(), at.y(), frame->width(), frame->height())
            .toImage();
    }

    QWidget window;
    ChartFrame* frame = new ChartFrame(&window);
};

} // namespace

TEST_F(ChartFrameTest, TwoBarsStandWhereTheDrawingPutsThemInTheTemplatesColours) {
    draw({S("15-10-2007 - 4,0000 - EuRibor 3m"), S("16-10-2007 - 3,8000 - EuRibor 3m")});
    ASSERT_EQ(frame->ChartCount(), 2);
    // w = (8415 - 96) / 2 - 20 = 4139.5, the second bar at 120 + 4183.5; covers 30% and 55% of 2535; the
    // 25% line at 240 + 2535 * 3 / 4; each rounded to whole twips.
    const std::pair<const ChartElement*, QRect> placed[] = {{frame->Shape1(1), {120, 170, 4140, 2535}},
                                                            {frame->Shape1(2), {4304, 170, 4140, 2535}},
                                                            {frame->Shape2(1), {120, 170, 4140, 761}},
                                                            {frame->Shape2(2), {4304, 170, 4140, 1394}},
                                                            {frame->Line1(3), {50, 2141, 8265, 15}}};
    for (const auto& [e, expected] : placed) {
        SCOPED_TRACE(e->name().toStdString());
        EXPECT_EQ(e->place, expected);
        EXPECT_TRUE(e->visible);
    }
    const ChartElement* date = frame->Label3(2);
    EXPECT_EQ(date->place.topLeft(), QPoint(4304, 2715));
    EXPECT_EQ(date->caption, S("16-10-2007"));
    EXPECT_GE(date->pixels().width(), QFontMetrics(date->font).horizontalAdvance(date->caption));
    EXPECT_EQ(frame->Label4(3)->place.topLeft(), QPoint(8020, 2141));
    EXPECT_EQ(frame->Label4(3)->caption, S("25%"));
    EXPECT_FALSE(frame->Shape1(0)->visible);

    // Navy where the cover hides the bar, the bar's yellow below.
    const QPoint covered = frame->Shape1(1)->pixels().topLeft() + QPoint(5, 5),
                 below = covered + QPoint(0, 100);
    EXPECT_EQ(picture().pixelColor(covered), QColor(0, 0, 128));
    EXPECT_EQ(picture().pixelColor(below), QColor(255, 255, 0));

    // The next drawing reads the frame's new size; a blank tenor box fills light yellow.
    twips::place(frame, 0, 3120, 6000, 2400);
    draw({S("15-10-2007 - 4,0000 - ")}, "  ");
    EXPECT_EQ(frame->Shape1(1)->place.width(), 5932); // 6000 - 68
    EXPECT_EQ(frame->Label3(1)->place.top(), 2220);   // 2400 - 180
    EXPECT_EQ(picture().pixelColor(below), QColor(255, 255, 100));
}

// At 12 bars, 45 pixels apart, each whole date still ends before the next one starts.
TEST_F(ChartFrameTest, DatesOfTwelveBarsDoNotRunIntoEachOther) {
    draw(days(12));
    ASSERT_EQ(frame->ChartCount(), 12);
    for (int i = 2; i <= 12; ++i) {
        SCOPED_TRACE(i);
        const ChartElement* date = frame->Label3(i - 1);
        EXPECT_LT(QFontMetrics(date->font).horizontalAdvance(date->caption),
                  frame->Label3(i)->pixels().x() - date->pixels().x());
    }
}

// Each drawing destroys the previous one's bars, keeps the grid and leaves the screen showing it whole.
TEST_F(ChartFrameTest, RepeatedDrawingsKeepTheDrawingOrderAndLeaveNothingBehind) {
    draw(days(3));
    const QImage three = picture();
    EXPECT_EQ(onScreen(), three);
    draw(days(40));
    draw(days(40));
    EXPECT_EQ(frame->ChartCount(), 40);
    EXPECT_EQ(frame->Shape1(41), nullptr);
    EXPECT_EQ(frame->Line1(4), nullptr);
    EXPECT_EQ(onScreen(), picture());

    // Every copy shown, no template; back to front: each bar under its cover, grid lines, dates, grid labels.
    const QStringList layers = {S("Shape"), S("Line1"), S("Label3"), S("Label4")};
    std::vector<qsizetype> order;
    QString previous;
    for (const ChartElement* e : frame->drawingOrder()) {
        order.push_back(layers.indexOf(e->array.startsWith(S("Shape")) ? S("Shape") : e->array));
        EXPECT_NE(e->index, 0) << e->name().toStdString();
        if (e->array == S("Shape2")) {
            EXPECT_EQ(previous, S("Shape1(%1)").arg(e->index));
        }
        previous = e->name();
    }
    EXPECT_EQ(order.size(), 40u * 3 + 6);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));

    draw(days(3));
    EXPECT_EQ(frame->Shape1(4), nullptr);
    EXPECT_EQ(picture(), three);
    EXPECT_EQ(onScreen(), three);
    draw({});
    EXPECT_EQ(frame->ChartCount(), 0);
    EXPECT_TRUE(frame->Label4(2)->visible);
}

// A screen reader finds each bar with its date and rate, the dates and the grid labels as text, and no
// element of a drawing that was replaced.
TEST_F(ChartFrameTest, TheFrameShowsAScreenReaderEachBarWithItsDateAndRate) {
    QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(frame);
    ASSERT_NE(chart, nullptr);
    const int widgets = chart->childCount();
    draw({S("07-12-2026 - 2,064  - EuRibor 3m"), S("08-12-2026 - 2.1    - EuRibor 3m")});
    const std::pair<QAccessible::Role, const char*> children[] = {
        {QAccessible::Graphic, "07/12/2026: 2,0640"},
        {QAccessible::Graphic, "08/12/2026: 2,1000"},
        {QAccessible::StaticText, "07-12-2026"},
        {QAccessible::StaticText, "08-12-2026"},
        {QAccessible::StaticText, "75%"},
        {QAccessible::StaticText, "50%"},
        {QAccessible::StaticText, "25%"}};
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), S("Grafico delle quotazioni"));
    ASSERT_EQ(chart->childCount(), widgets + 7);
    for (int i = 0; i < 7; ++i) {
        QAccessibleInterface* child = chart->child(widgets + i);
        SCOPED_TRACE(children[i].second);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->role(), children[i].first);
        EXPECT_EQ(child->text(QAccessible::Name), S(children[i].second));
        EXPECT_EQ(chart->indexOfChild(child), widgets + i);
        EXPECT_EQ(child->parent(), chart);
        EXPECT_FALSE(child->state().invisible);
    }
    EXPECT_EQ(chart->child(widgets)->rect().topLeft(),
              frame->mapToGlobal(frame->Shape1(1)->pixels().topLeft()));

    // Seventy bars or more carry no dates: the bars and the grid labels are left.
    draw(days(70));
    EXPECT_EQ(chart->childCount(), widgets + 73);
    EXPECT_EQ(chart->child(widgets + 69)->text(QAccessible::Name), S("12/03/2007: 4,1000"));
    EXPECT_EQ(chart->child(widgets + 70)->text(QAccessible::Name), S("75%"));
}
