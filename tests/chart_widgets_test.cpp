// The chart put on screen: the copies' places in twips, their colours and stacking, and repeated drawings.

#include "chart_view.h"
#include "support/text.h"
#include "twips.h"

#include <QCoreApplication>
#include <QDate>
#include <QFrame>
#include <QImage>
#include <QLabel>
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

template <typename W> W* hidden(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* w = new W(parent);
    w->setObjectName(S(name));
    twips::place(w, left, top, width, height);
    w->hide();
    return w;
}

// A shown window whose hidden frame holds the chart's templates as the main window lays them out.
class ChartViewTest : public ::testing::Test {
protected:
    ChartViewTest() {
        window.resize(twips::toPixels(8490), twips::toPixels(6135));
        frame->setAutoFillBackground(true);
        shape1->setStyleSheet(S("background-color: rgb(255, 255, 0);"));
        shape2->setStyleSheet(S("background-color: rgb(0, 0, 128);"));
        line1->setFrameShape(QFrame::HLine);
        QFont tahoma(S("Tahoma"));
        tahoma.setPointSizeF(6.75);
        label3->setFont(tahoma);
        window.show();
    }
    void draw(const QStringList& lines, const char* tenor = "EuRibor 3m") {
        view.draw(chart::computeChart(view.input(lines, S(tenor), QString(), QString())));
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
    QFrame* frame = hidden<QFrame>(&window, "Frame2", 0, 3120, 8415, 2895);
    QFrame* shape1 = hidden<QFrame>(frame, "Shape1(0)", 120, 240, 255, 2535);
    QFrame* shape2 = hidden<QFrame>(frame, "Shape2(0)", 345, 225, 255, 2535);
    QLabel* label3 = hidden<QLabel>(frame, "Label3(0)", 45, 360, 405, 165);
    QLabel* label4 = hidden<QLabel>(frame, "Label4(0)", 1440, 240, 405, 165);
    QFrame* line1 = hidden<QFrame>(frame, "Line1(0)", 120, 720, 8160, 15);
    ChartView view{frame, shape1, shape2, label3, line1, label4};
};

} // namespace

TEST_F(ChartViewTest, TwoBarsStandOnWholePixelsInTheTemplatesColours) {
    draw({S("15-10-2007 - 4,0000 - EuRibor 3m"), S("16-10-2007 - 3,8000 - EuRibor 3m")});
    ASSERT_EQ(view.ChartCount(), 2);
    // w = (8415 - 96) / 2 - 20 = 4139.5, the second bar at 120 + 4183.5; covers 30% and 55% of 2535; the
    // 25% line at 240 + 2535 * 3 / 4. All on whole pixels of 15 twips.
    const std::pair<QWidget*, QRect> placed[] = {{view.Shape1(1), {120, 165, 4140, 2535}},
                                                 {view.Shape1(2), {4305, 165, 4140, 2535}},
                                                 {view.Shape2(1), {120, 165, 4140, 765}},
                                                 {view.Shape2(2), {4305, 165, 4140, 1395}},
                                                 {view.Line1(3), {45, 2145, 8265, 15}}};
    for (const auto& [w, expected] : placed)
        EXPECT_EQ(twips::geometry(w), expected) << w->objectName().toStdString();
    QLabel* date = view.Label3(2);
    EXPECT_EQ(twips::geometry(date).topLeft(), QPoint(4305, 2715));
    EXPECT_EQ(date->text(), S("16-10-2007"));
    EXPECT_GE(date->width(), date->fontMetrics().horizontalAdvance(date->text())); // grown to the date
    EXPECT_EQ(twips::geometry(view.Label4(3)).topLeft(), QPoint(8025, 2145));
    EXPECT_EQ(view.Label4(3)->text(), S("25%"));

    // Navy where the cover hides the bar, the bar's yellow below.
    const QPoint covered = view.Shape1(1)->geometry().topLeft() + QPoint(5, 5),
                 below = covered + QPoint(0, 100);
    EXPECT_EQ(picture().pixelColor(covered), QColor(0, 0, 128));
    EXPECT_EQ(picture().pixelColor(below), QColor(255, 255, 0));

    // The next drawing reads the frame's new size; a blank tenor box fills light yellow.
    twips::place(frame, 0, 3120, 6000, 2400);
    draw({S("15-10-2007 - 4,0000 - ")}, "  ");
    EXPECT_EQ(twips::geometry(view.Shape1(1)).width(), 5925); // 6000 - 68 = 5932
    EXPECT_EQ(twips::geometry(view.Label3(1)).top(), 2220);   // 2400 - 180
    EXPECT_EQ(picture().pixelColor(below), QColor(255, 255, 100));
}

// At 12 bars, 45 pixels apart, each whole date still ends before the next one starts.
TEST_F(ChartViewTest, DatesOfTwelveBarsDoNotRunIntoEachOther) {
    draw(days(12));
    ASSERT_EQ(view.ChartCount(), 12);
    for (int i = 2; i <= 12; ++i) {
        const QLabel* date = view.Label3(i - 1);
        EXPECT_LT(date->fontMetrics().horizontalAdvance(date->text()), view.Label3(i)->x() - date->x()) << i;
    }
}

// Each drawing reuses or destroys the previous one's elements and leaves the screen showing it whole.
TEST_F(ChartViewTest, RepeatedDrawingsKeepTheStackingAndLeaveNothingBehind) {
    const int templates = static_cast<int>(frame->children().size());
    auto elements = [&] { return static_cast<int>(frame->children().size()) - templates; };
    draw(days(3));
    const QImage three = picture();
    EXPECT_EQ(onScreen(), three);
    draw(days(40)); // bars made after the grid exists
    draw(days(40));
    EXPECT_EQ(elements(), 40 * 3 + 6); // a bar, its cover and its date each; three grid lines and labels
    EXPECT_EQ(onScreen(), picture());

    // Every copy shown, no template; from back to front: bars and covers, grid lines, dates, grid labels.
    const QStringList fronts = {S("Line1("), S("Label3"), S("Label4")};
    std::vector<qsizetype> layers;
    for (const QObject* c : frame->children())
        if (static_cast<const QWidget*>(c)->isVisible())
            layers.push_back(fronts.indexOf(c->objectName().left(6)));
    EXPECT_EQ(layers.size(), 40u * 3 + 6);
    EXPECT_TRUE(std::is_sorted(layers.begin(), layers.end()));

    draw(days(3));
    EXPECT_EQ(elements(), 3 * 3 + 6);
    EXPECT_EQ(picture(), three);
    EXPECT_EQ(onScreen(), three);
    draw({});
    EXPECT_EQ(elements(), 6);
    EXPECT_TRUE(view.Label4(2)->isVisible());
}
