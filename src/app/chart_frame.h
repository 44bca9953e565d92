#pragma once
// Frame2, the chart's frame, with the control arrays it holds: Shape1 (bars), Shape2 (their covers),
// Label3 (date labels), Line1 (grid lines) and Label4 (grid labels). The elements are windowless: small
// objects with the properties the drawing sets, which the frame paints in drawing order and shows to
// assistive technology. Element 0 of each array is the window's hidden template; a new element copies
// it and starts hidden.

#include "chart.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

struct ChartElement {
    enum class Kind { Shape, Line, Label };
    Kind kind = Kind::Shape;
    QString array; // "Shape1"
    int index = 0;
    QRect place; // twips inside Frame2; a line is drawn along its top edge
    QColor fill; // shapes
    QString caption;
    QFont font;
    bool visible = false;
    // What a screen reader says of a bar: its date and rate.
    QString spoken;
    mutable unsigned accessibleId = 0; // set once a screen reader has asked for the element

    QString name() const { return array + u'(' + QString::number(index) + u')'; }
    // Where it stands on screen, inside the frame.
    QRect pixels() const;
};

class ChartFrame : public QFrame {
    Q_OBJECT
public:
    // Frame2 with the design's templates.
    explicit ChartFrame(QWidget* parent);
    ~ChartFrame() override;

    // The chart's input: the list's lines and the fields' texts, with the frame's current size and the
    // template values, all in twips.
    chart::ChartInput input(const QStringList& lines, const QString& tenorText, const QString& fromText,
                            const QString& toText) const;

    // Destroys the previous drawing's bars, shows the frame and draws the result in it. The grid elements
    // are made by the first drawing and reused by the next ones.
    void draw(const chart::ChartResult& result);

    // The number of bars drawn: elements 1 to ChartCount() of Shape1, Shape2 and Label3 exist.
    int ChartCount() const { return static_cast<int>(m_shape1.size()) - 1; }

    // Element i of each control array (0: the template); nullptr when it does not exist.
    const ChartElement* Shape1(int i) const { return at(m_shape1, i); }
    const ChartElement* Shape2(int i) const { return at(m_shape2, i); }
    const ChartElement* Label3(int i) const { return at(m_label3, i); }
    const ChartElement* Line1(int i) const { return at(m_line1, i); }
    const ChartElement* Label4(int i) const { return at(m_label4, i); }

    // The shown elements, back to front, as they are painted: bars each under its cover, then the grid
    // lines, then the dates and the grid labels in front of everything.
    std::vector<const ChartElement*> drawingOrder() const;
    // What assistive technology is shown: the bars, then the shown labels with a caption.
    std::vector<const ChartElement*> accessibleElements() const;

    void setVisible(bool visible) override;

signals:
    // The frame was shown or hidden: it covers List1 while shown.
    void shownChanged(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    using Array = std::vector<std::unique_ptr<ChartElement>>;
    static const ChartElement* at(const Array& a, int i) {
        return i >= 0 && i < static_cast<int>(a.size()) ? a[static_cast<std::size_t>(i)].get() : nullptr;
    }
    static ChartElement* copyOf(const Array& a, int index);
    void destroyLast(Array& a);
    void paint(class QPainter& p, const ChartElement& e) const;

    Array m_shape1, m_shape2, m_label3, m_line1, m_label4;
};
