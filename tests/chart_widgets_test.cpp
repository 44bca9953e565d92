// The chart put on screen: the control arrays' copies, their places in twips, colours, stacking, and
// repeated drawings.

#include "chart_view.h"
#include "twips.h"

#include "support/window_fixture.h"

#include <QCoreApplication>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>

#include <gtest/gtest.h>

#include <memory>

namespace {

QString S(const char* s) {
    return QString::fromUtf8(s);
}

QString line(const char* date, const char* rate, const char* tenor = "EuRibor 3m") {
    return S(date) + S(" - ") + S(rate) + S(" - ") + S(tenor);
}

QStringList days(int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QDate(2007, 1, 2).addDays(i).toString(S("dd-MM-yyyy")) + S(" - ") +
                     QString::number(4.0 + (i % 7) / 10.0, 'f', 4).replace(u'.', u',') + S(" - EuRibor 3m");
    return lines;
}

QColor colourAt(QWidget* w, QPoint p) {
    return w->grab().toImage().pixelColor(p);
}

// A frame with the window's chart templates, as the main window lays them out.
struct ChartFrame {
    ChartFrame() {
        window.resize(twips::toPixels(8490), twips::toPixels(6135));
        frame = new QFrame(&window);
        frame->setObjectName(S("Frame2"));
        twips::place(frame, 0, 3120, 8415, 2895);
        frame->setAutoFillBackground(true);
        shape1 = shapeTemplate(S("Shape1(0)"), 120, 240, S("rgb(255, 255, 0)"));
        shape2 = shapeTemplate(S("Shape2(0)"), 345, 225, S("rgb(0, 0, 128)"));
        QFont tahoma(S("Tahoma"));
        tahoma.setPointSizeF(6.75);
        label3 = labelTemplate(S("Label3(0)"), 45, 360, tahoma);
        label4 = labelTemplate(S("Label4(0)"), 1440, 240, tahoma);
        line1 = new QFrame(frame);
        line1->setObjectName(S("Line1(0)"));
        line1->setFrameShape(QFrame::HLine);
        twips::place(line1, 120, 720, 8160, 15);
        line1->hide();
        frame->hide();
        window.show();
        view = std::make_unique<ChartView>(frame, shape1, shape2, label3, line1, label4);
    }

    QFrame* shapeTemplate(const QString& name, int left, int top, const QString& colour) {
        auto* s = new QFrame(frame);
        s->setObjectName(name);
        twips::place(s, left, top, 255, 2535);
        s->setStyleSheet(S("background-color: ") + colour + u';');
        s->hide();
        return s;
    }
    QLabel* labelTemplate(const QString& name, int left, int top, const QFont& font) {
        auto* l = new QLabel(frame);
        l->setObjectName(name);
        twips::place(l, left, top, 405, 165);
        l->setFont(font);
        l->hide();
        return l;
    }

