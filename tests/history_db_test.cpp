// The history database on real SQLite files, and the text forms of a recorded rate.

#include "history_db.h"
#include "history_lines.h"

#include "support/fakes.h"
#include "support/sqlite_files.h"
#include "support/text.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
HistEntry entry(const char* type, const char* date, double quote, const char* descr = "") {
    return HistEntry{S(type), S(date), quote, S(descr), {}, false};
}
Row row(const QVariant& type, const QVariant& date, const QVariant& quote, const char* note = "") {
    return {type, date, quote, S(""), S(note)};
}
// A load as "type|date|quote|descr|note" lines.
QStringList texts(HistoryDb& db) {
    QStringList out;
    for (const HistEntry& e : db.load().entries)
        out.append(QStringList{e.type, e.date, QString::number(e.quote), e.descr, e.note}.join(u'|'));
    return out;
}
} // namespace

class HistoryDbTest : public ::testing::Test {
protected:
    HistoryDbTest() {
        createHistoryDatabase(path);
        db.open(path);
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("EURIBOR.MDB"));
    HistoryDb db;
};

TEST_F(HistoryDbTest, LoadsInDateOrderThenInsertionOrderWithBlankTenorsOnlyFirstAndNoUnreadableRecord) {
    EXPECT_TRUE(texts(db).isEmpty());
    EXPECT_FALSE(db.load().readError);
    insertRows(path,
               {row(S(""), QVariant(), 1.0), row(S("EuRibor 6m"), S("20261204"), 2.1),
                row(S("EuRibor 3m"), S("20261203"), 2.0), row(S("EuRibor 1m"), S("20261204"), 1.9, "n"),
                row(S("EuRibor 3m"), QVariant(), 1.5), row(S("   "), S("20260103"), 3.0),
                row(QVariant(), S("20260104"), 4.0), row(S(" lead"), S("20260105"), 5.0),
                row(S("EuRibor 3m"), S("20260102"), QVariant()), row(S("EuRibor 1m"), S("20260102"), S(""))});
    EXPECT_EQ(texts(db), (QStringList{S("||1||"), S("EuRibor 3m||1.5||"), S("lead|20260105|5||"),
                                      S("EuRibor 3m|20261203|2||"), S("EuRibor 6m|20261204|2.1||"),
                                      S("EuRibor 1m|20261204|1.9||n")}));
    // The unreadable records are passed over and the first of them named.
    const HistoryDb::Load l = db.load();
    ASSERT_TRUE(l.readError);
    EXPECT_EQ(l.readError->number(), 94);
    EXPECT_EQ(l.readError->description(), S("Utilizzo non valido di Null"));
    EXPECT_EQ(l.readErrorType + u'|' + l.readErrorDate, S("EuRibor 3m|20260102"));
    EXPECT_EQ(l.unreadable, 2);
}

TEST_F(HistoryDbTest, EveryRecordIsLoadedBeyondTheOldLimit) {
    QVector<Row> rows;
    for (int i = 0; i < 3500; ++i)
        rows.append(row(S("EuRibor 3m"), QString::number(20000000 + i), 1.0 + i / 1000.0));
    insertRows(path, rows);
    const HistoryDb::Load l = db.load();
    EXPECT_EQ(l.entries.size(), 3500);
    EXPECT_DOUBLE_EQ(l.entries.constLast().quote, 4.499);
}

TEST_F(HistoryDbTest, StoringAPairAgainOverwritesItsOldestRecord) {
    insertRows(path, {row(S("EuRibor 3m"), S("20261203"), 1.0), row(S("EuRibor 3m"), S("20261203"), 2.0)});
    db.store(entry("EuRibor 3m", "20261204", 2.064, "EuRibor 3m"));
    db.store(entry("EuRibor 3m", "20261204", 2.07, "EuRibor 3m nuova"));
    db.store(entry("Dollaro USA'", "20261204", 1.05, "Dollaro USA'"));
    db.store(entry("Dollaro USA'", "20261204", 1.06, "Dollaro USA'"));
    db.store(entry("EuRibor 3m", "20261203", 9.0));
    EXPECT_EQ(rowTexts(path), (QStringList{S("EuRibor 3m|20261203|9||"), S("EuRibor 3m|20261203|2||"),
                                           S("EuRibor 3m|20261204|2.07|EuRibor 3m nuova|"),
                                           S("Dollaro USA'|20261204|1.06|Dollaro USA'|")}));
    EXPECT_EQ(HistoryDb::lookupQueryText(S("A'B"), S("20261204")),
              S("select * from Storico_Euribor where  Tipo_Valuta = 'A'B' and  Data_Valuta = '20261204'"));
}

