// The main window: its design, the load sequence, the tenor pick, the activation cycle, the chart in its
// frame; and the command line that starts it.

#include "chart_frame.h"
#include "command_line.h"
#include "runtime_error.h"
#include "twips.h"

#include "support/sqlite_files.h"
#include "support/text.h"
#include "support/window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <vector>

TEST_F(WindowTest, LoadSetsTheDesignTheDefaultsAndTheTenorList) {
    EXPECT_EQ(window().size(), QSize(twips::toPixels(8490), twips::toPixels(6135)));
    EXPECT_EQ(form->Label15->text() + form->Label1[3]->text(), S("Numero records nel Database: 0 a data:"));
    // A copy that names no tenor, missing, or too large to be read: nothing can be recorded.
    const QString copy = folderFile(S("Euribor_PORTALEDATI.txt"));
    const QString none = S("Il file %1 manca, è vuoto o non contiene scadenze Euribor: nessuna quotazione "
                           "può essere registrata.")
                             .arg(copy);
    const std::tuple<const char*, QByteArray, QString> copies[] = {
        {"no tenor", "Dettaglio tassi Euribor\r\nnient'altro\r\n", none},
        {"missing", QByteArray(), none},
        {"over 1 MiB", "EuRibor 3m 2,064\r\n" + QByteArray(1024 * 1024, ' '),
         S("Il file %1 supera 1 MiB e non viene letto.|").arg(copy) + none}};
    for (const auto& [name, content, said] : copies) {
        SCOPED_TRACE(name);
        QFile::remove(copy);
        if (!content.isNull())
            writeFile(copy, content);
        form1& w = reloaded();
        EXPECT_EQ(w.Combo1->count(), 0);
        EXPECT_EQ(w.Combo1->currentText(), S("EuRibor 3m"));
        EXPECT_EQ(shell.texts().join(u'|'), said);
    }
    writePageCopy(kThreeTenors);
    form1& v = reloaded();
    EXPECT_EQ(QStringList({v.Text1->text(), v.Text2->text(), v.txtDA_DATA->text(), v.txtA_DATA->text(),
                           v.Combo1->itemText(2), v.Combo1->currentText(), v.txtsymbol->text()}),
              QStringList({context.pageUrl, historyPath(), S("01/01/2026"), S("31/12/2026"), S("EuRibor 6m"),
                           S("EuRibor 3m"), S("EuRibor 3m")}));
    EXPECT_EQ(v.Combo1->count(), 3);
    EXPECT_FALSE(shell.busy);
    v.show();
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{v.Command1, v.Command2, v.Command4, v.Command6, v.Command7,
                                         v.Command8, v.Command9, v.Text4, v.Label5, v.Text3, v.Frame2})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
}

TEST_F(WindowTest, Label6NamesTheConnectionKindLastFlagWinningAndOfflineLoadingGoesOn) {
    const std::pair<ConnectionInfo, const char*> cases[] = {
        {{false, 0}, "Not Connected to the Internet"},
        {{true, ConnectionInfo::Lan}, "Connecion Via LAN"},
        {{true, ConnectionInfo::Modem | ConnectionInfo::ModemBusy},
         "Connection Via Modem but modem is busy"}};
    login.Text1->setText(S("Casa")); // and no dialler to dial it
    form1& w = window();
    for (const auto& [info, caption] : cases) {
        SCOPED_TRACE(caption);
        connection.info = info;
        w.Form_Load();
        EXPECT_EQ(w.Label6->text() + u'|' + w.ConnName, S(caption) + S("|Casa"));
        EXPECT_FALSE(shell.busy);
    }
}

TEST_F(WindowTest, ShowErrorNamesTheNumberAndItsStandardDescription) {
    form1& w = window();
    w.ShowError(rt::RuntimeError(53, S("a component's own text")));
    w.ShowError(rt::RuntimeError(0));
    ASSERT_EQ(shell.boxes.size(), 1);
    EXPECT_EQ(shell.boxes[0].text + shell.boxes[0].title,
              S("Errore  53 - Impossibile trovare il file\r\rQuotazioni Euribor"));
    EXPECT_TRUE(shell.boxes[0].icon == Shell::Icon::None && shell.boxes[0].buttons == Shell::Buttons::Ok);
}

