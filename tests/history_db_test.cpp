// The history database on real SQLite files, and the text forms of a recorded rate.

#include "history_db.h"
#include "history_lines.h"

#include "support/fakes.h"
#include "support/sqlite_files.h"
#include "support/text.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

#include <sqlite3.h>

namespace {
HistEntry entry(const QString& type, const char* date, double quote, const QString& descr = S("")) {
    return HistEntry{type, S(date), quote, descr, {}, false};
}
HistEntry entry(const char* type, const char* date, double quote, const char* descr = "") {
    return entry(S(type), date, quote, S(descr));
}
Row row(const QVariant& type, const QVariant& date, const QVariant& quote, const char* note = "") {
    return {type, date, quote, S(""), S(note)};
}
Row row(const char* type, const char* date, double quote) {
    return row(S(type), S(date), quote);
}
QString line(const HistEntry& e) {
    return QStringList{e.type, e.date, QString::number(e.quote), e.descr, e.note}.join(u'|');
}
// A load as text: its entries of key (all for a null key), its count and its unreadable record.
QStringList summary(const HistoryDb::Load& l, const QString& key = {}) {
    QStringList out;
    for (const HistEntry& e : l.entries)
        if (key.isNull() || e.type == key)
            out.append(line(e));
    out.append(QString::number(l.records));
    if (l.readError)
        out.append(QString::number(l.readError->number()) + u'|' + l.readErrorType + u'|' + l.readErrorDate +
                   u'|' + QString::number(l.unreadable));
    return out;
}
// The first sleep of SQLite's busy wait runs this, once; the default file system is wrapped to see it.
std::function<void()> onFirstSleep;
sqlite3_vfs* const baseVfs = sqlite3_vfs_find(nullptr);
int sleepHook(sqlite3_vfs*, int us) {
    if (onFirstSleep)
        std::exchange(onFirstSleep, nullptr)();
    return baseVfs->xSleep(baseVfs, us);
}
// The shipped table without its indexes.
const QByteArray kTable =
    "CREATE TABLE Storico_Euribor (Tipo_Valuta TEXT, Data_Valuta TEXT, Quotazione REAL, "
    "Descrizione TEXT, Note TEXT);";
} // namespace

class HistoryDbTest : public ::testing::Test {
protected:
    HistoryDbTest() {
        createHistoryDatabase(path);
        db.open(path);
    }
    QStringList now(const QString& key) { return summary(key.isNull() ? db.load() : db.load(key), key); }
    QStringList afresh(const QString& key) const {
        HistoryDb other;
        other.open(path);
        return summary(other.load(), key);
    }
    // A file made by sql, or a copy of one with the shipped schema (a copy spares the disk's waits).
    void remake(const QByteArray& sql) {
        db.close();
        QFile::remove(path);
        const QString schema = dir.filePath(QStringLiteral("schema.mdb"));
        if (sql.isEmpty() && !QFile::exists(schema))
            createHistoryDatabase(schema);
        sql.isEmpty() ? void(QFile::copy(schema, path)) : execOn(path, QString::fromUtf8(sql));
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("EURIBOR.MDB"));
    HistoryDb db;
};

