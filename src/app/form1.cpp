#include "form1.h"

#include "conn_ras.h"
#include "controls.h"
#include "daily_cycle.h"
#include "formats.h"
#include "login_ras.h"
#include "runtime_error.h"
#include "services.h"
#include "shell.h"
#include "startup_files.h"
#include "twips.h"
#include "vb.h"
#include "window_layout.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>

using vb::Trim;

namespace {

constexpr int kClientWidth = 8490;
constexpr int kClientHeight = 6135;
// The borders of the window around its client area as it was laid out (outer 8620 x 6595): the layout's
// allowances are reckoned from the outer size, whatever borders the desktop draws.
constexpr int kBorderWidth = 130;
constexpr int kBorderHeight = 460;
// The wait for a dial: passes of a tenth of a second, a minute at most.
constexpr int kDialWaitPassMs = 100;
constexpr int kMaxDialWaitPasses = 600;
constexpr qint64 kMaxDialWaitMs = 60000;

// Fields select their whole text when they get the focus.
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            // Queued, so a mouse click that gave the focus does not undo the selection.
            if (auto* line = qobject_cast<QLineEdit*>(watched))
                QTimer::singleShot(0, line, &QLineEdit::selectAll);
            else if (auto* text = qobject_cast<QPlainTextEdit*>(watched))
                QTimer::singleShot(0, text, &QPlainTextEdit::selectAll);
        }
        return QObject::eventFilter(watched, event);
    }
};

// Keeps the user's clicks, keys, wheel turns and dropped text away from the window while one of its
// handlers runs: the handlers let events run in their waits, and a click there would start another
// handler in the middle of the daily cycle. Paint events and timers go on.
class InputGate : public QObject {
public:
    explicit InputGate(QWidget* window)
        : QObject(window)
        , m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        // Text also comes by dropping it or from an input method, without a key.
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::InputMethod: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->window() == m_window)
                return true;
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_window;
};

// The tenor box's field. Leaving it or pressing Enter makes the combo box match the typed text to an
// item: that is typing, not a pick, and must not run the pick's handler.
class TenorEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    bool typing() const { return m_typing; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QScopedValueRollback guard(m_typing, true);
        QLineEdit::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        const QScopedValueRollback guard(m_typing, true);
        QLineEdit::focusOutEvent(event);
    }

private:
    bool m_typing = false;
};

// A label that shows a value is named by the caption beside it, followed by the value: "Quotazione:
// 2,0640".
class CaptionedValue : public QAccessibleWidget {
public:
    CaptionedValue(QLabel* value, const QLabel* caption)
        : QAccessibleWidget(value, QAccessible::StaticText)
        , m_caption(caption) {}
    QString text(QAccessible::Text t) const override {
        const QString value = static_cast<QLabel*>(widget())->text();
        if (t == QAccessible::Name)
            return m_caption ? Trim(m_caption->text()) + u' ' + value : value;
        return t == QAccessible::Value ? value : QAccessibleWidget::text(t);
    }

private:
    QPointer<const QLabel> m_caption;
};

const char* const kCaptionProperty = "didascalia";

QAccessibleInterface* captionedValue(const QString& key, QObject* object) {
    if (key != QLatin1String("QLabel"))
        return nullptr;
    auto* caption = qvariant_cast<QLabel*>(object->property(kCaptionProperty));
    return caption ? new CaptionedValue(static_cast<QLabel*>(object), caption) : nullptr;
}

// The window's widths were measured in another font: a caption wider than its label widens the label
// (its place stays), so no caption is ever cut.
void widenToFit(QLabel* l, const QStringList& captions) {
    int width = l->width();
    for (const QString& c : captions)
        width = std::max(width, l->fontMetrics().horizontalAdvance(c) + 2);
    l->resize(width, l->height());
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, int l, int t, int w, int h) {
    auto* c = makeControl<QLabel>(parent, name, caption);
    twips::place(c, l, t, w, h);
    return c;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, int l, int t, int w, int h,
                    bool shown = true) {
    auto* c = makeControl<QPushButton>(parent, name, caption);
    twips::place(c, l, t, w, h);
    c->setVisible(shown);
    return c;
}

QLineEdit* field(QWidget* parent, const QString& name, int l, int t, int w, int h, bool shown = true) {
    auto* c = makeControl<QLineEdit>(parent, name);
    twips::place(c, l, t, w, h);
    c->setVisible(shown);
    return c;
}

} // namespace

