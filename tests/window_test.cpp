// The main window: its design, the load sequence, the tenor pick, the activation cycle and the chart
// in its frame; and the command line that starts it.

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

namespace {

// Records of EuRibor 3m from 01-12-2026 on, one a day, inside the window's default date range.
QVector<Row> days(int count) {
    QVector<Row> rows;
    for (int i = 0; i < count; ++i)
        rows.append({S("EuRibor 3m"), QDate(2026, 12, 1).addDays(i).toString(S("yyyyMMdd")), 2.1,
                     S("EuRibor 3m"), S("")});
    return rows;
}

} // namespace

TEST_F(WindowTest, ControlsStandAtTheirDesignPlacesWithTheirCaptions) {
    form1& w = window();
    EXPECT_EQ(w.size(), QSize(twips::toPixels(8490), twips::toPixels(6135)));
    EXPECT_EQ(w.Label15->text() + w.Label1[3]->text(), S("Numero records nel Database: 0 a data:"));
    w.show();
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{w.Command1, w.Command2, w.Command4, w.Command6, w.Command7,
                                         w.Command8, w.Command9, w.Text4, w.Label5, w.Text3}) {
        SCOPED_TRACE(hidden->objectName().toStdString());
        EXPECT_FALSE(hidden->isVisible());
    }
}

TEST_F(WindowTest, LoadSetsTheDefaultsAndTheTenorList) {
    // A copy that names no tenor, missing, or too large to be read: nothing can be recorded.
    const QString copy = folderFile(S("Euribor_PORTALEDATI.txt"));
    const std::tuple<const char*, QByteArray, const char*> copies[] = {
        {"no tenor", "Dettaglio tassi Euribor\r\nnient'altro\r\n", nullptr},
        {"missing", QByteArray(), nullptr},
        {"over 1 MiB", "EuRibor 3m 2,064\r\n" + QByteArray(1024 * 1024, ' '),
         "Il file %1 supera 1 MiB e non viene letto."}};
    for (const auto& [name, content, tooLarge] : copies) {
        SCOPED_TRACE(name);
        QFile::remove(copy);
        if (!content.isNull())
            writeFile(copy, content);
        form1& w = reloaded();
        EXPECT_EQ(w.Combo1->count(), 0);
        EXPECT_EQ(w.Combo1->currentText(), S("EuRibor 3m"));
        EXPECT_EQ(shell.texts().join(u'|'),
                  (tooLarge ? S(tooLarge).arg(copy) + u'|' : QString()) +
                      S("Il file %1 manca, è vuoto o non contiene scadenze Euribor: nessuna quotazione "
                        "può essere registrata.")
                          .arg(copy));
    }
    writePageCopy(kThreeTenors);
    form1& v = reloaded();
    EXPECT_EQ(v.Text1->text(), context.pageUrl);
    EXPECT_EQ(v.Text2->text(), dir.path() + S("/Storico_Euribor.TXT"));
    EXPECT_EQ(v.txtDA_DATA->text() + u'-' + v.txtA_DATA->text(), S("01/01/2026-31/12/2026"));
    EXPECT_EQ(v.Combo1->count(), 3);
    EXPECT_EQ(v.Combo1->itemText(2), S("EuRibor 6m"));
    EXPECT_EQ(v.Combo1->currentText() + v.txtsymbol->text(), S("EuRibor 3mEuRibor 3m"));
    EXPECT_TRUE(v.Frame2->isHidden());
    EXPECT_FALSE(shell.busy);
}