TEST_F(WindowTest, FetchFillsTheHistoryArraysAndReportsWhatIsMissing) {
    writePageCopy(kThreeTenors);
    fetcher.page =
        ratesPage({{"EuRibor 1m", "1,986"}, {"EuRibor 3m", "2,064"}, {"EuRibor 6m", "2,137", "03/12/2026"}});
    form1& w = loaded();
    w.Command1_Click();
    EXPECT_EQ(fetcher.urls, QStringList{context.pageUrl});
    ASSERT_EQ(w.HistCount(), 3);
    EXPECT_EQ(w.Hist[2].type + u'@' + w.Hist[2].date, S("EuRibor 6m@20261203"));
    EXPECT_DOUBLE_EQ(w.Hist[0].quote, 1.986);
    EXPECT_EQ(w.pageText(), fetcher.page);
    EXPECT_TRUE(shell.boxes.isEmpty());

    QString broken = pageRow(S("EuRibor 6m"), S("2,137"), S("04/12/2026"));
    broken.replace(S("xplanerigatabella"), S("vuota"));
    fetcher.page = ratePage({pageRow(S("EuRibor 1m"), S("1,986"), S("04/12/2026")), broken});
    w.Command1_Click();
    EXPECT_EQ(shell.texts(), (QStringList{S("Simbolo  EuRibor 3m  non trovato in Internet !"),
                                          S("Quotazione  EuRibor 6m  non disponibile su Internet !!!")}));
    ASSERT_EQ(w.HistCount(), 2);
    EXPECT_TRUE(w.Hist[1].unavailable);
}

TEST_F(WindowTest, TheDailyCycleRunsOnceRecordingEveryRateThePageGave) {
    writePageCopy(kThreeTenors);
    form1& v = loaded();
    v.Form_Activate();
    EXPECT_EQ(shell.texts().constLast(), S("Non trovo dati in Internet !!!"));
    EXPECT_TRUE(v.HistCount() == 0 && v.Text3->toPlainText().isEmpty() && !shell.busy);

    fetcher.page = ratesPage({{"EuRibor 1m", "1,986"}, {"EuRibor 3m", "2,064"}});
    form1& w = reloaded();
    w.show();
    QApplication::processEvents();
    EXPECT_FALSE(shell.texts().contains(S("Non trovo dati in Internet !!!")));
    EXPECT_EQ(readFile(historyPath()), "Data;Quotazione;Valuta;Note\r\n04-12-2026 - 1,9860 - EuRibor "
                                       "1m\r\n04-12-2026 - 2,0640 - EuRibor 3m\r\n");
    EXPECT_EQ(labels(), S("2,0640|04-12"));
    // Coming back to the window from elsewhere, or after one of its boxes, fetches nothing.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    w.hide();
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(fetcher.urls.size(), 2);
}

TEST_F(WindowTest, PickingATenorPutsItsLastDigitAtTheAddressEndAndTypingIsNoPick) {
    writePageCopy({S("Euribor 6"), S("EuRibor 3m 2,0")});
    form1& w = loaded();
    w.show();
    // Typing and Return, even an item's exact text, then leaving the box: no recasing, no pick.
    const QString address = w.Text1->text();
    QLineEdit* edit = w.Combo1->lineEdit();
    for (const char* typed : {"euribor 6", "Euribor 6"}) {
        SCOPED_TRACE(typed);
        edit->clear();
        QTest::keyClicks(edit, S(typed));
        QTest::keyClick(edit, Qt::Key_Return);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
        EXPECT_EQ(w.Combo1->currentText() + u'|' + w.Text1->text() + u'|' + w.txtsymbol->text(),
                  S(typed) + u'|' + address + S("|EuRibor 3m"));
    }
    for (const auto& [index, end, symbol] :
         {std::tuple{0, "lteur6", "Euribor 6"}, {1, "lteur0", "EuRibor 3m"}}) {
        SCOPED_TRACE(symbol);
        w.Combo1->setCurrentIndex(index);
        emit w.Combo1->activated(index);
        EXPECT_TRUE(w.Text1->text().endsWith(S(end))) << w.Text1->text().toStdString();
        EXPECT_EQ(w.txtsymbol->text(), S(symbol));
    }
    w.Text1->setText(S("   "));
    w.Combo1_Click();
    EXPECT_EQ(w.Text1->text(), QString());
}