form1::form1(const AppContext& context, Login_RAS* login, QWidget* parent)
    : QWidget(parent)
    , m_ctx(context)
    , m_login(login) {
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(appTitle());
    buildControls();
    setMinimumSize(twips::toPixels(chart::kMinWindowSize - kBorderWidth), 1);
    resize(twips::toPixels(kClientWidth), twips::toPixels(kClientHeight));
}

form1::~form1() = default;

void form1::buildControls() {
    // The window was laid out for a narrow sans serif of 8 points: take one of its kind where the
    // desktop has one, so captions fit their design widths.
    QFont font = this->font();
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"), font.family()});
    font.setPixelSize(11);
    setFont(font);

    Frame1 = makeControl<QFrame>(this, QStringLiteral("Frame1"));
    twips::place(Frame1, -15, 0, 8400, 3105);
    QWidget* f = Frame1;

    Label1 = {label(f, QStringLiteral("Label1(0)"), QStringLiteral("Data:"), 300, 1230, 390, 195),
              label(f, QStringLiteral("Label1(1)"), QStringLiteral("Quotazione:"), 300, 1575, 855, 195),
              label(f, QStringLiteral("Label1(2)"), QStringLiteral("Da data:"), 4650, 1650, 615, 195),
              label(f, QStringLiteral("Label1(3)"), QStringLiteral(" a data:"), 6510, 1650, 540, 195)};
    lblData = label(f, QStringLiteral("lblData"), QString(), 1455, 1230, 1470, 270);
    lblQuote = label(f, QStringLiteral("lblQuote"), QString(), 1455, 1545, 1470, 270);
    for (QLabel* l : {lblData, lblQuote}) {
        QFont bold = l->font();
        bold.setBold(true);
        bold.setPixelSize(13);
        l->setFont(bold);
    }
    txtsymbol = field(f, QStringLiteral("txtsymbol"), 300, 285, 2130, 300);
    Combo1 = makeControl<QComboBox>(f, QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    m_tenorEdit = new TenorEdit(Combo1);
    Combo1->setLineEdit(m_tenorEdit);
    // Typed text is compared with the items exactly and never completed: "euribor 6m" stays as typed.
    auto* exact = new QCompleter(QStringList(), Combo1);
    exact->setCaseSensitivity(Qt::CaseSensitive);
    Combo1->setCompleter(exact);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setEditText(QStringLiteral("Combo1"));
    twips::place(Combo1, 2550, 300, 5685, 315);
    Label15 = label(f, QStringLiteral("Label15"), QStringLiteral("Numero records nel Database: 0"), 3000,
                    1275, 2745, 195);
    Label6 = label(f, QStringLiteral("Label6"), QStringLiteral("Tipo connessione IE"), 2760, 1920, 1455, 195);
    txtDA_DATA = field(f, QStringLiteral("txtDA_DATA"), 5355, 1620, 1110, 285);
    txtA_DATA = field(f, QStringLiteral("txtA_DATA"), 7125, 1620, 1110, 285);
    Command5 = button(f, QStringLiteral("Command5"), QStringLiteral("Grafico"), 5820, 1170, 1230, 375);
    Command10 = button(f, QStringLiteral("Command10"), QStringLiteral("Elenco"), 7050, 1170, 1185, 375);
    Command11 = button(f, QStringLiteral("Command11"), QStringLiteral("Stampa"), 3045, 1530, 1185, 300);
    Label2 = label(f, QStringLiteral("Label2"), QStringLiteral("Nome file Storico Quotazioni"), 135, 1905,
                   2175, 255);
    Text2 = field(f, QStringLiteral("Text2"), 105, 2115, 7455, 285);
    Command3 = button(f, QStringLiteral("Command3"), QStringLiteral("..."), 7650, 2115, 615, 300);
    Text1 = field(f, QStringLiteral("Text1"), 90, 2595, 8145, 300);
    Command1 = button(f, QStringLiteral("Command1"), QStringLiteral("Aggiorna Quotazione C1"), 30, 90, 1890,
                      225, false);
    Command7 = button(f, QStringLiteral("Command7"), QStringLiteral("Aggiorna Quotazione C7"), 1920, 90, 1920,
                      225, false);
    Command2 = button(f, QStringLiteral("Command2"), QStringLiteral("Registra Quotazione odierna C2"), 3825,
                      60, 2415, 270, false);
    Command6 =
        button(f, QStringLiteral("Command6"), QStringLiteral("Apre DB C6"), 6225, 105, 1095, 240, false);
    Command4 = button(f, QStringLiteral("Command4"), QStringLiteral("Legge Storico Quotazioni C4"), 2535, 585,
                      2415, 285, false);
    Label5 = label(f, QStringLiteral("Label5"), QStringLiteral("Nome file Storico Cambi ufficiali"), 90, 630,
                   2385, 255);
    Label5->hide();
    Text4 = field(f, QStringLiteral("Text4"), 75, 840, 5235, 285, false);
    Command9 = button(f, QStringLiteral("Command9"), QStringLiteral("..."), 5355, 840, 375, 300, false);
    Command8 = button(f, QStringLiteral("Command8"), QStringLiteral("Carica storico cambi ufficiali"), 5820,
                      795, 2415, 360, false);

    List1 = makeControl<LineList>(this, QStringLiteral("List1"));
    twips::place(List1, 0, 3120, 8415, 2205);

    Frame2 = new ChartFrame(this);
    twips::place(Frame2, 0, 3120, 8415, 2895);
    // While the chart covers the list, the list must not take the focus out of sight.
    connect(Frame2, &ChartFrame::shownChanged, this, [this](bool shown) {
        List1->setFocusPolicy(shown ? Qt::NoFocus : Qt::StrongFocus);
        if (shown && List1->hasFocus())
            focusNextChild();
    });

    Text3 = makeControl<QPlainTextEdit>(Frame2, QStringLiteral("Text3"));
    twips::place(Text3, 3630, 1605, 8430, 2865);
    Text3->setReadOnly(true);
    Text3->hide();

    for (QLabel* l : Frame1->findChildren<QLabel*>())
        widenToFit(l, {l->text()});
    widenToFit(Label6, {QStringLiteral("Connection Via Modem but modem is busy"),
                        QStringLiteral("Not Connected to the Internet")});
    widenToFit(Label15, {QStringLiteral("Numero records nel Database: 9999999")});

    // What a screen reader calls each control that takes input or shows a value: the caption beside it,
    // or what the field holds where the window gives it none.
    static const bool factory = (QAccessible::installFactory(captionedValue), true);
    Q_UNUSED(factory);
    lblData->setProperty(kCaptionProperty, QVariant::fromValue(Label1[0]));
    lblQuote->setProperty(kCaptionProperty, QVariant::fromValue(Label1[1]));
    const std::pair<QWidget*, QString> names[] = {
        {txtsymbol, QStringLiteral("Simbolo della scadenza")},
        {Combo1, QStringLiteral("Scadenza")},
        {m_tenorEdit, QStringLiteral("Scadenza")},
        {Combo1->view(), QStringLiteral("Scadenze")},
        {txtDA_DATA, Trim(Label1[2]->text())},
        {txtA_DATA, Trim(Label1[3]->text())},
        {Text2, Label2->text()},
        {Command3, QStringLiteral("Scegli il file dello storico quotazioni")},
        {Text1, QStringLiteral("Indirizzo della pagina delle quotazioni")},
        {Text4, Label5->text()},
        {Command9, QStringLiteral("Scegli il file dello storico cambi ufficiali")},
        {List1, QStringLiteral("Storico quotazioni")},
        {Text3, QStringLiteral("Pagina delle quotazioni scaricata")}};
    for (const auto& [w, name] : names)
        w->setAccessibleName(name);

    auto* selectAll = new SelectAllOnFocus(this);
    for (QWidget* w :
         std::initializer_list<QWidget*>{Text1, Text2, Text3, Text4, txtDA_DATA, txtA_DATA, txtsymbol})
        w->installEventFilter(selectAll);

    m_inputGate = new InputGate(this);
    connect(Combo1, &QComboBox::activated, this, [this] {
        if (!static_cast<TenorEdit*>(m_tenorEdit)->typing())
            runHandler([this] { Combo1_Click(); });
    });
    const std::pair<QPushButton*, void (form1::*)()> buttons[] = {
        {Command5, &form1::Command5_Click},  {Command1, &form1::Command1_Click},
        {Command2, &form1::RecordToday},     {Command3, &form1::Command3_Click},
        {Command4, &form1::ReadHistoryFile}, {Command6, &form1::LoadHistory},
        {Command7, &form1::Command7_Click},  {Command8, &form1::Command8_Click},
        {Command9, &form1::Command9_Click},  {Command10, &form1::Command10_Click},
        {Command11, &form1::Command11_Click}};
    for (const auto& [b, handler] : buttons)
        connect(b, &QPushButton::clicked, this,
                [this, handler = handler] { runHandler([=, this] { (this->*handler)(); }); });
}

void form1::runHandler(const std::function<void()>& handler) {
    // Nothing starts once the window is closing: the exit question and the hang-ups let events run.
    if (m_ending || m_unloading)
        return;
    if (m_handlerDepth++ == 0)
        qApp->installEventFilter(m_inputGate);
    handler();
    if (--m_handlerDepth == 0) {
        qApp->removeEventFilter(m_inputGate);
        // A close asked for during the handler is honoured once it has finished.
        if (m_closePending && !m_ending)
            QTimer::singleShot(0, this, &QWidget::close);
    }
}

void form1::endProgram() {
    m_ending = true;
    m_ctx.shell->endProgram();
}

void form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The daily cycle runs once, after the window is first on screen; coming back to the window
    // later must not fetch and record again.
    if (!m_activated) {
        m_activated = true;
        QTimer::singleShot(0, this, [this] {
            Form_Activate();
            emit cycleEnded();
        });
    }
}