TEST(HistoryDbOpen, TheDatabaseMustExistAndBeADatabase) {
    QTemporaryDir dir;
    HistoryDb db;
    const QString missing = dir.filePath(QStringLiteral("EURIBOR.MDB"));
    EXPECT_EQ(runtimeErrorOf([&] { db.open(missing); }), rt::DbFileNotFound);
    EXPECT_FALSE(QFile::exists(missing)) << "the program never creates the database";
    EXPECT_FALSE(db.isOpen());

    writeFile(missing, QByteArray(4096, 'x'));
    EXPECT_EQ(runtimeErrorOf([&] { db.open(missing); }), rt::DbUnrecognized);

    const QString noTable = dir.filePath(QStringLiteral("vuoto.mdb"));
    execOn(noTable, S("CREATE TABLE altro (x)"));
    db.open(noTable);
    EXPECT_EQ(runtimeErrorOf([&] { db.load(); }), rt::DbTableMissing);
    EXPECT_EQ(runtimeErrorOf([&] { db.store(entry("a", "b", 1)); }), rt::DbWriteFailed);

    // A table without one of the fields: no record can be read whole.
    const QString noNote = dir.filePath(QStringLiteral("senza_note.mdb"));
    execOn(noNote, S("CREATE TABLE Storico_Euribor (Tipo_Valuta TEXT, Data_Valuta TEXT, Quotazione REAL, "
                     "Descrizione TEXT)"));
    execOn(noNote, S("INSERT INTO Storico_Euribor VALUES ('EuRibor 3m', '20261204', 2.0, '')"));
    db.open(noNote);
    const HistoryDb::Load l = db.load();
    EXPECT_TRUE(l.entries.isEmpty());
    ASSERT_TRUE(l.readError);
    EXPECT_EQ(l.readError->number(), rt::DbFieldMissing);
    EXPECT_EQ(l.unreadable, 1);

    // Every page but the schema's unreadable: the query fails as a whole, and may be tried again,
    // rather than passing for a history of one bad record.
    const QString broken = dir.filePath(QStringLiteral("rotto.mdb"));
    createHistoryDatabase(broken);
    insertRows(broken, {row(S("EuRibor 3m"), S("20261204"), 2.0)});
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.size() > 4096 && file.seek(4096));
    file.write(QByteArray(file.size() - 4096, '\xff'));
    file.close();
    db.open(broken);
    EXPECT_EQ(runtimeErrorOf([&] { db.load(); }), rt::DbQueryFailed);
}

TEST(HistoryLines, RatesKeepTheirDecimalSeparatorAndTheCompanionReplacesOnlyTheExtension) {
    const QLocale it(QLocale::Italian, QLocale::Italy);
    const std::tuple<double, QLocale, const char*> rates[] = {
        {4.123, it, "4,1230"},           {4.1, it, "4,100"}, {3.98765, it, "3,9876"},
        {4.123, QLocale::c(), "4.1230"}, {4.0, it, "4,000"}, {-0.545, it, "-0,545"}};
    for (const auto& [rate, locale, text] : rates)
        EXPECT_EQ(history::fileRateText(rate, locale), S(text)) << rate;

    const std::pair<const char*, const char*> companions[] = {
        {"/home/u/Storico_Euribor.TXT", "/home/u/Storico_Euribor.CSV"},
        {"/home/u.b/hist.txt", "/home/u.b/hist.CSV"},
        {"/home/u/a.b.txt", "/home/u/a.b.CSV"},
        {"/home/u.b/storico", "/home/u.b/storico"},
        {"/home/u/.storico", "/home/u/.storico"},
        {"/home/u/.storico.txt", "/home/u/.storico.txt"},
        {"storico.csv", "storico.CSV"}};
    for (const auto& [path, companion] : companions)
        EXPECT_EQ(history::companionPath(S(path)), S(companion));
}

