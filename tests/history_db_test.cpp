// The history database on real SQLite files, and the text forms of a recorded rate.

#include "history_db.h"
#include "history_lines.h"

#include "support/fakes.h"
#include "support/sqlite_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using history::companionPath;

namespace {
QString S(const char* s) {
    return QString::fromUtf8(s);
}
const QLocale kIt(QLocale::Italian, QLocale::Italy);

HistEntry entry(const char* type, const char* date, double quote, const char* descr = "") {
    HistEntry e;
    e.type = S(type);
    e.date = S(date);
    e.quote = quote;
    e.descr = S(descr);
    return e;
}

} // namespace

class HistoryDbTest : public ::testing::Test {
protected:
    HistoryDbTest() {
        createHistoryDatabase(path);
        db.open(path);
    }
    QStringList loadedTypes() {
        QStringList out;
        for (const HistEntry& e : db.load().entries)
            out.append(e.type + u'@' + e.date);
        return out;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("EURIBOR.MDB"));
    HistoryDb db;
};

TEST_F(HistoryDbTest, AnEmptyTableLoadsNothing) {
    const HistoryDb::Load l = db.load();
    EXPECT_TRUE(l.entries.isEmpty());
    EXPECT_FALSE(l.readError);
}

TEST_F(HistoryDbTest, LoadsInDateOrderThenInsertionOrder) {
    insertRows(path, {{S("EuRibor 6m"), S("20261204"), 2.1, S("EuRibor 6m"), S("")},
                      {S("EuRibor 3m"), S("20261203"), 2.0, S("EuRibor 3m"), QVariant()},
                      {S("EuRibor 1m"), S("20261204"), 1.9, S("EuRibor 1m"), S("n")},
                      {S("EuRibor 3m"), QVariant(), 1.5, QVariant(), QVariant()}});
    EXPECT_EQ(loadedTypes(), (QStringList{S("EuRibor 3m@"), S("EuRibor 3m@20261203"),
                                          S("EuRibor 6m@20261204"), S("EuRibor 1m@20261204")}));
    const HistoryDb::Load l = db.load();
    EXPECT_DOUBLE_EQ(l.entries[3].quote, 1.9);
    EXPECT_EQ(l.entries[3].note, S("n"));
    EXPECT_TRUE(l.entries[1].note.isEmpty());
}

TEST_F(HistoryDbTest, BlankTenorsAreLoadedOnlyWhenTheyComeFirst) {
    insertRows(path, {{S(""), S("20260101"), 1.0, S(""), S("")},
                      {S("EuRibor 3m"), S("20260102"), 2.0, S(""), S("")},
                      {S("   "), S("20260103"), 3.0, S(""), S("")},
                      {QVariant(), S("20260104"), 4.0, S(""), S("")},
                      {S(" lead"), S("20260105"), 5.0, S(""), S("")}});
    EXPECT_EQ(loadedTypes(), (QStringList{S("@20260101"), S("EuRibor 3m@20260102"), S("lead@20260105")}));
}

TEST_F(HistoryDbTest, ANullRateStopsTheLoadKeepingTheEntriesBefore) {
    insertRows(path, {{S("EuRibor 3m"), S("20260101"), 1.0, S(""), S("")},
                      {S("EuRibor 3m"), S("20260102"), QVariant(), S(""), S("")},
                      {S("EuRibor 3m"), S("20260103"), 3.0, S(""), S("")}});
    const HistoryDb::Load l = db.load();
    ASSERT_EQ(l.entries.size(), 1);
    ASSERT_TRUE(l.readError);
    EXPECT_EQ(l.readError->number(), 94);
    EXPECT_EQ(l.readError->description(), S("Utilizzo non valido di Null"));
}

TEST_F(HistoryDbTest, EveryRecordIsLoadedBeyondTheOldLimit) {
    QVector<Row> rows;
    for (int i = 0; i < 3500; ++i)
        rows.append(
            {S("EuRibor 3m"), QString::number(20000000 + i), 1.0 + i / 1000.0, S("EuRibor 3m"), S("")});
    insertRows(path, rows);
    const HistoryDb::Load l = db.load();
    EXPECT_EQ(l.entries.size(), 3500);
    EXPECT_DOUBLE_EQ(l.entries.constLast().quote, 4.499);
}