QSize form1::outerSizeTwips() const {
    return {twips::fromPixels(width()) + kBorderWidth, twips::fromPixels(height()) + kBorderHeight};
}

void form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The layout belongs to the loaded window. A drawing may make Qt deliver a pending resize of the
    // same size: that one must not start a drawing of its own.
    if (!m_loaded || m_inResize || event->size() == event->oldSize())
        return;
    m_inResize = true;
    Form_Resize();
    m_inResize = false;
}

void form1::Form_Resize() {
    // A minimized window reports no size worth laying out.
    if (isMinimized())
        return;
    const QSize outer = outerSizeTwips();
    const chart::WindowLayout l = chart::windowLayout(outer.width(), outer.height());
    if (l.width != outer.width() || l.height != outer.height())
        resize(twips::toPixels(l.width - kBorderWidth),
               std::max(1, twips::toPixels(l.height - kBorderHeight)));
    if (l.elementWidth) {
        for (QWidget* e :
             {static_cast<QWidget*>(List1), static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2)}) {
            const QRect g = twips::geometry(e);
            twips::place(e, g.x(), g.y(), *l.elementWidth, g.height());
        }
    }
    if (l.elementHeight) {
        for (QWidget* e : {static_cast<QWidget*>(List1), static_cast<QWidget*>(Frame2)}) {
            const QRect g = twips::geometry(e);
            twips::place(e, g.x(), g.y(), g.width(), *l.elementHeight);
        }
    }
    if (!Frame2->isHidden())
        Command5_Click();
}

