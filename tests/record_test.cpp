// The daily recording, the history load and list, the chosen tenor and print, through the window.

#include "vb.h"

#include "support/sqlite_files.h"
#include "support/text.h"
#include "support/window_fixture.h"

#include <QFile>

namespace {
const QStringList kCopy = {S("Dettaglio tassi Euribor"), S("EuRibor 1m    1,986  04/12/2026"),
                           S("EuRibor 3m    2,064  04/12/2026"), S("Euribor più   2,137  04/12/2026")};
const QByteArray kHeader("Data;Quotazione;Valuta;Note\r\n");
Row row(const char* type, const QVariant& date, const QVariant& quote) {
    return {S(type), date, quote, S(type), S("")};
}
QString count(int n) {
    return S("Numero records nel Database: ") + QString::number(n);
}
const QString k3mUnavailable = S("Quotazione  EuRibor 3m  non disponibile su Internet !!!");
} // namespace

class RecordTest : public WindowTest {
protected:
    RecordTest() {
        writePageCopy(kCopy);
        fetcher.page = ratesPage(
            {{"EuRibor 1m", "1,986"}, {"EuRibor 3m", "2,064"}, {"EURIBOR PIÙ", "2,137", "03/12/2026"}});
    }
    form1& fetched() {
        form1& w = loaded();
        w.Command1_Click();
        return w;
    }
    QString csvPath() const { return folderFile(S("Storico_Euribor.CSV")); }
    QStringList listed() const { return form->List1->lines(); }
};

TEST_F(RecordTest, BothFilesGetTheDayInWindows1252AndTheListReadsItBack) {
    writeFile(historyPath(), kHeader + "vecchia riga\r\n");
    form1& w = fetched();
    w.RecordToday();
    EXPECT_TRUE(shell.boxes.isEmpty()) << shell.texts().join(u'|').toStdString();
    const QByteArray day = "04-12-2026 - 1,9860 - EuRibor 1m\r\n04-12-2026 - 2,0640 - EuRibor 3m\r\n"
                           "03-12-2026 - 2,1370 - Euribor pi\xf9\r\n";
    EXPECT_EQ(readFile(historyPath()), kHeader + "vecchia riga\r\n" + day);
    EXPECT_EQ(readFile(csvPath()), kHeader + "04/12/2026;1,9860;EuRibor 1m;\r\n"
                                             "04/12/2026;2,0640;EuRibor 3m;\r\n"
                                             "03/12/2026;2,1370;Euribor pi\xf9;\r\n");
    EXPECT_EQ(rowTexts(dbPath()).constLast(), S("Euribor più|20261203|2.137|Euribor più|"));
    EXPECT_EQ(w.lblQuote->text(), S("2,1370"));

    // The list reads the chosen tenor's lines back from the file.
    w.Frame2->show();
    w.ReadHistoryFile();
    EXPECT_TRUE(w.Frame2->isHidden());
    EXPECT_EQ(listed(), QStringList{S("04-12-2026 - 2,0640 - EuRibor 3m")});

    w.Text2->setText(QString());
    w.ReadHistoryFile();
    EXPECT_EQ(shell.texts().constLast(),
              S("Errore lettura Storico Quotazioni - Nome o numero di file non valido\r\n\r\n"));
    EXPECT_EQ(w.List1->count(), 0);
}

TEST_F(RecordTest, AHistoryFileThatCannotBeWrittenStopsAfterOneMessage) {
    const std::tuple<const char*, const char*, QByteArray> cases[] = {
        {"storico.CSV", "File già aperto", kHeader},
        {"manca/Storico.TXT", "Impossibile trovare il percorso", QByteArray()}};
    for (const auto& [name, reason, content] : cases) {
        SCOPED_TRACE(name);
        form1& w = reloaded();
        w.Command1_Click();
        const QString path = folderFile(S(name));
        w.Text2->setText(S("  ") + path + S(" "));
        w.RecordToday();
        EXPECT_EQ(shell.texts(), QStringList{S("Errore in registrazione Storico Quotazioni - ") + S(reason) +
                                             S("\r\n\r\n") + path});
        EXPECT_EQ(readFile(path), content);
        EXPECT_TRUE(allRows(dbPath()).isEmpty());
    }
}