TEST_F(WindowTest, ResizingStretchesThePanelTheListAndTheChart) {
    QVector<Row> rows;
    for (const char* d : {"20261201", "20261202", "20261203"})
        rows.append({S("EuRibor 3m"), S(d), 2.1, S("EuRibor 3m"), S("")});
    insertRows(dbPath(), rows);
    form1& w = loaded();
    w.Command5_Click();
    EXPECT_EQ(w.Frame2->ChartCount(), 3);
    w.show(); // a shown window gets its resize events at once
    w.resize(600, 500);
    EXPECT_EQ(twips::geometry(w.List1), twips::geometry(w.Frame2));
    EXPECT_EQ(twips::geometry(w.List1), QRect(0, 3120, 8925, 4260));
    EXPECT_EQ(w.List1->focusPolicy(), Qt::NoFocus) << "the list is covered";

    insertRows(dbPath(), {{S("EuRibor 3m"), S("20261204"), 2.2, S("EuRibor 3m"), S("")}});
    w.Command10_Click();
    EXPECT_EQ(w.List1->count(), 4);
    w.resize(300, 100); // lower than the allowance: heights stay, widths follow
    EXPECT_EQ(twips::geometry(w.List1), QRect(0, 3120, 4425, 4260));
    EXPECT_TRUE(w.Frame2->isHidden());
    EXPECT_EQ(w.List1->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(w.Frame2->ChartCount(), 3) << "no drawing while the list is shown";
    w.showMinimized();
    w.Frame2->show();
    w.Form_Resize();
    EXPECT_EQ(w.Frame2->ChartCount(), 3) << "a minimized window is not laid out";
}

// The window's own chart frame, hidden in the shown window as the load leaves it, drawn from lines.
class ChartFrameTest : public WindowTest {
protected:
    void SetUp() override {
        loaded().show();
        QApplication::processEvents(); // the activation's cycle, which finds no page
        frame = form->Frame2;
    }
    void draw(const QStringList& lines, const char* tenor = "EuRibor 3m") {
        frame->draw(chart::computeChart(frame->input(lines, S(tenor), QString(), QString())));
    }
    static QStringList lines(int count) {
        QStringList out;
        for (int i = 0; i < count; ++i)
            out << QDate(2007, 1, 2).addDays(i).toString(S("dd-MM-yyyy' - 4,1000 - EuRibor 3m'"));
        return out;
    }
    QImage picture() const { return frame->grab().toImage(); }
    // What the screen shows of the frame once pending repaints have run.
    QImage onScreen() const {
        QCoreApplication::processEvents();
        const QPoint at = frame->mapTo(form.get(), QPoint(0, 0));
        return form->screen()
            ->grabWindow(form->winId(), at.x(), at.y(), frame->width(), frame->height())
            .toImage();
    }
    ChartFrame* frame = nullptr;
};

TEST_F(ChartFrameTest, BarsStandWhereTheDrawingPutsThemInTheTemplatesColours) {
    draw({S("15-10-2007 - 4,0000 - EuRibor 3m"), S("16-10-2007 - 3,8000 - EuRibor 3m")});
    // The second bar's cover of 55%, where the chart put it.
    EXPECT_EQ(frame->Shape2(2)->place, QRect(4304, 170, 4140, 1394));
    const ChartElement* date = frame->Label3(2);
    EXPECT_GE(date->pixels().width(), QFontMetrics(date->font).horizontalAdvance(date->caption));
    // Navy where the cover hides the bar, the bar's yellow below; light yellow for a blank tenor box.
    const QPoint covered = frame->Shape1(1)->pixels().topLeft() + QPoint(5, 5),
                 below = covered + QPoint(0, 100);
    EXPECT_EQ(picture().pixelColor(covered), QColor(0, 0, 128));
    EXPECT_EQ(picture().pixelColor(below), QColor(255, 255, 0));
    twips::place(frame, 0, 3120, 6000, 2400); // the next drawing reads the frame's new size
    draw({S("15-10-2007 - 4,0000 - ")}, "  ");
    EXPECT_EQ(frame->Shape1(1)->place.width(), 6000 - 68);
    EXPECT_EQ(frame->Label3(1)->place.top(), 2400 - 180);
    EXPECT_EQ(picture().pixelColor(below), QColor(255, 255, 100));

    // At 12 bars, 45 pixels apart, each whole date still ends before the next one starts.
    twips::place(frame, 0, 3120, 8415, 2895);
    draw(lines(12));
    for (int i = 2; i <= 12; ++i) {
        const ChartElement* left = frame->Label3(i - 1);
        EXPECT_LT(QFontMetrics(left->font).horizontalAdvance(left->caption),
                  frame->Label3(i)->pixels().x() - left->pixels().x())
            << i;
    }
}

// Each drawing destroys the previous one's bars, keeps the grid and leaves the screen showing it whole.
TEST_F(ChartFrameTest, RepeatedDrawingsKeepTheDrawingOrderAndLeaveNothingBehind) {
    draw(lines(3));
    const QImage three = picture();
    EXPECT_EQ(onScreen(), three);
    draw(lines(40));
    draw(lines(40));
    EXPECT_EQ(frame->ChartCount(), 40);
    EXPECT_EQ(onScreen(), picture());
    // Every copy shown, no template; back to front: each bar under its cover, grid lines, dates, grid labels.
    const QStringList layers = {S("Shape"), S("Line1"), S("Label3"), S("Label4")};
    std::vector<qsizetype> order;
    QString previous;
    for (const ChartElement* e : frame->drawingOrder()) {
        SCOPED_TRACE(e->name().toStdString());
        order.push_back(layers.indexOf(e->array.startsWith(S("Shape")) ? S("Shape") : e->array));
        EXPECT_NE(e->index, 0);
        EXPECT_TRUE(e->array != S("Shape2") || previous == S("Shape1(%1)").arg(e->index));
        previous = e->name();
    }
    EXPECT_EQ(order.size(), 40u * 3 + 6);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    draw(lines(3));
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
    const int widgets = static_cast<int>(frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size());
    draw({S("07-12-2026 - 2,064  - EuRibor 3m"), S("08-12-2026 - 2.1    - EuRibor 3m")});
    const char* names[] = {
        "07/12/2026: 2,0640", "08/12/2026: 2,1000", "07-12-2026", "08-12-2026", "75%", "50%", "25%"};
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), S("Grafico delle quotazioni"));
    ASSERT_EQ(chart->childCount(), widgets + 7);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(names[i]);
        QAccessibleInterface* child = chart->child(widgets + i);
        EXPECT_TRUE(child && child->role() == (i < 2 ? QAccessible::Graphic : QAccessible::StaticText) &&
                    child->parent() == chart && child->text(QAccessible::Name) == S(names[i]) &&
                    chart->indexOfChild(child) == widgets + i && !child->state().invisible);
    }
    EXPECT_EQ(chart->child(widgets)->rect().topLeft(),
              frame->mapToGlobal(frame->Shape1(1)->pixels().topLeft()));
    // Seventy bars or more carry no dates: the bars and the grid labels are left.
    draw(lines(70));
    EXPECT_EQ(chart->childCount(), widgets + 73);
    EXPECT_EQ(chart->child(widgets + 70)->text(QAccessible::Name), S("75%"));
}

