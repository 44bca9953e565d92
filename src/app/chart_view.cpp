#include "chart_view.h"

#include "twips.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cstdlib>

namespace {

// A widget shown inside a visible parent posts itself a request to be repainted later. For a thousand new
// copies those requests cost more than the whole drawing, so the copies drop them: each drawing repaints
// the frame once, and showing the frame repaints its children anyway.
bool isRepaintRequest(const QEvent* e) {
    return e->type() == QEvent::UpdateLater;
}

// A bar or a cover. The templates are coloured by style sheet, but a style sheet on every one of up to
// two thousand copies makes a drawing far too slow; the copies paint the template's colour themselves.
class ShapeCopy : public QFrame {
public:
    using QFrame::QFrame;
    void setFill(const QColor& c) {
        if (c != m_fill) {
            m_fill = c;
            update();
        }
    }

protected:
    bool event(QEvent* e) override { return isRepaintRequest(e) || QFrame::event(e); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), m_fill);
        if (frameShape() != QFrame::NoFrame)
            drawFrame(&p);
    }

private:
    QColor m_fill;
};

class LabelCopy : public QLabel {
public:
    using QLabel::QLabel;

protected:
    bool event(QEvent* e) override { return isRepaintRequest(e) || QLabel::event(e); }
};

QString elementName(const QString& array, int index) {
    return array + u'(' + QString::number(index) + u')';
}

// The colour the template paints in its middle, however it was given (style sheet or palette).
QColor paintedColour(QWidget* tmpl) {
    const QRect r = tmpl->rect();
    const QImage pixel = tmpl->grab(QRect(r.center(), QSize(1, 1))).toImage();
    return pixel.isNull() ? QColor() : pixel.pixelColor(0, 0);
}

// A new child is hidden until shown, like a new element of a control array; every drawing shows
// the copies it places.
void copyCommon(QWidget* copy, const QWidget* tmpl, const QString& name, bool palette = true) {
    copy->setObjectName(name);
    if (palette && tmpl->testAttribute(Qt::WA_SetPalette))
        copy->setPalette(tmpl->palette());
    if (tmpl->testAttribute(Qt::WA_SetFont))
        copy->setFont(tmpl->font());
    copy->setGeometry(tmpl->geometry());
}

void copyFrameStyle(QFrame* copy, const QFrame* tmpl) {
    copy->setFrameShape(tmpl->frameShape());
    copy->setFrameShadow(tmpl->frameShadow());
    copy->setLineWidth(tmpl->lineWidth());
    copy->setMidLineWidth(tmpl->midLineWidth());
}

QFrame* copyShape(QFrame* tmpl, QWidget* parent, const QString& name) {
    auto* c = new ShapeCopy(parent);
    copyFrameStyle(c, tmpl);
    // The fill is painted from the template's colour; its palette would only cost time.
    copyCommon(c, tmpl, name, false);
    return c;
}

QFrame* copyLine(QFrame* tmpl, QWidget* parent, const QString& name) {
    auto* c = new QFrame(parent);
    copyFrameStyle(c, tmpl);
    c->setAutoFillBackground(tmpl->autoFillBackground());
    if (!tmpl->styleSheet().isEmpty())
        c->setStyleSheet(tmpl->styleSheet());
    copyCommon(c, tmpl, name);
    return c;
}

QLabel* copyLabel(QLabel* tmpl, QWidget* parent, const QString& name) {
    auto* c = new LabelCopy(parent);
    c->setTextFormat(tmpl->textFormat());
    c->setAlignment(tmpl->alignment());
    c->setWordWrap(tmpl->wordWrap());
    c->setMargin(tmpl->margin());
    c->setIndent(tmpl->indent());
    c->setAutoFillBackground(tmpl->autoFillBackground());
    if (!tmpl->styleSheet().isEmpty())
        c->setStyleSheet(tmpl->styleSheet());
    copyCommon(c, tmpl, name);
    return c;
}

// Labels keep the template's size but grow to show their whole caption: a date in the template's
// 405 twips would be cut.
int labelWidth(const QFontMetrics& fm, const QString& caption, int templateWidth) {
    if (caption.isEmpty())
        return templateWidth;
    return std::max(templateWidth, twips::fromPixels(fm.horizontalAdvance(caption) + 1));
}

// Dates wider than the room up to the next bar are set narrower, down to three quarters, so neighbours
// do not run into each other: at 11 or 12 bars the spacing leaves about 45 pixels per date, and the faces
// that stand in for Tahoma are wider than that.
QFont dateFont(const QFont& templateFont, const chart::ChartResult& result) {
    if (result.bars.size() < 2)
        return templateFont;
    const QFontMetrics fm(templateFont);
    int widest = 0;
    for (const chart::ChartBar& b : result.bars)
        widest = std::max(widest, fm.horizontalAdvance(b.caption));
    const int room = twips::toPixels(result.pitch) - 2;
    if (widest <= room)
        return templateFont;
    QFont narrow = templateFont;
    narrow.setStretch(std::max(75, 100 * room / widest));
    return narrow;
}

} // namespace

ChartView::ChartView(QFrame* frame2, QFrame* shape1Template, QFrame* shape2Template, QLabel* label3Template,
                     QFrame* line1Template, QLabel* label4Template)
    : m_frame(frame2)
    , m_shape1{shape1Template}
    , m_shape2{shape2Template}
    , m_label3{label3Template}
    , m_line1{line1Template}
    , m_label4{label4Template} {}

