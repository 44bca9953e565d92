// The import of official exchange rates: parsing, and through the window on real SQLite files.

#include "exchange_import.h"
#include "vb.h"

#include "support/sqlite_files.h"
#include "support/text.h"
#include "support/window_fixture.h"

using namespace exchange;

// Only a record with a real day and a number in its rate field holds a rate to store.
TEST(ExchangeImport, RecordsAreCutAtTheCommasAndTheSecondLineNamesTheCurrency) {
    // A record as "date|note|rate|holds a rate".
    const std::pair<const char*, const char*> records[] = {
        {"  05/12/2026,1.2345,abc  ", "20261205|abc|1.2345|1"},
        {"05/12/2026, 1 .5x,n", "20261205|n|1.5|1"},
        {"05/12/2026,.5,", "20261205||0.5|1"},
        {"05/12/2026,1.2345", "20261205|1.2345|0|0"},
        {",1.5,x", "|,1.5,x|0|0"},
        {"5/12/2026,1,x", "20262/5/|x|1|0"},
        {"31/02/2026,1,x", "20260231|x|1|0"},
        {"05/12/2026,n.d.,x", "20261205|x|0|0"},
        {"05/12/2026,-,x", "20261205|x|0|0"}};
    for (const auto& [text, record] : records) {
        SCOPED_TRACE(text);
        const Record r = parseRecord(S(text));
        EXPECT_EQ(
            QStringList({r.date, r.note, QString::number(r.rate), QString::number(r.holdsRate)}).join(u'|'),
            S(record));
    }

    // A file with LF ends reaches the parse as one line of Line Input.
    const File lf = parseFile({S("Cambi ufficiali\nValuta selezionata:  dollaro usa \nData,Cambio,Note\n"
                                 "05/12/2026,1.05,a\n\n06/12/2026,1.06,b")});
    const File crlf =
        parseFile({S("Cambi ufficiali"), S("Valuta selezionata:  dollaro usa "), S("Data,Cambio,Note"),
                   S("05/12/2026,1.05,a"), S("   "), S("06/12/2026,1.06,b")});
    for (const File& f : {lf, crlf}) {
        EXPECT_EQ(f.currencyName, S("DOLLARO USA"));
        EXPECT_EQ(f.records, (QStringList{S("05/12/2026,1.05,a"), S("06/12/2026,1.06,b")}));
    }
    const File noHeader = parseFile({S("t"), S("Currency: USD"), S("h"), S("05/12/2026,1,x")});
    EXPECT_TRUE(noHeader.currencyName.isEmpty() && noHeader.records.size() == 1);
    EXPECT_EQ(currencyKey(S("CORONA SVEDESE NUOVA")), S("CORONA SVEDES"));
}

class ImportTest : public WindowTest {
protected:
    ImportTest() {
        window().Form_Load();
        shell.boxes.clear();
    }
    void importFile(const QString& path, const QByteArray& bytes = {}) {
        if (!bytes.isNull())
            writeFile(path, bytes);
        form->Text4->setText(S(" ") + path + S(" "));
        form->Command8_Click();
    }
    // An import of the lines given after a title and a header around the currency's name.
    void importLines(const char* currency, const QStringList& records) {
        importFile(
            folderFile(S("cambi.txt")),
            cp1252Lines(QStringList{S("t"), S("VALUTA SELEZIONATA: ") + S(currency), S("h")} + records));
    }
};

TEST_F(ImportTest, ImportingAgainKeepsOneRecordPerDayReloadsTheHistoryAndAnApostropheIsAnyCharacter) {
    form1& w = *form;
    w.Combo1->setEditText(S("STERLINA"));
    importLines("Sterlina", {S("04/12/2026,0.85,a")});
    w.Frame2->show();
    importLines("Sterlina", {S("04/12/2026,0.86,b"), S("05/12/2026,0.87,c")});
    EXPECT_TRUE(w.Frame2->isHidden());
    ASSERT_EQ(w.HistCount() + w.List1->count(), 4);
    EXPECT_EQ(w.List1->text(1), S("05-12-2026 - 0,8700 - STERLINA"));
    EXPECT_FALSE(shell.busy);
    importLines("Dollaro dell'Est", {S("04/12/2026,1.5,")});
    EXPECT_TRUE(shell.boxes.isEmpty()) << shell.texts().join(u'|').toStdString();
    EXPECT_EQ(rowTexts(dbPath()),
              (QStringList{S("STERLINA|20261204|0.86|STERLINA|b"), S("STERLINA|20261205|0.87|STERLINA|c"),
                           S("DOLLARO DELL'|20261204|1.5|DOLLARO DELL'EST|")}));
}

TEST_F(ImportTest, FailuresAreReportedAndTheHistoryStillReloads) {
    importFile(S(" "));
    const QString missing = folderFile(S("manca.txt"));
    importFile(missing);
    EXPECT_EQ(shell.texts(),
              (QStringList{S("Indicare il nome del file Storico Cambi Ufficiali !!!"),
                           S("Storico Cambi Ufficiali non trovato - Impossibile trovare il file\r\n\r\n") +
                               missing}));

    // A real file ends with a footer: its lines hold no rate and are counted, not stored as rate 0.
    shell.boxes.clear();
    importLines("Yen", {S("01/12/2026,160,a"), S("02/12/2026,n.d.,festivo"), S(""),
                        S("Fonte: elaborazione su dati ufficiali, aggiornamento giornaliero"),
                        S("N.B. i cambi del 25/12/2026 non sono rilevati")});
    EXPECT_EQ(rowTexts(dbPath()), QStringList{S("YEN|20261201|160|YEN|a")});
    EXPECT_EQ(shell.texts(),
              QStringList{S("Righe senza una data o un cambio leggibili, non importate: 3\r\n\r\n"
                            "La prima: 02/12/2026,n.d.,festivo")});

    shell.boxes.clear();
    execOn(dbPath(), S("DELETE FROM Storico_Euribor"));
    importFile(folderFile(S("vuoto.txt")), QByteArray(""));
    EXPECT_TRUE(shell.boxes.isEmpty());
    EXPECT_EQ(form->Label15->text(), S("Numero records nel Database: 0"));
    EXPECT_FALSE(shell.busy);

    execOn(dbPath(),
           S("CREATE TRIGGER no2 BEFORE INSERT ON Storico_Euribor WHEN NEW.Data_Valuta = '20261202' "
             "BEGIN SELECT RAISE(ROLLBACK, 'no'); END"));
    importLines("Yen", {S("01/12/2026,160,a"), S("02/12/2026,161,b"), S("03/12/2026,162,c")});
    EXPECT_EQ(shell.texts(), QStringList{dbRefusedText("YEN", "20261202")});
    EXPECT_EQ(rowTexts(dbPath()), QStringList{S("YEN|20261201|160|YEN|a")});
}
