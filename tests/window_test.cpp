// The main window: its design, the load sequence, the tenor pick and the activation cycle; and the
// command line that starts it.

#include "command_line.h"
#include "runtime_error.h"
#include "twips.h"

#include "support/text.h"
#include "support/window_fixture.h"

#include <QApplication>
#include <QTest>

TEST_F(WindowTest, ControlsStandAtTheirDesignPlacesWithTheirCaptions) {
    form1& w = window();
    EXPECT_EQ(w.size(), QSize(twips::toPixels(8490), twips::toPixels(6135)));
    EXPECT_EQ(twips::geometry(w.Combo1), QRect(2550, 300, 5685, 315));
    EXPECT_EQ(twips::geometry(w.List1), QRect(0, 3120, 8415, 2205));
    EXPECT_EQ(twips::geometry(w.Frame2), QRect(0, 3120, 8415, 2895));
    EXPECT_EQ(w.Label15->text() + w.Label1[3]->text(), S("Numero records nel Database: 0 a data:"));

    w.show();
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{w.Command1, w.Command2, w.Command4, w.Command6, w.Command7,
                                         w.Command8, w.Command9, w.Text4, w.Label5, w.Text3})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
}

TEST_F(WindowTest, LoadSetsTheDefaultsAndTheTenorList) {
    // A copy that names no tenor, missing, or too large to be read: nothing can be recorded.
    const QString copy = folderFile(S("Euribor_PORTALEDATI.txt"));
    const std::pair<QByteArray, const char*> copies[] = {
        {"Dettaglio tassi Euribor\r\nnient'altro\r\n", nullptr},
        {QByteArray(), nullptr},
        {"EuRibor 3m 2,064\r\n" + QByteArray(1024 * 1024, ' '),
         "Il file %1 supera 1 MiB e non viene letto."}};
    for (const auto& [content, tooLarge] : copies) {
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
    ASSERT_EQ(v.Combo1->count(), 3);
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
        edit->clear();
        QTest::keyClicks(edit, S(typed));
        QTest::keyClick(edit, Qt::Key_Return);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
        EXPECT_EQ(w.Combo1->currentText() + u'|' + w.Text1->text() + u'|' + w.txtsymbol->text(),
                  S(typed) + u'|' + address + S("|EuRibor 3m"));
    }

    const std::pair<const char*, const char*> picks[] = {{"lteur6", "Euribor 6"}, {"lteur0", "EuRibor 3m"}};
    for (int i = 0; i < 2; ++i) {
        w.Combo1->setCurrentIndex(i);
        emit w.Combo1->activated(i);
        EXPECT_TRUE(w.Text1->text().endsWith(S(picks[i].first))) << w.Text1->text().toStdString();
        EXPECT_EQ(w.txtsymbol->text(), S(picks[i].second));
    }
    w.Text1->setText(S("   "));
    w.Combo1_Click();
    EXPECT_EQ(w.Text1->text(), QString());
}

TEST_F(WindowTest, ResizingStretchesThePanelTheListAndTheChart) {
    form1& w = loaded();
    auto fillList = [&](int n) {
        QStringList lines = w.List1->lines();
        for (int i = 1; i <= n; ++i)
            lines.append(QStringLiteral("0%1-12-2026 - 2,0640 - EuRibor 3m").arg(i));
        w.List1->setLines(lines);
    };
    fillList(3);
    w.Command5_Click();
    ASSERT_EQ(w.Frame2->ChartCount(), 3);

    w.show(); // a shown window gets its resize events at once
    w.resize(600, 500);
    EXPECT_EQ(w.outerSizeTwips(), QSize(9130, 7960));
    EXPECT_EQ(twips::geometry(w.Frame1).width(), 8925);
    EXPECT_EQ(twips::geometry(w.List1), twips::geometry(w.Frame2));
    EXPECT_EQ(twips::geometry(w.List1), QRect(0, 3120, 8925, 4260));
    EXPECT_EQ(w.Frame2->Label3(1)->place.top(), 4260 - 180);
    EXPECT_EQ(w.List1->focusPolicy(), Qt::NoFocus) << "the list is covered";

    w.Command10_Click();
    fillList(4);
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
        const CommandLine c = parseCommandLine(QStringList{S("euribor")} + args, S("1.0"));
        EXPECT_EQ(c.mode, CommandLine::Mode::Refused) << args.join(u' ').toStdString();
        EXPECT_EQ(c.text, S(text));
    }
    const CommandLine c = parseCommandLine({S("euribor"), S("--importa"), S("a.csv"), S("--tenore"),
                                            S("EuRibor 3m"), S("b.csv"), S("--sovrascrivi")},
                                           S("1.0"));
    EXPECT_EQ(c.mode, CommandLine::Mode::Import);
    EXPECT_EQ(c.files, (QStringList{S("a.csv"), S("b.csv")}));
    EXPECT_TRUE(c.overwrite && c.tenor == S("EuRibor 3m"));
}