// A date led by a blank sorts first, as SQLite has it; every record loads, beyond the old limit of 3,000.
TEST_F(HistoryDbTest, LoadsInDateOrderThenInsertionOrderWithBlankTenorsOnlyFirst) {
    EXPECT_FALSE(db.load().readError);
    insertRows(path,
               {row(S(""), QVariant(), 1.0), row("EuRibor 6m", "20261204", 2.1),
                row("EuRibor 3m", "20261203", 2.0), row(S("EuRibor 1m"), S("20261204"), 1.9, "n"),
                row(S("EuRibor 3m"), QVariant(), 1.5), row("   ", "20260103", 3.0),
                row(QVariant(), S("20260104"), 4.0), row(" lead", "20260105", 5.0),
                row(S("EuRibor 3m"), S("20260102"), QVariant()), row(S("EuRibor 1m"), S("20260102"), S("")),
                row("Ultimo", " 20261203", 9.5), row("EuRibor 2w", "20261203", 1.7)});
    EXPECT_EQ(summary(db.load()),
              (QStringList{S("||1||"), S("EuRibor 3m||1.5||"), S("Ultimo|20261203|9.5||"),
                           S("lead|20260105|5||"), S("EuRibor 3m|20261203|2||"),
                           S("EuRibor 2w|20261203|1.7||"), S("EuRibor 6m|20261204|2.1||"),
                           S("EuRibor 1m|20261204|1.9||n"), S("8"), S("94|EuRibor 3m|20260102|2")}));
    EXPECT_EQ(db.load().readError->description(), S("Utilizzo non valido di Null"));
    // The same rules when every record can be read and every date is plain.
    execOn(path, S("DELETE FROM Storico_Euribor WHERE Data_Valuta IS NULL OR typeof(Quotazione) = 'text' OR "
                   "Quotazione IS NULL OR Tipo_Valuta = 'Ultimo'"));
    EXPECT_EQ(summary(db.load()),
              (QStringList{S("|20260103|3||"), S("lead|20260105|5||"), S("EuRibor 3m|20261203|2||"),
                           S("EuRibor 2w|20261203|1.7||"), S("EuRibor 6m|20261204|2.1||"),
                           S("EuRibor 1m|20261204|1.9||n"), S("6")}));
    QVector<Row> rows;
    for (int i = 0; i < 3500; ++i)
        rows.append(row(S("EuRibor 3m"), QString::number(20300000 + i), 1.0 + i / 1000.0));
    insertRows(path, rows);
    ASSERT_EQ(db.load().entries.size(), 3506);
    EXPECT_DOUBLE_EQ(db.load().entries.constLast().quote, 4.499);
}