TEST(CommandLine, ARefusalIsOneLineNamingWhatIsWrong) {
    const QString help = S(" (vedere euribor --help)\n");
    const std::pair<const char*, QString> cases[] = {
        {"-x", S("euribor: opzione sconosciuta: -x") + help},
        {"--boh=1", S("euribor: opzione sconosciuta: --boh") + help},
        {"--aggiorna=1", S("euribor: l'opzione --aggiorna non accetta un valore") + help},
        {"--aggiorna|--provider", S("euribor: manca il valore dell'opzione --provider") + help},
        {"--aggiorna|in-piu", S("euribor: argomento non previsto: in-piu") + help},
        {"--provider|ftp://h/x",
         S("Indirizzo non valido per --provider (serve un indirizzo http o https): ftp://h/x\n")},
        {"--cartella| ", S("Cartella non valida per --cartella: indicare una cartella.\n")},
        {"--importa", S("Indicare almeno un file da importare dopo --importa.\n")},
        {"--importa|a.csv|--lacune",
         S("Usare una sola tra --aggiorna, --lacune, --importa e --imposta-indirizzo.\n")},
        {"--aggiorna|--tenore|EuRibor 3m", S("L'opzione --tenore vale solo con --lacune o --importa.\n")},
        {"--lacune|--sovrascrivi", S("L'opzione --sovrascrivi vale solo con --importa.\n")},
        {"--importa|a.csv|--silenzioso", S("L'opzione --silenzioso vale solo con --aggiorna.\n")}};
    for (const auto& [args, text] : cases) {
        SCOPED_TRACE(args);
        const CommandLine c = parseCommandLine(S("euribor|").append(S(args)).split(u'|'), S("1.0"));
        EXPECT_EQ(c.mode, CommandLine::Mode::Refused);
        EXPECT_EQ(c.text, text);
    }
    const CommandLine c = parseCommandLine(
        S("euribor|--importa|a.csv|--tenore|EuRibor 3m|b.csv|--sovrascrivi").split(u'|'), S("1.0"));
    EXPECT_EQ(c.mode, CommandLine::Mode::Import);
    EXPECT_EQ(c.files, (QStringList{S("a.csv"), S("b.csv")}));
    EXPECT_TRUE(c.overwrite && c.tenor == S("EuRibor 3m"));
}