// The start-up cycle's box about the chosen tenor shows over the previous tenor's rate.
TEST_F(RecordTest, ARateThePageDidNotGiveIsNeverRecordedNorShown) {
    insertRows(dbPath(), {row("EuRibor 3m", S("20261204"), 2.05)});
    fetcher.page = ratesPage({{"EuRibor 1m", "1,986"}, {"EuRibor 3m", "n.d."}, {"Euribor più", "2,137"}});
    QString shownUnderBox;
    shell.onBox = [&](const FakeShell::Box&) { shownUnderBox = window().lblQuote->text(); };
    form1& w = fetched();
    EXPECT_EQ(shownUnderBox, S("1,9860"));
    shell.onBox = nullptr;
    w.Form_Activate();
    EXPECT_EQ(labels(), S("|"));
    const QStringList said = shell.texts();
    EXPECT_TRUE(!said.isEmpty() && said.count(k3mUnavailable) == said.size())
        << said.join(u'|').toStdString();
    EXPECT_EQ(rowTexts(dbPath()).first(2), (QStringList{S("EuRibor 3m|20261204|2.05|EuRibor 3m|"),
                                                        S("EuRibor 1m|20261204|1.986|EuRibor 1m|")}));
    EXPECT_FALSE(readFile(historyPath()).contains("EuRibor 3m"));

    // "Registra" without a rate on show, or without a history file, records nothing.
    const std::pair<const char*, const char*> labelsAndFiles[] = {
        {"  ", "Premere prima il Pulsante Aggiorna Quotazione !!!"},
        {"-1", "Quotazione non disponibile su Internet !!!"},
        {"2,0640", "Indicare il nome del file Storico Quotazione !!!"}};
    w.Hist.clear();
    w.Text2->setText(S(" "));
    for (const auto& [label, text] : labelsAndFiles) {
        SCOPED_TRACE(label);
        shell.boxes.clear();
        w.lblQuote->setText(S(label));
        w.RecordToday();
        EXPECT_EQ(shell.texts(), QStringList{S(text)});
    }
    EXPECT_EQ(allRows(dbPath()).size(), 3);
}

TEST_F(RecordTest, AnUnreadableRecordIsNamedOnceAndAfterElencoTheOthersAreRecordedAgain) {
    insertRows(dbPath(), {row("EuRibor 3m", S("20261201"), 4.0), row("EuRibor 3m", S("20261202"), QVariant()),
                          row("EuRibor 1m", S("20261202"), 1.5), row("EuRibor 3m", S("20261203"), 2.1)});
    form1& w = loaded();
    w.Command10_Click();
    w.Combo1_Click();
    EXPECT_EQ(shell.texts(),
              QStringList{S("Errore in lettura file di input  ERR=94 - Utilizzo non valido di Null\r\n\r\n"
                            "Record non letto: EuRibor 3m  02/12/2026")});
    EXPECT_EQ(w.HistCount() + w.List1->count(), 4);
    EXPECT_EQ(w.Label15->text(), count(3));
    w.lblQuote->setText(S("4,000"));
    w.Command10_Click();
    w.RecordToday();
    EXPECT_EQ(readFile(historyPath()), kHeader + "01-12-2026 - 4,000 - EuRibor 3m\r\n02-12-2026 - 1,500 - "
                                                 "EuRibor 1m\r\n03-12-2026 - 2,100 - EuRibor 3m\r\n");
}

TEST_F(RecordTest, AMissingTableOffersRetryAndCancelAndAMissingDatabaseEndsTheProgram) {
    execOn(dbPath(), S("DROP TABLE Storico_Euribor"));
    shell.answers = {Shell::Answer::Retry, Shell::Answer::Cancel};
    form1& w = loaded();
    ASSERT_EQ(shell.boxes.size(), 2);
    EXPECT_EQ(shell.boxes[0].buttons, Shell::Buttons::RetryCancel);
    EXPECT_EQ(shell.boxes[0].text,
              S("Errore manca Tabella:  Storico_Quotazioni\r\n\r\nDatabase Server assente o "
                "scollegato !\r\n\r\nImpossibile trovare la tabella di input o la query"));
    EXPECT_EQ(w.Label15->text(), count(0));

    QFile::remove(dbPath());
    const qsizetype asked = fetcher.urls.size() + connection.queries;
    reloaded().Form_Activate();
    EXPECT_TRUE(shell.ended);
    EXPECT_EQ(fetcher.urls.size() + connection.queries, asked) << "neither fetched nor asked";
    ASSERT_EQ(shell.boxes.size(), 1);
    EXPECT_EQ(shell.boxes[0].icon, Shell::Icon::Critical);
    EXPECT_EQ(shell.boxes[0].text,
              S("ERRORE IN APERTURA DATABASE !!!\r\r3024 - Impossibile trovare il file del database\r\r") +
                  dbPath());
    EXPECT_FALSE(QFile::exists(dbPath()));
}

