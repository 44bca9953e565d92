#include "chart_frame.h"

#include "twips.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cstdlib>

namespace {

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

// "07/12/2026: 2,0640": the list's date with slashes, the rate as the list shows it, in Italian.
QString spokenBar(const chart::ChartBar& b) {
    QString date = b.date;
    if (date.size() == 10)
        date = date.left(2) + u'/' + date.mid(3, 2) + u'/' + date.mid(6);
    return date + QStringLiteral(": ") + QString::number(b.value, 'f', 4).replace(u'.', u',');
}

void place(ChartElement& e, int left, int top, int width, int height) {
    e.place = QRect(left, top, width, height);
}

std::unique_ptr<ChartElement> element(ChartElement::Kind kind, const char* array, QRect place) {
    auto e = std::make_unique<ChartElement>();
    e->kind = kind;
    e->array = QString::fromLatin1(array);
    e->place = place;
    return e;
}

// A bar or a label as a screen reader meets it. The frame deletes it with its element.
class ElementAccessible : public QAccessibleInterface {
public:
    ElementAccessible(ChartFrame* frame, const ChartElement* e)
        : m_frame(frame)
        , m_e(e) {}
    bool isValid() const override { return !m_frame.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_frame->window()->windowHandle(); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_frame); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name)
            return {};
        return m_e->spoken.isEmpty() ? m_e->caption : m_e->spoken;
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const QRect r = m_e->pixels();
        return {m_frame->mapToGlobal(r.topLeft()), r.size()};
    }
    QAccessible::Role role() const override {
        return m_e->kind == ChartElement::Kind::Shape ? QAccessible::Graphic : QAccessible::StaticText;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !m_e->visible || !m_frame->isVisible();
        s.readOnly = true;
        return s;
    }

private:
    QPointer<ChartFrame> m_frame;
    const ChartElement* m_e;
};

// Frame2 as a screen reader meets it: its widgets, then the chart's elements.
class FrameAccessible : public QAccessibleWidget {
public:
    explicit FrameAccessible(ChartFrame* frame)
        : QAccessibleWidget(frame, QAccessible::Chart) {}

    int childCount() const override {
        return QAccessibleWidget::childCount() + static_cast<int>(elements().size());
    }
    QAccessibleInterface* child(int index) const override {
        const int widgets = QAccessibleWidget::childCount();
        if (index < widgets)
            return QAccessibleWidget::child(index);
        const auto list = elements();
        const auto i = static_cast<std::size_t>(index - widgets);
        if (i >= list.size())
            return nullptr;
        const ChartElement* e = list[i];
        if (!e->accessibleId)
            e->accessibleId = QAccessible::registerAccessibleInterface(new ElementAccessible(frame(), e));
        return QAccessible::accessibleInterface(e->accessibleId);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child || child->object())
            return QAccessibleWidget::indexOfChild(child);
        const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
        const auto list = elements();
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i]->accessibleId == id)
                return QAccessibleWidget::childCount() + static_cast<int>(i);
        return -1;
    }

private:
    ChartFrame* frame() const { return static_cast<ChartFrame*>(widget()); }
    std::vector<const ChartElement*> elements() const { return frame()->accessibleElements(); }
};

QAccessibleInterface* chartAccessible(const QString& key, QObject* object) {
    if (key == QLatin1String("ChartFrame"))
        return new FrameAccessible(static_cast<ChartFrame*>(object));
    return nullptr;
}

} // namespace

QRect ChartElement::pixels() const {
    return {twips::toPixels(place.left()), twips::toPixels(place.top()), twips::toPixels(place.width()),
            twips::toPixels(place.height())};
}