void form1::Command5_Click() {
    Frame2->draw(chart::computeChart(
        Frame2->input(List1->lines(), Combo1->currentText(), txtDA_DATA->text(), txtA_DATA->text())));
}

void form1::setPageText(const QString& page) {
    m_pageText = page;
    Text3->setPlainText(page);
}

void form1::ShowError(const rt::RuntimeError& error) {
    const int n = error.number();
    if (n == 0)
        return;
    const QString number = n >= 0 ? u' ' + QString::number(n) : QString::number(n);
    m_ctx.shell->message(QStringLiteral("Errore ") + number + QStringLiteral(" - ") +
                         rt::errorDescription(n) + QStringLiteral("\r\r"));
}

void form1::Form_Load() {
    runHandler([this] { loadWindow(); });
}

void form1::loadWindow() {
    Shell& shell = *m_ctx.shell;
    shell.setBusyPointer(true);
    Text1->setText(m_ctx.pageUrl);
    Text2->setText(m_ctx.programFolder + QStringLiteral("/Storico_Euribor.TXT"));
    const QString year = QString::number(m_ctx.clock->today().year());
    txtDA_DATA->setText(QStringLiteral("01/01/") + year);
    txtA_DATA->setText(QStringLiteral("31/12/") + year);

    const QString copy = m_ctx.programFolder + QStringLiteral("/Euribor_PORTALEDATI.txt");
    QString refused;
    const QStringList items = tenorItems(readAllLines(copy, &refused));
    if (!refused.isEmpty())
        shell.message(refused);
    if (items.isEmpty())
        shell.message(noTenorsMessage(copy));
    Combo1->addItems(items);
    Combo1->setEditText(QStringLiteral("EuRibor 3m"));
    txtsymbol->setText(formats::tenorKey(Combo1->currentText()));
    Frame2->hide();
    LoadHistory();
    if (m_ending)
        return;

    // Offline with a connection name: dial once, then wait, letting events (and the dial's status
    // tick) run, until the machine is connected or the dial has ended, at most a minute.
    bool dialled = false;
    QElapsedTimer waited;
    for (int pass = 0;; ++pass) {
        const bool connected = checkConnection();
        if (connected || ConnName.isEmpty() || ConnName.startsWith(u' '))
            break;
        if (!dialled) {
            dialled = true;
            ConnUser = m_login->Text2->text();
            ConnPassword = m_login->Text3->text();
            if (!m_ctx.dialup)
                break;
            waited.start();
            m_ctx.dialup->DialConnection(ConnName, ConnUser, ConnPassword);
        } else if (!m_ctx.dialup->dialInProgress() || pass >= kMaxDialWaitPasses ||
                   waited.hasExpired(kMaxDialWaitMs)) {
            break;
        }
        shell.waitForEvents(kDialWaitPassMs);
    }

    shell.setBusyPointer(false);
    shell.processEvents();
    m_loaded = true;
}