// The copies are Frame2's children and go with it.
ChartView::~ChartView() = default;

chart::ChartInput ChartView::input(const QStringList& lines, const QString& tenorText,
                                   const QString& fromText, const QString& toText) const {
    chart::ChartInput in;
    in.lines = lines;
    in.tenorText = tenorText;
    in.fromText = fromText;
    in.toText = toText;
    const QRect frame = twips::geometry(m_frame);
    in.frameWidth = frame.width();
    in.frameHeight = frame.height();
    const QRect bar = twips::geometry(m_shape1[0]);
    in.barLeft = bar.left();
    in.barTop = bar.top();
    in.barHeight = bar.height();
    in.gridLabelWidth = twips::geometry(m_label4[0]).width();
    return in;
}

void ChartView::resizeBars(int count, bool& created) {
    // Newest first, as the bars were always taken down.
    while (ChartCount() > count) {
        for (QWidget* w : {static_cast<QWidget*>(m_label3.back()), static_cast<QWidget*>(m_shape2.back()),
                           static_cast<QWidget*>(m_shape1.back())})
            w->hide();
        delete m_shape1.back();
        delete m_shape2.back();
        delete m_label3.back();
        m_shape1.pop_back();
        m_shape2.pop_back();
        m_label3.pop_back();
    }
    while (ChartCount() < count) {
        const int i = ChartCount() + 1;
        m_shape1.push_back(copyShape(m_shape1[0], m_frame, elementName(QStringLiteral("Shape1"), i)));
        m_shape2.push_back(copyShape(m_shape2[0], m_frame, elementName(QStringLiteral("Shape2"), i)));
        m_label3.push_back(copyLabel(m_label3[0], m_frame, elementName(QStringLiteral("Label3"), i)));
        created = true;
    }
}

void ChartView::makeGrid() {
    for (int k = 1; k <= 3; ++k) {
        m_line1.push_back(copyLine(m_line1[0], m_frame, elementName(QStringLiteral("Line1"), k)));
        m_label4.push_back(copyLabel(m_label4[0], m_frame, elementName(QStringLiteral("Label4"), k)));
    }
}

// Grid lines in front of the bars, every label in front of the lines. Copies stack in the order they
// are made, so this is needed only when new ones were made.
void ChartView::raiseOverlays(int count) {
    for (std::size_t k = 1; k < m_line1.size(); ++k)
        m_line1[k]->raise();
    for (int i = 1; i <= count; ++i)
        m_label3[static_cast<std::size_t>(i)]->raise();
    for (std::size_t k = 1; k < m_label4.size(); ++k)
        m_label4[k]->raise();
}

void ChartView::draw(const chart::ChartResult& result) {
    const int n = static_cast<int>(result.bars.size());
    bool created = false;
    resizeBars(n, created);

    // Sampled at every drawing: cheap, and copies follow the templates.
    const QColor barColour = paintedColour(m_shape1[0]);
    const QColor coverColour = paintedColour(m_shape2[0]);
    const QFont dates = dateFont(m_label3[0]->font(), result);
    const QFontMetrics dateMetrics(dates);
    const QRect dateTemplate = twips::geometry(m_label3[0]);

    for (int i = 1; i <= n; ++i) {
        const chart::ChartBar& b = result.bars[static_cast<std::size_t>(i - 1)];
        auto* bar = static_cast<ShapeCopy*>(m_shape1[static_cast<std::size_t>(i)]);
        auto* cover = static_cast<ShapeCopy*>(m_shape2[static_cast<std::size_t>(i)]);
        QLabel* label = m_label3[static_cast<std::size_t>(i)];

        bar->setFill(b.fill ? QColor(b.fill->r, b.fill->g, b.fill->b) : barColour);
        cover->setFill(coverColour);
        twips::place(bar, b.left, b.top, b.width, b.height);
        twips::place(cover, b.left, b.top, b.width, b.coverHeight);
        if (label->font() != dates)
            label->setFont(dates);
        label->setText(b.caption);
        twips::place(label, b.labelLeft, b.labelTop, labelWidth(dateMetrics, b.caption, dateTemplate.width()),
                     dateTemplate.height());
        bar->show();
        cover->show();
        label->show();
    }

    if (m_line1.size() == 1) {
        makeGrid();
        created = true;
    }
    const int lineHeight = twips::geometry(m_line1[0]).height();
    const QFontMetrics gridMetrics(m_label4[0]->font());
    const QRect gridTemplate = twips::geometry(m_label4[0]);
    for (std::size_t k = 1; k <= 3; ++k) {
        const chart::GridLine& g = result.grid[k - 1];
        twips::place(m_line1[k], std::min(g.x1, g.x2), g.y, std::abs(g.x2 - g.x1), lineHeight);
        m_line1[k]->show();
        m_label4[k]->setText(g.caption);
        twips::place(m_label4[k], g.labelLeft, g.labelTop,
                     labelWidth(gridMetrics, g.caption, gridTemplate.width()), gridTemplate.height());
        m_label4[k]->show();
    }
    if (created)
        raiseOverlays(n);

    // Shown once its elements are in place: showing a child of a visible frame makes Qt search every
    // pending event, which with a thousand new elements costs more than the drawing.
    m_frame->show();
    m_frame->update(); // the copies' own repaint requests are dropped
}

QStringList chart::listItems(const QListWidget* list) {
    QStringList items;
    items.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        items.append(list->item(i)->text());
    return items;
}