// Whatever the table held and was stored since, every load, kept or read again, is a fresh read's.
TEST_F(HistoryDbTest, EveryLoadIsWhatAFreshReadGives) {
    // Records the fast reads and the kept answer take as they are.
    const QVector<Row> sound = {row("EuRibor 3m", "20261201", 2.0), row("EuRibor 1m", "20261201", 1.9),
                                row("EuRibor 3m", "20261202", 2.1), row("EuRibor 1m", "20261203", 1.8)};
    const auto plus = [&](const QVector<Row>& more) { return sound + more; };
    // make: the statements that make the file, the shipped schema when empty. Only the stepped starts go on
    // with the stores (each waits for the disk), after a load of every record and after one of a tenor.
    // fresh, when given: a fresh read of every record, as SQLite's ordered walk has it.
    const struct {
        const char* what;
        QVector<Row> rows;
        bool stepped = false;
        QByteArray make = {};
        QStringList fresh = {};
    } starts[] = {
        {"sound records", sound, true},
        {"blank tenors first and later",
         {row("", "20261130", 8.0), row("EuRibor 3m", "20261201", 2.0), row("   ", "20261201", 9.0),
          row("EuRibor 1m", "20261202", 1.9)},
         true},
        {"dates with blanks around them",
         {row("EuRibor 3m", "20261204 ", 2.0), row("EuRibor 1m", "20261204", 1.9), row("A", " 20261201", 1.0),
          row("B", " 20261230", 1.1), row("C", "20261210", 1.2)},
         true},
        {"a null date and one not ASCII",
         plus({row(S("EuRibor 3m"), QVariant(), 2.2), row("EuRibor 3m", "2026120\u00e8", 2.3)})},
        {"a blank tenor only later", plus({row("   ", "20261203", 9.0)})},
        {"a null tenor", plus({row(QVariant(), S("20261203"), 9.1)})},
        {"a tenor led by a blank or a tab",
         plus({row(" EuRibor 3m", "20261203", 9.2), row("\tX", "1", 1.0)})},
        {"the key with blanks after it", plus({row("EuRibor 3m  ", "20261130", 9.3)})},
        {"a tenor that is a number or bytes",
         sound +
             QVector<Row>{row(12, S("20261203"), 9.4), row(QByteArray("EuRibor 3m"), S("20261203"), 1.0)}},
        {"a rate that is null, text or empty",
         plus({row(S("EuRibor 1m"), S("20261203"), QVariant()), row(S("EuRibor 6m"), S("20261130"), S("2,1")),
               row(S("EuRibor 3m"), S("20261204"), S(""))})},
        {"an infinite rate", plus({row("EuRibor 6m", "20261203", 1e308 * 10)})},
        {"the key and a blank led by a byte order mark", sound, false,
         kTable +
             "INSERT INTO Storico_Euribor VALUES (char(0xFEFF) || 'EuRibor 3m', '20261130', 9.9, '', ''), "
             "(char(0xFEFF) || '  ', '20261203', 9.1, '', '')"},
        {"a record at the largest rowid", sound, true,
         kTable +
             "INSERT INTO Storico_Euribor (rowid, Tipo_Valuta, Data_Valuta, Quotazione, Descrizione, Note) "
             "VALUES (9223372036854775807, 'EuRibor 1m', '20261201', 1.0, '', '')"},
        {"letter case ignored",
         {row("EuRibor 3m", "20261202", 2.0), row("x", "2026120B", 9.8), row("EuRibor 3m", "2026120a", 9.7),
          row("EURIBOR 3M", "20261203", 9.6)},
         false,
         "CREATE TABLE Storico_Euribor (Tipo_Valuta TEXT COLLATE NOCASE, Data_Valuta TEXT COLLATE NOCASE, "
         "Quotazione REAL, Descrizione TEXT, Note TEXT); CREATE INDEX i ON Storico_Euribor (Tipo_Valuta, "
         "Data_Valuta)",
         {S("EuRibor 3m|20261202|2||"), S("EURIBOR 3M|20261203|9.6||"), S("EuRibor 3m|2026120a|9.7||"),
          S("x|2026120B|9.8||"), S("4")}},
        {"a column of its own named rowid, which orders the ties",
         {},
         false,
         "CREATE TABLE Storico_Euribor (rowid INTEGER, Tipo_Valuta TEXT, Data_Valuta TEXT, Quotazione REAL, "
         "Descrizione TEXT, Note TEXT); INSERT INTO Storico_Euribor VALUES (2, 'A', '20261201', 1, '', ''), "
         "(1, 'B', '20261201', 2, '', '')",
         {S("B|20261201|2||"), S("A|20261201|1||"), S("2")}},
        {"another program's covering index, which SQLite would rather walk than the table",
         {},
         false,
         kTable +
             "CREATE INDEX a ON Storico_Euribor (Data_Valuta, Tipo_Valuta, Quotazione, Descrizione, Note); "
             "INSERT INTO Storico_Euribor VALUES ('B', '20261201', 1, '', ''), ('A', '20261201', 2, '', ''); "
             "ANALYZE; UPDATE sqlite_stat1 SET stat = stat || ' sz=10' WHERE idx = 'a'; "
             "INSERT OR REPLACE INTO sqlite_stat1 VALUES ('Storico_Euribor', NULL, '2 sz=200')",
         {S("B|20261201|1||"), S("A|20261201|2||"), S("2")}},
        {"a rate column of text",
         {row("EuRibor 1m", "20261204", 1.9)},
         true,
         "CREATE TABLE Storico_Euribor (Tipo_Valuta TEXT, Data_Valuta TEXT, Quotazione TEXT, Descrizione "
         "TEXT, Note TEXT)",
         {S("0"), S("13|EuRibor 1m|20261204|1")}},
        {"triggers that change what is stored and undo the batch", sound, true,
         kTable +
             "CREATE TRIGGER up AFTER INSERT ON Storico_Euribor BEGIN UPDATE Storico_Euribor SET Note = 'x' "
             "WHERE rowid = NEW.rowid; END; CREATE TRIGGER no9m BEFORE INSERT ON Storico_Euribor WHEN "
             "NEW.Tipo_Valuta = 'EuRibor 9m' BEGIN SELECT RAISE(ROLLBACK, 'no'); END"},
        {"a rate that must be a number or the batch is undone", sound, true,
         "CREATE TABLE Storico_Euribor (Tipo_Valuta TEXT, Data_Valuta TEXT, Quotazione REAL NOT NULL ON "
         "CONFLICT ROLLBACK, Descrizione TEXT, Note TEXT)"},
        {"a file in UTF-16, where the checks' ranges do not hold",
         {},
         false,
         "PRAGMA encoding = 'UTF-16le';" + kTable +
             "CREATE INDEX i ON Storico_Euribor (Tipo_Valuta, Data_Valuta); INSERT INTO Storico_Euribor "
             "VALUES "
             "('EuRibor 3m', '20261201', 2, '', ''), (char(0xFEFF) || 'EuRibor 3m', '20261202', 3, '', '')"},
    };
    // The steps that leave a record the loads cannot take as it is come last.
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"a new day at the end", [&] { db.store(entry("EuRibor 3m", "20261204", 2.1, "EuRibor 3m")); }},
        {"the same day again", [&] { db.store(entry("EuRibor 3m", "20261204", 2.2, "altro")); }},
        {"a day in the middle", [&] { db.store(entry("EuRibor 6m", "20261201", 2.3)); }},
        {"a day before all", [&] { db.store(entry("EuRibor 6m", "20200101", 2.4)); }},
        {"a tenor led by a byte order mark",
         [&] { db.store(entry(QChar(0xFEFF) + S("EuRibor 6m"), "20261202", 2.0)); }},
        {"a text that is not UTF-16",
         [&] { db.store(entry(S("EuRibor 1m"), "20261203", 1.0, S("x") + QChar(0xD800))); }},
        {"another program's write", [&] { insertRows(path, {row("EuRibor 2w", "20261203", 1.7)}); }},
        {"an untrimmed day's pair", [&] { db.store(entry("EuRibor 1m", "20261204", 1.8)); }},
        {"a batch, undone by SQLite where the table says so",
         [&] {
             db.beginBatch();
             db.store(entry("EuRibor 1w", "20261206", 1.5));
             runtimeErrorOf([&] { db.store(entry("EuRibor 9m", "20261206", std::nan(""))); });
             db.commitBatch();
         }},
        {"a blank tenor", [&] { db.store(entry("  ", "20261205", 2.5)); }},
        {"a rate that is no number",
         [&] { runtimeErrorOf([&] { db.store(entry("EuRibor 3m", "20261207", std::nan(""))); }); }},
    };
    for (const auto& start : starts) {
        const QStringList keys =
            start.stepped ? QStringList{QString(), S("EuRibor 3m")}
                          : QStringList{QString(), S("EuRibor 3m"), S("EuRibor 1m"), S("EuRibor 6m"), S("")};
        remake(start.make);
        insertRows(path, start.rows);
        EXPECT_TRUE(start.fresh.isEmpty() || afresh(QString()) == start.fresh) << start.what;
        for (const QString& key : keys) {
            SCOPED_TRACE(std::string(start.what) + " / " +
                         (key.isNull() ? "every record" : key.toStdString()));
            if (start.stepped && !key.isNull()) {
                remake(start.make);
                insertRows(path, start.rows);
            }
            db.close();
            db.open(path);
            EXPECT_EQ(now(key), afresh(key));
            for (const auto& [what, step] : start.stepped ? steps : decltype(steps){}) {
                step();
                EXPECT_EQ(now(key), afresh(key)) << what;
            }
        }
    }
}