TEST_F(RecordTest, TheChosenTenorShowsItsLatestEntryAndNeverAnotherOrAMadeUpRate) {
    form1& w = loaded();
    const std::tuple<double, const char*, bool, const char*> shown[] = {
        {2.345, "20080512", false, "2,3450|12-05"},
        {2.0, "20080513", false, "2,000|13-05"},
        {-100.0, "20080514", false, "-100,0|14-05"},
        {0.0, "20080515", false, "0,000|15-05"},
        {-1.0, "20080516", false, "|"},
        {0.0, "20261204", true, "|"}}; // the last: a cell without a rate
    for (const auto& [quote, date, unavailable, label] : shown) {
        SCOPED_TRACE(label);
        shell.boxes.clear();
        w.Hist = {HistEntry{S("EuRibor 1m"), S("20010101"), 9.0, {}, {}, false},
                  HistEntry{S("EuRibor 3m"), S(date), quote, {}, {}, unavailable}};
        w.Command7_Click();
        EXPECT_EQ(labels(), S(label));
        EXPECT_EQ(shell.texts(), *label == '|' ? QStringList{k3mUnavailable} : QStringList());
    }
    w.Hist.append(HistEntry{S("EuRibor 3m"), S("20080601"), 3.5, {}, {}, false});
    w.Command7_Click();
    EXPECT_EQ(w.lblQuote->text(), S("3,500"));
    w.Combo1->setEditText(S("euribor 3m"));
    w.Command7_Click();
    EXPECT_EQ(labels(), S("|")) << "another letter case is another tenor";
}

TEST_F(RecordTest, LoadAndTheDailyCycleListTheChosenTenorAndCountEveryRecord) {
    insertRows(dbPath(), {row("EuRibor 3m", S("20261202"), 2.0), row("EuRibor 1m", S("20261201"), 1.5),
                          row("EuRibor 3m", S("20071015"), 4.1), row("EuRibor 3m", QVariant(), 3.0),
                          row("EuRibor 3m", S("20261210"), 2.2)});
    form1& w = loaded();
    EXPECT_EQ(w.Label15->text(), count(5));
    EXPECT_EQ(listed(),
              (QStringList{S("15-10-2007 - 4,1000 - EuRibor 3m"), S("02-12-2026 - 2,0000 - EuRibor 3m"),
                           S("10-12-2026 - 2,2000 - EuRibor 3m")}));
    EXPECT_TRUE(w.Command1->isEnabled() && w.Command4->isEnabled());
    EXPECT_GE(shell.beeps, 1);

    // The day recorded lands before a later one: the lines after it change too.
    w.Form_Activate();
    EXPECT_TRUE(shell.boxes.isEmpty()) << shell.texts().join(u'|').toStdString();
    EXPECT_EQ(w.Label15->text(), count(8));
    EXPECT_EQ(listed(),
              (QStringList{S("15-10-2007 - 4,1000 - EuRibor 3m"), S("02-12-2026 - 2,0000 - EuRibor 3m"),
                           S("04-12-2026 - 2,0640 - EuRibor 3m"), S("10-12-2026 - 2,2000 - EuRibor 3m")}));
    EXPECT_EQ(labels(), S("2,0640|04-12"));

    // "Elenco" lists anew: nothing stays chosen.
    w.List1->setCurrentRow(2);
    w.Command10_Click();
    EXPECT_EQ(listed().size(), 4);
    EXPECT_EQ(w.List1->currentRow(), -1);
    EXPECT_FALSE(w.List1->selectionModel()->hasSelection());

    w.Combo1->setCurrentIndex(0);
    w.Combo1_Click();
    EXPECT_EQ(w.lblQuote->text(), S("1,9860"));
    EXPECT_EQ(listed(),
              (QStringList{S("01-12-2026 - 1,5000 - EuRibor 1m"), S("04-12-2026 - 1,9860 - EuRibor 1m")}));
    w.Combo1->setEditText(S("EuRibor 9m"));
    w.Command10_Click();
    EXPECT_EQ(w.List1->count(), 0);
    EXPECT_EQ(w.Label15->text(), count(8));
}

TEST_F(RecordTest, FileChoicesStartInTheProgramFolderAndStampaPrintsTheWindow) {
    form1& w = loaded();
    shell.nextFile = S("  /dati/storico.txt ");
    w.Command3_Click();
    shell.nextFile = S("/dati/cambi.txt");
    w.Command9_Click();
    shell.nextFile.clear(); // a cancelled choice keeps the name
    w.Command3_Click();
    EXPECT_EQ(w.Text2->text() + u'|' + w.Text4->text(), S("/dati/storico.txt|/dati/cambi.txt"));
    EXPECT_EQ(shell.dialogFolders, QStringList(3, dir.path()));

    shell.pdfPath = folderFile(S("stampa.pdf"));
    w.Command11_Click();
    ASSERT_EQ(shell.printed.size(), 1);
    EXPECT_EQ(shell.printed[0].size(), w.size());
    EXPECT_TRUE(readFile(shell.pdfPath).startsWith("%PDF"));
    EXPECT_FALSE(shell.busy);
}