    void draw(const QStringList& lines, const QString& tenor = S("EuRibor 3m")) {
        view->draw(chart::computeChart(view->input(lines, tenor, QString(), QString())));
    }
    int named(const char* array) const {
        return static_cast<int>(
            frame->findChildren<QWidget*>(QRegularExpression(S("^") + S(array) + S("\\(\\d+\\)$"))).size());
    }
    QImage picture() const { return frame->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // What the screen shows of the frame once pending repaints have run.
    QImage onScreen() const {
        QCoreApplication::processEvents();
        const QPoint at = frame->mapTo(&window, QPoint(0, 0));
        return window.screen()
            ->grabWindow(window.winId(), at.x(), at.y(), frame->width(), frame->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    QWidget window;
    QFrame* frame;
    QFrame* shape1;
    QFrame* shape2;
    QLabel* label3;
    QLabel* label4;
    QFrame* line1;
    std::unique_ptr<ChartView> view;
};

class ChartViewTest : public ::testing::Test, public ChartFrame {};

} // namespace

TEST_F(ChartViewTest, InputReadsTheFrameAndTheTemplatesInTwips) {
    twips::place(frame, 0, 3120, 6000, 2400);
    const chart::ChartInput in = view->input({S("a")}, S("t"), S("f"), S("e"));
    EXPECT_EQ(in.frameWidth, 6000);
    EXPECT_EQ(in.frameHeight, 2400);
    EXPECT_EQ(in.barLeft, 120);
    EXPECT_EQ(in.barTop, 240);
    EXPECT_EQ(in.barHeight, 2535);
    EXPECT_EQ(in.gridLabelWidth, 405);
    EXPECT_EQ(in.lines, QStringList({S("a")}));
    EXPECT_EQ(in.toText, S("e"));
}

TEST_F(ChartViewTest, TwoBarsStandAtTheirPlacesInWholePixels) {
    draw({line("15-10-2007", "4,0000"), line("16-10-2007", "3,8000")});
    ASSERT_EQ(view->ChartCount(), 2);
    EXPECT_TRUE(frame->isVisible());

    // n = 2: w = (8415 - 96) / 2 - 20 = 4139.5, the second bar at 120 + 4183.5; pixels of 15 twips.
    EXPECT_EQ(twips::geometry(view->Shape1(1)), QRect(120, 165, 4140, 2535));
    EXPECT_EQ(twips::geometry(view->Shape1(2)), QRect(4305, 165, 4140, 2535));
    EXPECT_EQ(twips::geometry(view->Shape2(1)), QRect(120, 165, 4140, 765));   // cover 30%: 760.5
    EXPECT_EQ(twips::geometry(view->Shape2(2)), QRect(4305, 165, 4140, 1395)); // cover 55%: 1394.25
    const QRect date = twips::geometry(view->Label3(2));
    EXPECT_EQ(date.topLeft(), QPoint(4305, 2715));
    EXPECT_EQ(date.height(), 165);
    EXPECT_EQ(view->Label3(2)->text(), S("16-10-2007"));
    // The label grows to show the whole date.
    EXPECT_GE(date.width(),
              twips::fromPixels(view->Label3(2)->fontMetrics().horizontalAdvance(S("16-10-2007"))));
    EXPECT_EQ(view->Label3(2)->font(), label3->font());

    const int ys[] = {870, 1515, 2145}; // 874, 1508, 2141
    const char* captions[] = {"75%", "50%", "25%"};
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(twips::geometry(view->Line1(k)), QRect(45, ys[k - 1], 8265, 15)) << k;
        EXPECT_EQ(twips::geometry(view->Label4(k)).topLeft(), QPoint(8025, ys[k - 1])) << k;
        EXPECT_EQ(view->Label4(k)->text(), S(captions[k - 1]));
        EXPECT_TRUE(view->Line1(k)->isVisible());
        EXPECT_TRUE(view->Label4(k)->isVisible());
    }
    for (int i = 1; i <= 2; ++i) {
        EXPECT_TRUE(view->Shape1(i)->isVisible());
        EXPECT_TRUE(view->Shape2(i)->isVisible());
        EXPECT_TRUE(view->Label3(i)->isVisible());
    }
    for (QWidget* t : std::initializer_list<QWidget*>{shape1, shape2, label3, label4, line1})
        EXPECT_TRUE(t->isHidden()) << t->objectName().toStdString();
    EXPECT_EQ(view->Shape1(3), nullptr);
    EXPECT_EQ(frame->findChild<QFrame*>(S("Shape2(2)")), view->Shape2(2));
}

TEST_F(ChartViewTest, BarsShowTheTemplatesColoursAndLightYellowForABlankTenor) {
    draw({line("15-10-2007", "4,0000")});
    // Below the cover, the bar's own yellow; in the cover's part, navy.
    EXPECT_EQ(colourAt(view->Shape1(1), QPoint(10, 160)), QColor(255, 255, 0));
    EXPECT_EQ(colourAt(view->Shape2(1), QPoint(10, 10)), QColor(0, 0, 128));
    const QImage shown = picture();
    const QRect bar = view->Shape1(1)->geometry();
    EXPECT_EQ(shown.pixelColor(bar.left() + 5, bar.top() + 5), QColor(0, 0, 128));
    EXPECT_EQ(shown.pixelColor(bar.left() + 5, bar.bottom() - 5), QColor(255, 255, 0));

    draw({S("15-10-2007 - 4,0000")}, S("  "));
    ASSERT_EQ(view->ChartCount(), 1);
    EXPECT_EQ(colourAt(view->Shape1(1), QPoint(10, 160)), QColor(255, 255, 100));
}

TEST_F(ChartViewTest, WholeDatesOfTwelveBarsDoNotRunIntoEachOther) {
    draw(days(12));
    ASSERT_EQ(view->ChartCount(), 12);
    for (int i = 1; i <= 12; ++i) {
        QLabel* date = view->Label3(i);
        EXPECT_EQ(date->text().size(), 10);
        EXPECT_GE(date->width(), date->fontMetrics().horizontalAdvance(date->text())) << i;
        EXPECT_EQ(date->font().family(), label3->font().family());
        EXPECT_EQ(date->font().pointSizeF(), 6.75);
        if (i > 1) {
            EXPECT_LT(date->fontMetrics().horizontalAdvance(view->Label3(i - 1)->text()),
                      date->x() - view->Label3(i - 1)->x())
                << i;
        }
    }
}

TEST_F(ChartViewTest, GridLinesStandInFrontOfTheBarsAndBehindTheLabels) {
    draw(days(5));
    draw(days(40)); // new bars made after the grid exists
    const QObjectList order = frame->children();
    auto pos = [&order](QWidget* w) { return order.indexOf(w); };
    int lastShape = -1;
    int firstLabel = static_cast<int>(order.size());
    for (int i = 1; i <= view->ChartCount(); ++i) {
        lastShape = std::max(
            {lastShape, static_cast<int>(pos(view->Shape1(i))), static_cast<int>(pos(view->Shape2(i)))});
        firstLabel = std::min(firstLabel, static_cast<int>(pos(view->Label3(i))));
        ASSERT_LT(pos(view->Shape1(i)), pos(view->Shape2(i))) << i; // the cover over its bar
    }
    for (int k = 1; k <= 3; ++k) {
        EXPECT_GT(pos(view->Line1(k)), lastShape) << k;
        EXPECT_LT(pos(view->Line1(k)), firstLabel) << k;
        EXPECT_GT(pos(view->Label4(k)), pos(view->Line1(3))) << k;
    }
    // On screen: where the 25% line crosses a fully covered bar the line shows.
    const QRect bar = view->Shape1(1)->geometry();
    const QRect grid = view->Line1(3)->geometry();
    EXPECT_NE(picture().pixelColor(bar.left() + 1, grid.top()), QColor(0, 0, 128));
}

TEST_F(ChartViewTest, RepeatedDrawingsLeaveNothingBehind) {
    draw(days(40));
    const QImage forty = picture();
    draw(days(40));
    EXPECT_EQ(picture(), forty);
    EXPECT_EQ(named("Shape1"), 41);
    EXPECT_EQ(named("Label3"), 41);

    draw(days(3));
    EXPECT_EQ(view->ChartCount(), 3);
    for (const char* array : {"Shape1", "Shape2", "Label3"})
        EXPECT_EQ(named(array), 4) << array;
    EXPECT_EQ(named("Line1"), 4);
    EXPECT_EQ(named("Label4"), 4);
    // What is left looks as a first drawing of those three lines does.
    const QImage afterForty = picture();
    ChartFrame fresh;
    fresh.draw(days(3));
    EXPECT_EQ(afterForty, fresh.picture());

    draw({});
    EXPECT_EQ(view->ChartCount(), 0);
    EXPECT_EQ(named("Shape2"), 1);
    EXPECT_EQ(named("Line1"), 4);
    EXPECT_TRUE(view->Label4(2)->isVisible());
}

TEST_F(ChartViewTest, TheScreenShowsEachDrawingWhole) {
    draw(days(5));
    EXPECT_EQ(onScreen(), picture());
    draw(days(40));
    EXPECT_EQ(onScreen(), picture());
    draw(days(12));
    EXPECT_EQ(onScreen(), picture());
    frame->hide();
    QCoreApplication::processEvents();
    draw(days(12));
    EXPECT_EQ(onScreen(), picture());
}

TEST_F(ChartViewTest, ANarrowerFrameRedrawsNarrowerBarsAndMovesTheGridLabels) {
    const QStringList lines = days(12);
    draw(lines);
    const int wide = view->Shape1(1)->width();
    twips::place(frame, 0, 3120, 6000, 2400);
    draw(lines);
    EXPECT_LT(view->Shape1(1)->width(), wide);
    EXPECT_EQ(twips::geometry(view->Label3(12)).top(), 2220); // 2400 - 180
    EXPECT_EQ(twips::geometry(view->Label4(1)).left(), 5610); // 6000 - 395
    EXPECT_EQ(twips::geometry(view->Line1(1)).right() + 1, 5895);
}

TEST_F(ChartViewTest, AFullYearStaysInsideTheFrameAsOnePixelBars) {
    draw(days(260));
    ASSERT_EQ(view->ChartCount(), 260);
    for (int i = 1; i <= 260; ++i) {
        const QRect g = view->Shape1(i)->geometry();
        ASSERT_EQ(g.width(), 1) << i;
        ASSERT_LE(g.right(), frame->width() - 1) << i;
        if (i > 1) {
            ASSERT_GT(g.left(), view->Shape1(i - 1)->geometry().right() + 1) << i;
        }
    }
}

// The main window's own templates: their colours and places reach the copies.
TEST_F(WindowTest, ChartDrawsWithTheMainWindowsTemplates) {
    form1& w = window();
    ChartView view(w.Frame2, w.Shape1_0, w.Shape2_0, w.Label3_0, w.Line1_0, w.Label4_0);
    const chart::ChartInput in =
        view.input({line("15-10-2007", "4,0000")}, S("EuRibor 3m"), S("01/01/2007"), S("31/12/2007"));
    EXPECT_EQ(in.frameWidth, 8415);
    EXPECT_EQ(in.barLeft, 120);
    EXPECT_EQ(in.barHeight, 2535);
    view.draw(chart::computeChart(in));
    ASSERT_EQ(view.ChartCount(), 1);
    EXPECT_EQ(twips::geometry(view.Shape1(1)), QRect(120, 165, 8340, 2535)); // 8347 twips
    EXPECT_EQ(colourAt(view.Shape1(1), QPoint(5, 160)), QColor(255, 255, 0));
    EXPECT_EQ(colourAt(view.Shape2(1), QPoint(5, 5)), QColor(0, 0, 128));
    EXPECT_FALSE(w.Frame2->isHidden());
}