// The batch takes the write lock at once: an open write refuses one that started reading, busy wait or not.
TEST_F(HistoryDbTest, AnotherProgramsShortLockIsWaitedFor) {
    static sqlite3_vfs hooked = [] {
        sqlite3_vfs v = *baseVfs;
        v.zName = "sleep-hook";
        v.xSleep = sleepHook;
        return v;
    }();
    sqlite3_vfs_register(&hooked, 1);
    db.close();
    db.open(path);
    const std::tuple<const char*, const char*, std::function<void()>> cases[] = {
        {"a load", "BEGIN EXCLUSIVE", [&] { db.load(S("EuRibor 3m")); }},
        {"a store", "BEGIN EXCLUSIVE", [&] { db.store(entry("EuRibor 3m", "20261204", 2.0)); }},
        {"a batch", "BEGIN IMMEDIATE", [&] {
             db.beginBatch();
             db.store(entry("EuRibor 6m", "20261204", 2.1));
             db.commitBatch();
         }}};
    for (const auto& [what, begin, action] : cases) {
        SCOPED_TRACE(what);
        sqlite3* other = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &other);
        sqlite3_exec(other, begin, nullptr, nullptr, nullptr);
        onFirstSleep = [&] {
            sqlite3_exec(other,
                         "INSERT INTO Storico_Euribor VALUES ('EuRibor 1m', '20261203', 1.9, '', ''); COMMIT",
                         nullptr, nullptr, nullptr);
        };
        EXPECT_NO_THROW(action());
        EXPECT_FALSE(onFirstSleep) << "never waited";
        onFirstSleep = nullptr;
        sqlite3_close(other);
    }
    sqlite3_vfs_unregister(&hooked);
    EXPECT_EQ(rowTexts(path).size(), 5);
}