ChartFrame::ChartFrame(QWidget* parent)
    : QFrame(parent) {
    static const bool factory = (QAccessible::installFactory(chartAccessible), true);
    Q_UNUSED(factory);
    setObjectName(QStringLiteral("Frame2"));
    setAccessibleName(QStringLiteral("Grafico delle quotazioni"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);

    using Kind = ChartElement::Kind;
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSizeF(6.75);
    m_shape1.push_back(element(Kind::Shape, "Shape1", {120, 240, 255, 2535}));
    m_shape1[0]->fill = QColor(255, 255, 0);
    m_shape2.push_back(element(Kind::Shape, "Shape2", {345, 225, 255, 2535}));
    m_shape2[0]->fill = QColor(0, 0, 128);
    m_label3.push_back(element(Kind::Label, "Label3", {45, 360, 405, 165}));
    m_label3[0]->font = tahoma;
    m_label4.push_back(element(Kind::Label, "Label4", {1440, 240, 405, 165}));
    m_label4[0]->font = tahoma;
    m_line1.push_back(element(Kind::Line, "Line1", {120, 720, 8160, 15}));
}

ChartFrame::~ChartFrame() {
    for (Array* a : {&m_shape1, &m_shape2, &m_label3, &m_line1, &m_label4})
        while (!a->empty())
            destroyLast(*a);
}

ChartElement* ChartFrame::copyOf(const Array& a, int index) {
    auto* e = new ChartElement(*a.front());
    e->index = index;
    e->visible = false;
    e->accessibleId = 0;
    return e;
}

void ChartFrame::destroyLast(Array& a) {
    if (const unsigned id = a.back()->accessibleId)
        QAccessible::deleteAccessibleInterface(id);
    a.pop_back();
}

chart::ChartInput ChartFrame::input(const QStringList& lines, const QString& tenorText,
                                    const QString& fromText, const QString& toText) const {
    chart::ChartInput in;
    in.lines = lines;
    in.tenorText = tenorText;
    in.fromText = fromText;
    in.toText = toText;
    const QRect frame = twips::geometry(this);
    in.frameWidth = frame.width();
    in.frameHeight = frame.height();
    const QRect bar = m_shape1[0]->place;
    in.barLeft = bar.left();
    in.barTop = bar.top();
    in.barHeight = bar.height();
    in.gridLabelWidth = m_label4[0]->place.width();
    return in;
}

void ChartFrame::draw(const chart::ChartResult& result) {
    // Newest first, as the bars were always taken down.
    while (ChartCount() > 0) {
        destroyLast(m_label3);
        destroyLast(m_shape2);
        destroyLast(m_shape1);
    }
    update();
    show();

    const int n = static_cast<int>(result.bars.size());
    const QFont dates = dateFont(m_label3[0]->font, result);
    const QFontMetrics dateMetrics(dates);
    const QRect dateTemplate = m_label3[0]->place;
    for (int i = 1; i <= n; ++i) {
        const chart::ChartBar& b = result.bars[static_cast<std::size_t>(i - 1)];
        ChartElement& bar = *m_shape1.emplace_back(copyOf(m_shape1, i));
        ChartElement& cover = *m_shape2.emplace_back(copyOf(m_shape2, i));
        ChartElement& label = *m_label3.emplace_back(copyOf(m_label3, i));
        place(bar, b.left, b.top, b.width, b.height);
        place(cover, b.left, b.top, b.width, b.coverHeight);
        bar.visible = cover.visible = label.visible = true;
        label.font = dates;
        label.caption = b.caption;
        place(label, b.labelLeft, b.labelTop, labelWidth(dateMetrics, b.caption, dateTemplate.width()),
              dateTemplate.height());
        if (b.fill)
            bar.fill = QColor(b.fill->r, b.fill->g, b.fill->b);
        bar.spoken = spokenBar(b);
    }

    if (m_line1.size() == 1) {
        for (int k = 1; k <= 3; ++k) {
            m_line1.emplace_back(copyOf(m_line1, k));
            m_label4.emplace_back(copyOf(m_label4, k));
        }
    }
    const QFontMetrics gridMetrics(m_label4[0]->font);
    const QRect gridTemplate = m_label4[0]->place;
    for (std::size_t k = 1; k <= 3; ++k) {
        const chart::GridLine& g = result.grid[k - 1];
        ChartElement& line = *m_line1[k];
        place(line, std::min(g.x1, g.x2), g.y, std::abs(g.x2 - g.x1), line.place.height());
        line.visible = true;
        ChartElement& label = *m_label4[k];
        label.caption = g.caption;
        place(label, g.labelLeft, g.labelTop, labelWidth(gridMetrics, g.caption, gridTemplate.width()),
              gridTemplate.height());
        label.visible = true;
    }

    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&changed);
    }
}

std::vector<const ChartElement*> ChartFrame::drawingOrder() const {
    std::vector<const ChartElement*> order;
    order.reserve(m_shape1.size() * 3 + 6);
    auto add = [&order](const ChartElement& e) {
        if (e.visible)
            order.push_back(&e);
    };
    for (std::size_t i = 0; i < m_shape1.size(); ++i) {
        add(*m_shape1[i]);
        add(*m_shape2[i]);
    }
    for (const Array* a : {&m_line1, &m_label3, &m_label4})
        for (const auto& e : *a)
            add(*e);
    return order;
}

std::vector<const ChartElement*> ChartFrame::accessibleElements() const {
    std::vector<const ChartElement*> list;
    for (const Array* a : {&m_shape1, &m_label3, &m_label4})
        for (const auto& e : *a)
            if (e->visible && (a == &m_shape1 || !e->caption.isEmpty()))
                list.push_back(e.get());
    return list;
}

void ChartFrame::setVisible(bool visible) {
    const bool was = !isHidden();
    QFrame::setVisible(visible);
    if (was != visible)
        emit shownChanged(visible);
}

void ChartFrame::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    const QColor ink = palette().color(QPalette::WindowText);
    for (const ChartElement* e : drawingOrder()) {
        const QRect r = e->pixels();
        if (!r.intersects(event->rect()))
            continue;
        switch (e->kind) {
        case ChartElement::Kind::Shape:
            p.fillRect(r, e->fill);
            break;
        case ChartElement::Kind::Line: {
            // As a horizontal line frame draws itself, within its own box: the style's pen reaches half
            // a pixel above it and one pixel past its end.
            QStyleOptionFrame line;
            line.initFrom(this);
            line.rect = r;
            line.frameShape = QFrame::HLine;
            line.lineWidth = 1;
            line.midLineWidth = 0;
            p.setClipRect(r);
            style()->drawControl(QStyle::CE_ShapedFrame, &line, &p, this);
            p.setClipping(false);
            break;
        }
        case ChartElement::Kind::Label:
            if (e->caption.isEmpty())
                break;
            // A label shows no more of its caption than its own box holds.
            p.setClipRect(r);
            p.setFont(e->font);
            p.setPen(ink);
            p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, e->caption);
            p.setClipping(false);
            break;
        }
    }
}
