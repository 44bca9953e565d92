#pragma once
// Puts a computed chart on screen inside Frame2 with the control arrays Shape1 (bars), Shape2 (their
// covers), Label3 (date labels), Line1 (grid lines) and Label4 (grid labels). Element 0 of each array is
// the window's hidden template; the other elements are copies of it, children of Frame2 named like
// "Shape1(3)", and start hidden.

#include "chart.h"

#include <QString>
#include <QStringList>

#include <vector>

class QFrame;
class QLabel;
class QListWidget;

class ChartView {
public:
    ChartView(QFrame* frame2, QFrame* shape1Template, QFrame* shape2Template, QLabel* label3Template,
              QFrame* line1Template, QLabel* label4Template);
    ChartView(const ChartView&) = delete;
    ChartView& operator=(const ChartView&) = delete;
    ~ChartView();

    // The chart's input: the list's lines and the fields' texts, with Frame2's current size and the
    // template values, all in twips.
    chart::ChartInput input(const QStringList& lines, const QString& tenorText, const QString& fromText,
                            const QString& toText) const;

    // Shows Frame2 and draws the result in it. The bars of the previous drawing are reused or destroyed,
    // never left over; the grid elements are made by the first drawing and reused by the next ones.
    void draw(const chart::ChartResult& result);

    // The number of bars drawn: elements 1 to ChartCount() of Shape1, Shape2 and Label3 exist.
    int ChartCount() const { return static_cast<int>(m_shape1.size()) - 1; }

    // Element i of each control array (0: the template); nullptr when it does not exist.
    QFrame* Shape1(int i) const { return at(m_shape1, i); }
    QFrame* Shape2(int i) const { return at(m_shape2, i); }
    QLabel* Label3(int i) const { return at(m_label3, i); }
    QFrame* Line1(int i) const { return at(m_line1, i); }
    QLabel* Label4(int i) const { return at(m_label4, i); }

private:
    template <typename W> static W* at(const std::vector<W*>& v, int i) {
        return i >= 0 && i < static_cast<int>(v.size()) ? v[static_cast<std::size_t>(i)] : nullptr;
    }
    void resizeBars(int count, bool& created);
    void makeGrid();
    void raiseOverlays(int count);

    QFrame* m_frame;
    std::vector<QFrame*> m_shape1;
    std::vector<QFrame*> m_shape2;
    std::vector<QLabel*> m_label3;
    std::vector<QFrame*> m_line1;
    std::vector<QLabel*> m_label4;
};

namespace chart {
// The items of a list box, first to last.
QStringList listItems(const QListWidget* list);
} // namespace chart