TEST_F(HistoryDbTest, AStoreOverwritesTheOldestRecordOfItsPairAndIsNeverSaidStoredWhenItWasNot) {
    insertRows(path, {row("EuRibor 3m", "20261203", 1.0), row("EuRibor 3m", "20261203", 2.0)});
    db.store(entry("EuRibor 3m", "20261204", 2.064, "EuRibor 3m"));
    db.store(entry("EuRibor 3m", "20261204", 2.07, "EuRibor 3m nuova"));
    db.store(entry("Dollaro USA'", "20261204", 1.05, "Dollaro USA'"));
    db.store(entry("Dollaro USA'", "20261204", 1.06, "Dollaro USA'"));
    db.store(entry("EuRibor 3m", "20261203", 9.0));
    // An empty key and a missing date are found again.
    for (const auto& [type, date, quote] : {std::tuple{QString(), S("20261204"), 1.0},
                                            {S(""), S("20261204"), 1.2},
                                            {QString(), S("20261204"), 1.5},
                                            {S("YEN"), QString(), 2.0},
                                            {S("YEN"), QString(), 2.5}})
        db.store(HistEntry{type, date, quote, {}, {}, false});
    EXPECT_EQ(rowTexts(path), (QStringList{S("EuRibor 3m|20261203|9||"), S("EuRibor 3m|20261203|2||"),
                                           S("EuRibor 3m|20261204|2.07|EuRibor 3m nuova|"),
                                           S("Dollaro USA'|20261204|1.06|Dollaro USA'|"),
                                           S("|20261204|1.5||"), S("YEN||2.5||")}));
    // A batch the connection closed is never stored by a later commit.
    db.beginBatch();
    db.store(entry("EuRibor 6m", "20261204", 2.1));
    db.close();
    db.open(path);
    db.store(entry("EuRibor 1m", "20261204", 1.9));
    db.commitBatch();
    // A write that a trigger of another program drops is never reported as stored.
    execOn(path,
           S("CREATE TRIGGER no BEFORE UPDATE ON Storico_Euribor BEGIN SELECT RAISE(IGNORE); END; CREATE "
             "TRIGGER nonew BEFORE INSERT ON Storico_Euribor BEGIN SELECT RAISE(IGNORE); END"));
    for (const char* date : {"20261204", "20261205"})
        EXPECT_EQ(runtimeErrorOf([&] { db.store(entry("EuRibor 1m", date, 2.5)); }), rt::DbWriteFailed)
            << date;
    EXPECT_EQ(rowTexts(path).mid(6), QStringList{S("EuRibor 1m|20261204|1.9||")});
    EXPECT_EQ(HistoryDb::lookupQueryText(S("A'B"), S("20261204")),
              S("select * from Storico_Euribor where  Tipo_Valuta = 'A'B' and  Data_Valuta = '20261204'"));
}