bool form1::checkConnection() {
    Shell& shell = *m_ctx.shell;
    const ConnectionInfo info = m_ctx.connection->query();
    QString caption = info.connected ? QStringLiteral("Connected to the Internet")
                                     : QStringLiteral("Not Connected to the Internet");
    if (info.flags & ConnectionInfo::Modem)
        caption = QStringLiteral("Connection Via Modem");
    if (info.flags & ConnectionInfo::Lan)
        caption = QStringLiteral("Connecion Via LAN");
    if (info.flags & ConnectionInfo::Proxy)
        caption = QStringLiteral("Connection uses a Proxy");
    if (info.flags & ConnectionInfo::ModemBusy)
        caption = QStringLiteral("Connection Via Modem but modem is busy");
    Label6->setText(caption);
    shell.setBusyPointer(true);
    shell.processEvents();
    ConnName = m_login->Text1->text();
    return info.connected;
}

void form1::Form_Activate() {
    runHandler([this] { activateWindow(); });
}

void form1::activateWindow() {
    Shell& shell = *m_ctx.shell;
    shell.setBusyPointer(true);
    LoadHistory();
    if (m_ending)
        return;
    Command1_Click();
    for (int pass = 0;; ++pass) {
        shell.processEvents();
        // A tenor missing from the page empties the rate label; the others still have their rates.
        if (!Trim(lblQuote->text()).isEmpty() || core::hasRates(Hist)) {
            RecordToday();
            shell.processEvents();
            break;
        }
        if (pass + 1 >= 100) {
            shell.message(QStringLiteral("Non trovo dati in Internet !!!"));
            break;
        }
    }
    Command7_Click();
    Command10_Click();
    if (m_ending)
        return;
    Command5_Click();
    shell.setBusyPointer(false);
}

void form1::Combo1_Click() {
    const QString text = Combo1->currentText();
    txtsymbol->setText(formats::tenorKey(text));
    const int digit = static_cast<int>(vb::Val(vb::Right(text, 1)));
    const QString address = Trim(Text1->text());
    // An empty address has no last character to replace.
    Text1->setText(address.isEmpty() ? address
                                     : vb::Left(address, address.size() - 1) + QString::number(digit));
    LoadHistory();
    if (m_ending)
        return;
    if (!Frame2->isHidden()) {
        m_ctx.shell->processEvents();
        Command5_Click();
    }
    Command7_Click();
}

void form1::Command1_Click() {
    const QDate today = m_ctx.clock->today();
    lblData->setText(today.toString(QStringLiteral("dd-MM")));

    QStringList items;
    items.reserve(Combo1->count());
    for (int i = 0; i < Combo1->count(); ++i)
        items.append(Combo1->itemText(i));
    const core::Quotes quotes = core::fetchQuotes(
        *m_ctx.fetcher, *m_ctx.shell, {Text1->text(), formats::tenorKey(Combo1->currentText()), items, today},
        [this](const QString& page) { setPageText(page); },
        [this](const QString& message, const QString& quote, const QString& date) {
            // Each rate that cannot be recorded is reported as its tenor is reached, over the labels
            // of that moment.
            lblQuote->setText(quote);
            lblData->setText(date);
            m_ctx.shell->message(message);
        });
    Hist = quotes.extraction.entries;
    m_fetchedFrom = quotes.page.isEmpty() ? QString() : Text1->text();
    m_loadedTenor.reset();
    lblQuote->setText(quotes.extraction.lblQuote);
    lblData->setText(quotes.extraction.lblData);
}