TEST_F(WindowTest, Label6NamesTheConnectionKindLastFlagWinningAndOfflineLoadingGoesOn) {
    const std::pair<ConnectionInfo, const char*> cases[] = {
        {{false, 0}, "Not Connected to the Internet"},
        {{true, 0}, "Connected to the Internet"},
        {{true, ConnectionInfo::Lan}, "Connecion Via LAN"},
        {{true, ConnectionInfo::Modem}, "Connection Via Modem"},
        {{true, ConnectionInfo::Modem | ConnectionInfo::Proxy}, "Connection uses a Proxy"},
        {{true, ConnectionInfo::Modem | ConnectionInfo::ModemBusy}, "Connection Via Modem but modem is busy"},
    };
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
    EXPECT_EQ(v.HistCount(), 0);
    EXPECT_TRUE(v.Text3->toPlainText().isEmpty());
    EXPECT_FALSE(shell.busy);

    fetcher.page = ratesPage({{"EuRibor 1m", "1,986"}, {"EuRibor 3m", "2,064"}});
    form1& w = reloaded();
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(fetcher.urls.size(), 2);
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
    // Typing, Return and leaving the box: no recasing to the list's item, no pick; nor an item's exact
    // text typed and Return, which the box reports as activated.
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
    const std::tuple<int, const char*, const char*> picks[] = {{0, "lteur6", "Euribor 6"},
                                                               {1, "lteur0", "EuRibor 3m"}};
    for (const auto& [index, end, symbol] : picks) {
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
    insertRows(dbPath(), days(3));
    form1& w = loaded();
    EXPECT_EQ(w.List1->count(), 3);
    w.Command5_Click();
    EXPECT_EQ(w.Frame2->ChartCount(), 3);

    w.show(); // a shown window gets its resize events at once
    w.resize(600, 500);
    EXPECT_EQ(w.outerSizeTwips(), QSize(9130, 7960));
    EXPECT_EQ(twips::geometry(w.Frame1).width(), 8925);
    EXPECT_EQ(twips::geometry(w.List1), twips::geometry(w.Frame2));
    EXPECT_EQ(twips::geometry(w.List1), QRect(0, 3120, 8925, 4260));
    EXPECT_EQ(w.Frame2->Label3(1)->place.top(), 4260 - 180);
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
    w.Command5_Click();
    EXPECT_EQ(w.Frame2->ChartCount(), 4);
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

TEST_F(ChartFrameTest, TwoBarsStandWhereTheDrawingPutsThemInTheTemplatesColours) {
    draw({S("15-10-2007 - 4,0000 - EuRibor 3m"), S("16-10-2007 - 3,8000 - EuRibor 3m")});
    EXPECT_EQ(frame->ChartCount(), 2);
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

    // At 12 bars, 45 pixels apart, each whole date still ends before the next one starts.
    twips::place(frame, 0, 3120, 8415, 2895);
    draw(lines(12));
    for (int i = 2; i <= 12; ++i) {
        SCOPED_TRACE(i);
        const ChartElement* left = frame->Label3(i - 1);
        EXPECT_LT(QFontMetrics(left->font).horizontalAdvance(left->caption),
                  frame->Label3(i)->pixels().x() - left->pixels().x());
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
    EXPECT_EQ(frame->Shape1(41), nullptr);
    EXPECT_EQ(frame->Line1(4), nullptr);
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
    const int widgets = static_cast<int>(frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size());
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
        SCOPED_TRACE(children[i].second);
        QAccessibleInterface* child = chart->child(widgets + i);
        if (!child) {
            ADD_FAILURE() << "no such child";
            continue;
        }
        EXPECT_EQ(child->role(), children[i].first);
        EXPECT_EQ(child->text(QAccessible::Name), S(children[i].second));
        EXPECT_EQ(chart->indexOfChild(child), widgets + i);
        EXPECT_EQ(child->parent(), chart);
        EXPECT_FALSE(child->state().invisible);
    }
    EXPECT_EQ(chart->child(widgets)->rect().topLeft(),
              frame->mapToGlobal(frame->Shape1(1)->pixels().topLeft()));

    // Seventy bars or more carry no dates: the bars and the grid labels are left.
    draw(lines(70));
    EXPECT_EQ(chart->childCount(), widgets + 73);
    EXPECT_EQ(chart->child(widgets + 69)->text(QAccessible::Name), S("12/03/2007: 4,1000"));
    EXPECT_EQ(chart->child(widgets + 70)->text(QAccessible::Name), S("75%"));
}

TEST(CommandLine, ARefusalIsOneLineNamingWhatIsWrong) {
    const std::pair<QStringList, const char*> cases[] = {
        {{S("--boh=1")}, "euribor: opzione sconosciuta: --boh (vedere euribor --help)\n"},
        {{S("-x")}, "euribor: opzione sconosciuta: -x (vedere euribor --help)\n"},
        {{S("--aggiorna=1")},
         "euribor: l'opzione --aggiorna non accetta un valore (vedere euribor --help)\n"},
        {{S("--aggiorna"), S("--provider")},
         "euribor: manca il valore dell'opzione --provider (vedere euribor --help)\n"},
        {{S("--aggiorna"), S("in-piu")}, "euribor: argomento non previsto: in-piu (vedere euribor --help)\n"},
        {{S("--provider"), S("ftp://127.0.0.1/x")},
         "Indirizzo non valido per --provider (serve un indirizzo http o https): ftp://127.0.0.1/x\n"},
        {{S("--cartella"), S(" ")}, "Cartella non valida per --cartella: indicare una cartella.\n"},
        {{S("--importa")}, "Indicare almeno un file da importare dopo --importa.\n"},
        {{S("--importa"), S("a.csv"), S("--lacune")},
         "Usare una sola tra --aggiorna, --lacune, --importa e --imposta-indirizzo.\n"},
        {{S("--aggiorna"), S("--tenore"), S("EuRibor 3m")},
         "L'opzione --tenore vale solo con --lacune o --importa.\n"},
        {{S("--lacune"), S("--sovrascrivi")}, "L'opzione --sovrascrivi vale solo con --importa.\n"},
        {{S("--importa"), S("a.csv"), S("--silenzioso")},
         "L'opzione --silenzioso vale solo con --aggiorna.\n"}};
    for (const auto& [args, text] : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const CommandLine c = parseCommandLine(QStringList{S("euribor")} + args, S("1.0"));
        EXPECT_EQ(c.mode, CommandLine::Mode::Refused);
        EXPECT_EQ(c.text, S(text));
    }
    const CommandLine c = parseCommandLine({S("euribor"), S("--importa"), S("a.csv"), S("--tenore"),
                                            S("EuRibor 3m"), S("b.csv"), S("--sovrascrivi")},
                                           S("1.0"));
    EXPECT_EQ(c.mode, CommandLine::Mode::Import);
    EXPECT_EQ(c.files, (QStringList{S("a.csv"), S("b.csv")}));
    EXPECT_TRUE(c.overwrite && c.tenor == S("EuRibor 3m"));
}