TEST(HistoryDbOpen, TheDatabaseMustExistAndBeADatabase) {
    QTemporaryDir dir;
    HistoryDb db;
    const QString missing = dir.filePath(S("EURIBOR.MDB")), noTable = dir.filePath(S("vuoto.mdb")),
                  noNote = dir.filePath(S("senza_note.mdb")), broken = dir.filePath(S("rotto.mdb"));
    EXPECT_EQ(runtimeErrorOf([&] { db.open(missing); }), rt::DbFileNotFound);
    EXPECT_FALSE(QFile::exists(missing) || db.isOpen()) << "the program never creates the database";

    writeFile(missing, QByteArray(4096, 'x'));
    EXPECT_EQ(runtimeErrorOf([&] { db.open(missing); }), rt::DbUnrecognized);

    execOn(noTable, S("CREATE TABLE altro (x)"));
    db.open(noTable);
    EXPECT_EQ(runtimeErrorOf([&] { db.load(); }), rt::DbTableMissing);
    EXPECT_EQ(runtimeErrorOf([&] { db.store(entry("a", "b", 1)); }), rt::DbWriteFailed);

    execOn(noNote,
           S("CREATE TABLE Storico_Euribor (Tipo_Valuta TEXT, Data_Valuta TEXT, Quotazione REAL, "
             "Descrizione TEXT); INSERT INTO Storico_Euribor VALUES ('EuRibor 3m', '20261204', 2.0, '')"));
    db.open(noNote);
    EXPECT_EQ(summary(db.load()),
              (QStringList{S("0"), S("%1|EuRibor 3m|20261204|1").arg(rt::DbFieldMissing)}));

    // Every page but the schema's unreadable: the query fails as a whole, not as one bad record.
    createHistoryDatabase(broken);
    insertRows(broken, {row("EuRibor 3m", "20261204", 2.0)});
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
        {4.123, it, "4,1230"},           {4.1, it, "4,100"},   {3.98765, it, "3,9876"},
        {4.123, QLocale::c(), "4.1230"}, {4.0, it, "4,000"},   {-0.545, it, "-0,545"},
        {0.00001, it, "0,0000"},         {1e20, it, "100000"}, {-2.5e-7, QLocale::c(), "-0.000"}};
    for (const auto& [rate, locale, text] : rates) {
        SCOPED_TRACE(text);
        EXPECT_EQ(history::fileRateText(rate, locale), S(text));
    }

    const std::pair<const char*, const char*> companions[] = {
        {"/home/u/Storico_Euribor.TXT", "/home/u/Storico_Euribor.CSV"},
        {"/home/u.b/hist.txt", "/home/u.b/hist.CSV"},
        {"/home/u/a.b.txt", "/home/u/a.b.CSV"},
        {"/home/u.b/storico", "/home/u.b/storico"},
        {"/home/u/.storico", "/home/u/.storico"},
        {"/home/u/.storico.txt", "/home/u/.storico.txt"},
        {"storico.csv", "storico.CSV"}};
    for (const auto& [path, companion] : companions) {
        SCOPED_TRACE(path);
        EXPECT_EQ(history::companionPath(S(path)), S(companion));
    }
}