// The load kept between reads must always be what a fresh read of the file gives.
TEST_F(HistoryDbTest, TheKeptLoadIsAlwaysWhatAFreshReadGives) {
    // The first record is loaded even with a blank tenor, until an earlier one comes.
    insertRows(path, {row(S(""), S("20261130"), 8.0), row(S("EuRibor 3m"), S("20261201"), 2.0),
                      row(S("   "), S("20261201"), 9.0), row(S("EuRibor 1m"), S("20261202"), 1.9)});
    auto fresh = [&] {
        HistoryDb other;
        other.open(path);
        return texts(other);
    };
    ASSERT_EQ(texts(db), fresh());
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"a new day at the end", [&] { db.store(entry("EuRibor 3m", "20261204", 2.1, "EuRibor 3m")); }},
        {"the same day again", [&] { db.store(entry("EuRibor 3m", "20261204", 2.2, "altro")); }},
        {"a day in the middle", [&] { db.store(entry("EuRibor 6m", "20261201", 2.3)); }},
        {"a day before all", [&] { db.store(entry("EuRibor 6m", "20200101", 2.4)); }},
        {"a blank tenor", [&] { db.store(entry("  ", "20261205", 2.5)); }},
        {"a batch undone by SQLite",
         [&] {
             execOn(
                 path,
                 S("CREATE TRIGGER no9m BEFORE INSERT ON Storico_Euribor WHEN NEW.Tipo_Valuta = 'EuRibor 9m' "
                   "BEGIN SELECT RAISE(ROLLBACK, 'no'); END"));
             db.beginBatch();
             db.store(entry("EuRibor 1w", "20261206", 1.5));
             runtimeErrorOf([&] { db.store(entry("EuRibor 9m", "20261206", 2.6)); });
             db.commitBatch();
         }},
        {"another program's write", [&] { insertRows(path, {row(S("EuRibor 2w"), S("20261203"), 1.7)}); }},
    };
    for (const auto& [what, step] : steps) {
        step();
        EXPECT_EQ(texts(db), fresh()) << what;
    }
}

TEST_F(HistoryDbTest, AnEmptyKeyIsFoundAgainAndAClosedBatchIsNeverStoredLater) {
    db.store(HistEntry{QString(), S("20261204"), 1.0, {}, {}, false});
    db.store(HistEntry{S(""), S("20261204"), 1.5, {}, {}, false});
    db.store(HistEntry{S("YEN"), QString(), 2.0, {}, {}, false});
    db.store(HistEntry{S("YEN"), QString(), 2.5, {}, {}, false});
    EXPECT_EQ(rowTexts(path), (QStringList{S("|20261204|1.5||"), S("YEN||2.5||")}));

    // The batch is undone by the close; what it stored must not come back with the next commit.
    db.beginBatch();
    db.store(entry("EuRibor 6m", "20261204", 2.1));
    db.close();
    db.open(path);
    db.store(entry("EuRibor 1m", "20261204", 1.9));
    db.commitBatch();
    EXPECT_EQ(rowTexts(path).size(), 3);
    EXPECT_FALSE(rowTexts(path).join(u' ').contains(S("6m")));
}

// Dates with blanks around them sort otherwise in SQLite than trimmed: the load is then read again
// rather than brought up to date.
TEST_F(HistoryDbTest, TheKeptLoadFollowsSQLitesOrderOfUntrimmedDates) {
    insertRows(path, {row(S("EuRibor 3m"), S("20261204 "), 2.0), row(S("EuRibor 1m"), S("20261204"), 1.9),
                      row(S("A"), S(" 20261201"), 1.0), row(S("B"), S(" 20261230"), 1.1),
                      row(S("C"), S("20261210"), 1.2)});
    auto fresh = [&] {
        HistoryDb other;
        other.open(path);
        return texts(other);
    };
    ASSERT_EQ(texts(db), fresh());
    for (const auto& e : {entry("EuRibor 6m", "20261204", 2.1), entry("E", "20261205", 1.3),
                          entry("EuRibor 1m", "20261204", 1.8)}) {
        db.store(e);
        EXPECT_EQ(texts(db), fresh()) << e.type.toStdString();
    }
}