TEST_F(HistoryDbTest, StoringTheSamePairTwiceOverwrites) {
    db.store(entry("EuRibor 3m", "20261204", 2.064, "EuRibor 3m"));
    db.store(entry("EuRibor 3m", "20261204", 2.07, "EuRibor 3m nuova"));
    db.store(entry("EuRibor 6m", "20261204", 2.137));
    const QVector<Row> rows = allRows(path);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_DOUBLE_EQ(rows[0].quote.toDouble(), 2.07);
    EXPECT_EQ(rows[0].descr.toString(), S("EuRibor 3m nuova"));
    EXPECT_EQ(rows[0].note.toString(), QString());
}

TEST_F(HistoryDbTest, WithTwoRecordsOfAPairTheOldestIsUpdated) {
    insertRows(path, {{S("EuRibor 3m"), S("20261204"), 1.0, S("a"), S("")},
                      {S("EuRibor 3m"), S("20261204"), 2.0, S("b"), S("")}});
    EXPECT_EQ(db.load().entries.size(), 2);
    db.store(entry("EuRibor 3m", "20261204", 9.0, "c"));
    const QVector<Row> rows = allRows(path);
    EXPECT_DOUBLE_EQ(rows[0].quote.toDouble(), 9.0);
    EXPECT_DOUBLE_EQ(rows[1].quote.toDouble(), 2.0);
}

TEST_F(HistoryDbTest, AnApostropheIsStoredLikeAnyOtherCharacter) {
    db.store(entry("Dollaro USA'", "20261204", 1.05, "Dollaro USA'"));
    db.store(entry("Dollaro USA'", "20261204", 1.06, "Dollaro USA'"));
    const QVector<Row> rows = allRows(path);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].type.toString(), S("Dollaro USA'"));
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

    QFile junk(missing);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    EXPECT_EQ(runtimeErrorOf([&] { db.open(missing); }), rt::DbUnrecognized);

    const QString noTable = dir.filePath(QStringLiteral("vuoto.mdb"));
    execOn(noTable, S("CREATE TABLE altro (x)"));
    db.open(noTable);
    EXPECT_EQ(runtimeErrorOf([&] { db.load(); }), rt::DbTableMissing);
    EXPECT_EQ(runtimeErrorOf([&] { db.store(entry("a", "b", 1)); }), rt::DbWriteFailed);
}

TEST(HistoryLines, WholeNumbersKeepTheirDecimalSeparator) {
    EXPECT_EQ(history::fileRateText(4.123, kIt), S("4,1230"));
    EXPECT_EQ(history::fileRateText(4.1, kIt), S("4,100"));
    EXPECT_EQ(history::fileRateText(3.98765, kIt), S("3,9876"));
    EXPECT_EQ(history::fileRateText(4.123, QLocale::c()), S("4.1230"));
    EXPECT_EQ(history::fileRateText(4.0, kIt), S("4,000"));
    EXPECT_EQ(history::fileRateText(-0.545, kIt), S("-0,545"));
    EXPECT_EQ(history::listLine(entry("EuRibor 3m", "20071015", 4.1), QLocale::c()),
              S("15-10-2007 - 4.1000 - EuRibor 3m"));
    EXPECT_EQ(history::listLine(entry("EuRibor 3m", "20071015", 4.0), kIt),
              S("15-10-2007 - 4,0000 - EuRibor 3m"));
    EXPECT_EQ(history::historyFileLine(S("20071015"), S("4.1230"), S("EuRibor 3m")),
              S("15-10-2007 - 4.1230 - EuRibor 3m"));
    EXPECT_EQ(history::csvLine(S("20071015"), S("4.1230"), S("EuRibor 3m")),
              S("15/10/2007;4.1230;EuRibor 3m;"));
}

TEST(HistoryLines, TheCompanionReplacesOnlyTheFileNameExtension) {
    EXPECT_EQ(companionPath(S("/home/u/Storico_Euribor.TXT")), S("/home/u/Storico_Euribor.CSV"));
    EXPECT_EQ(companionPath(S("/home/u.b/hist.txt")), S("/home/u.b/hist.CSV"));
    EXPECT_EQ(companionPath(S("/home/u/a.b.txt")), S("/home/u/a.b.CSV"));
    EXPECT_EQ(companionPath(S("/home/u.b/storico")), S("/home/u.b/storico"));
    EXPECT_EQ(companionPath(S("/home/u/.storico")), S("/home/u/.storico"));
    EXPECT_EQ(companionPath(S("/home/u/.storico.txt")), S("/home/u/.storico.txt"));
    EXPECT_EQ(companionPath(S("storico.csv")), S("storico.CSV"));
}
