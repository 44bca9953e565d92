// The import of official exchange rates: parsing, and through the window on real SQLite files.

#include "exchange_import.h"
#include "vb.h"

#include "support/sqlite_files.h"
#include "support/window_fixture.h"

using namespace exchange;

namespace {
QString S(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

TEST(ExchangeRecord, DateRateAndNoteAreCutAtTheCommas) {
    const Record r = parseRecord(S("  05/12/2026,1.2345,abc  "));
    EXPECT_EQ(r.date, S("20261205"));
    EXPECT_DOUBLE_EQ(r.rate, 1.2345);
    EXPECT_EQ(r.note, S("abc"));

    const Record noSecond = parseRecord(S("05/12/2026,1.2345"));
    EXPECT_EQ(noSecond.date, S("20261205"));
    EXPECT_DOUBLE_EQ(noSecond.rate, 0.0);
    EXPECT_EQ(noSecond.note, S("1.2345"));

    const Record leading = parseRecord(S(",1.5,x"));
    EXPECT_EQ(leading.date, QString());
    EXPECT_DOUBLE_EQ(leading.rate, 0.0);
    EXPECT_EQ(leading.note, S(",1.5,x"));

    EXPECT_EQ(parseRecord(S("5/12/2026,1,x")).date, S("20262/5/")) << "dates are not validated";
    EXPECT_DOUBLE_EQ(parseRecord(S("05/12/2026, 1 .5x,n")).rate, 1.5);
}

TEST(ExchangeFile, PartsSplitAtEveryLineFeedAndTheSecondNamesTheCurrency) {
    const QStringList lf = {
        S("Cambi ufficiali\nValuta selezionata:  dollaro usa \nData,Cambio,Note\n05/12/2026,1.05,a\n"
          "\n06/12/2026,1.06,b")};
    const File f = parseFile(lf);
    EXPECT_EQ(f.currencyName, S("DOLLARO USA"));
    EXPECT_EQ(f.records, (QStringList{S("05/12/2026,1.05,a"), S("06/12/2026,1.06,b")}));

    const QStringList crlf = {S("Cambi ufficiali"),
                              S("Valuta selezionata:  dollaro usa "),
                              S("Data,Cambio,Note"),
                              S("05/12/2026,1.05,a"),
                              S("   "),
                              S("06/12/2026,1.06,b")};
    EXPECT_EQ(parseFile(crlf).records, f.records);
    EXPECT_EQ(parseFile(crlf).currencyName, f.currencyName);

    const File noHeader = parseFile({S("t"), S("Currency: USD"), S("h"), S("05/12/2026,1,x")});
    EXPECT_EQ(noHeader.currencyName, QString());
    EXPECT_EQ(noHeader.records.size(), 1);
    EXPECT_TRUE(parseFile({}).records.isEmpty());
    EXPECT_EQ(currencyKey(S("CORONA SVEDESE NUOVA")), S("CORONA SVEDES"));
}

class ImportTest : public WindowTest {
protected:
    form1& loaded() {
        form1& w = window();
        w.Form_Load();
        shell.boxes.clear();
        return w;
    }
    void importFile(const QByteArray& bytes) {
        const QString path = folderFile(S("cambi.txt"));
        writeFile(path, bytes);
        form1& w = loaded();
        w.Text4->setText(S(" ") + path + S(" "));
        w.Command8_Click();
    }
    QStringList stored() {
        QStringList out;
        for (const Row& r : allRows(dbPath()))
            out.append(r.type.toString() + u'|' + r.date.toString() + u'|' +
                       QString::number(r.quote.toDouble()) + u'|' + r.descr.toString() + u'|' +
                       r.note.toString());
        return out;
    }
};

TEST_F(ImportTest, CrLfAndLfFilesImportTheSameRecords) {
    const QStringList lines = {S("Cambi ufficiali di riferimento"), S("VALUTA SELEZIONATA: Franco svizzero"),
                               S("Data,Cambio,Note"), S("04/12/2026,0.9371,"),
                               S("05/12/2026,0.9402,festivo")};
    importFile(cp1252Lines(lines, false));
    const QStringList crlf = stored();
    EXPECT_EQ(crlf, (QStringList{S("FRANCO SVIZZE|20261204|0.9371|FRANCO SVIZZERO|"),
                                 S("FRANCO SVIZZE|20261205|0.9402|FRANCO SVIZZERO|festivo")}));
    EXPECT_TRUE(shell.boxes.isEmpty());

    execOn(dbPath(), S("DELETE FROM Storico_Euribor"));
    form.reset();
    importFile(vb::toCp1252(lines.join(u'\n') + u'\n'));
    EXPECT_EQ(stored(), crlf);
}

TEST_F(ImportTest, ImportingTwiceKeepsOneRecordPerDayWithTheNewValues) {
    importFile(cp1252Lines({S("t"), S("VALUTA SELEZIONATA: Sterlina"), S("h"), S("04/12/2026,0.85,a")}));
    form.reset();
    importFile(cp1252Lines({S("t"), S("VALUTA SELEZIONATA: Sterlina"), S("h"), S("04/12/2026,0.86,b")}));
    EXPECT_EQ(stored(), QStringList{S("STERLINA|20261204|0.86|STERLINA|b")});
}

TEST_F(ImportTest, ACurrencyWithAnApostropheImportsLikeAnyOther) {
    importFile(
        cp1252Lines({S("t"), S("VALUTA SELEZIONATA: Dollaro dell'Est"), S("h"), S("04/12/2026,1.5,")}));
    EXPECT_TRUE(shell.boxes.isEmpty()) << shell.texts().join(u'|').toStdString();
    EXPECT_EQ(stored(), QStringList{S("DOLLARO DELL'|20261204|1.5|DOLLARO DELL'EST|")});
}

TEST_F(ImportTest, AfterTheImportTheHistoryIsReloadedAndListed) {
    form1& w = loaded();
    w.Combo1->setEditText(S("STERLINA"));
    w.Frame2->show();
    const QString path = folderFile(S("cambi.txt"));
    writeFile(path, cp1252Lines({S("t"), S("VALUTA SELEZIONATA: Sterlina"), S("h"), S("04/12/2026,0.85,a"),
                                 S("05/12/2026,0.86,b")}));
    w.Text4->setText(path);
    w.Command8_Click();
    EXPECT_TRUE(w.Frame2->isHidden());
    EXPECT_EQ(w.HistCount(), 2);
    ASSERT_EQ(w.List1->count(), 2);
    EXPECT_EQ(w.List1->item(1)->text(), S("05-12-2026 - 0,8600 - STERLINA"));
    EXPECT_FALSE(shell.busy);
}

TEST_F(ImportTest, FailuresAreReportedAndTheHistoryStillReloads) {
    form1& w = loaded();
    w.Text4->setText(S("  "));
    w.Command8_Click();
    EXPECT_EQ(shell.texts(), QStringList{S("Indicare il nome del file Storico Cambi Ufficiali !!!")});

    shell.boxes.clear();
    const QString missing = folderFile(S("manca.txt"));
    w.Text4->setText(missing);
    w.Command8_Click();
    EXPECT_EQ(shell.texts(),
              QStringList{S("Storico Cambi Ufficiali non trovato - Impossibile trovare il file\r\n\r\n") +
                          missing});

    shell.boxes.clear();
    writeFile(folderFile(S("vuoto.txt")), QByteArray());
    w.Text4->setText(folderFile(S("vuoto.txt")));
    w.Command8_Click();
    EXPECT_TRUE(shell.boxes.isEmpty());
    EXPECT_TRUE(allRows(dbPath()).isEmpty());
    EXPECT_EQ(w.Label15->text(), S("Numero records nel Database: 0"));
    EXPECT_FALSE(shell.busy);
}

TEST_F(ImportTest, ARefusedRecordStopsTheImportKeepingTheRecordsBefore) {
    const QString path = folderFile(S("cambi.txt"));
    writeFile(path, cp1252Lines({S("t"), S("VALUTA SELEZIONATA: Yen"), S("h"), S("01/12/2026,160,a"),
                                 S("02/12/2026,161,b"), S("03/12/2026,162,c")}));
    form1& w = loaded();
    execOn(dbPath(),
           S("CREATE TRIGGER no2 BEFORE INSERT ON Storico_Euribor WHEN NEW.Data_Valuta = '20261202' "
             "BEGIN SELECT RAISE(ROLLBACK, 'no'); END"));
    w.Text4->setText(path);
    w.Command8_Click();
    EXPECT_EQ(shell.texts(),
              QStringList{S("Errore registrazione su DataBase Scrittura sul database non "
                            "riuscita\r\n\r\nselect * from Storico_Euribor where  Tipo_Valuta = "
                            "'YEN' and  Data_Valuta = '20261202'")});
    EXPECT_EQ(stored(), QStringList{S("YEN|20261201|160|YEN|a")});
}
