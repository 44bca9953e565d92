// The publication calendar, the missing days of a tenor, and the report of
// --lacune over a real SQLite file.

#include "gaps_command.h"
#include "publication_calendar.h"

#include "support/fakes.h"
#include "support/sqlite_files.h"
#include "support/text.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace history;

namespace {

QDate day(const char* iso) {
    return QDate::fromString(S(iso), Qt::ISODate);
}

QString rangesText(const QVector<DayRange>& ranges) {
    QStringList parts;
    for (const DayRange& r : ranges)
        parts.append(rangeText(r) + S(" (") + QString::number(r.days) + u')');
    return parts.join(S("; "));
}

} // namespace

// The earliest and the latest of the range, and the years of Gauss's two corrections; Good Friday and
// Easter Monday closed around each.
TEST(PublicationCalendar, EasterIsTheKnownDateFrom2000To2100) {
    for (const char* iso :
         {"2000-04-23", "2008-03-23", "2026-04-05", "2038-04-25", "2049-04-18", "2076-04-19", "2100-03-28"}) {
        SCOPED_TRACE(iso);
        const QDate easter = day(iso);
        EXPECT_EQ(easterSunday(easter.year()), easter);
        EXPECT_FALSE(isPublicationDay(easter.addDays(-2)) || isPublicationDay(easter.addDays(1)));
        EXPECT_TRUE(isPublicationDay(easter.addDays(-3)) && isPublicationDay(easter.addDays(2)));
    }
}

TEST(PublicationCalendar, OpenMondayToFridayButOnTheSixHolidays) {
    const std::pair<const char*, bool> days[] = {
        {"2026-01-01", false}, {"2027-01-01", false}, {"2026-05-01", false}, {"2024-05-01", false},
        {"2025-12-25", false}, {"2025-12-26", false}, {"2026-12-25", false}, {"2024-03-29", false},
        {"2024-04-01", false}, {"2026-01-03", false}, {"2026-08-15", false}, {"2026-03-29", false},
        {"2025-12-24", true},  {"2025-12-31", true},  {"2026-01-02", true},  {"2026-01-06", true},
        {"2026-06-02", true},  {"2026-08-14", true},  {"2026-04-02", true},  {"2026-04-07", true}};
    for (const auto& [iso, open] : days) {
        SCOPED_TRACE(iso);
        EXPECT_EQ(isPublicationDay(day(iso)), open);
    }
}

TEST(PublicationCalendar, TheLatestDayTurnsAtAQuarterPastElevenInRome) {
    const std::pair<const char*, const char*> moments[] = {
        {"2026-01-05T10:14:59Z", "2026-01-02"},      // 11:14 in winter; 1 January closed
        {"2026-01-05T10:15:00Z", "2026-01-05"},      // 11:15
        {"2026-01-05T05:15:00-05:00", "2026-01-05"}, // the same moment told from another zone
        {"2026-03-27T10:15:00Z", "2026-03-27"},      // last Friday of winter time
        {"2026-03-30T09:14:00Z", "2026-03-27"},      // summer time: 11:14
        {"2026-03-30T09:15:00Z", "2026-03-30"},      {"2026-10-23T09:15:00Z", "2026-10-23"},
        {"2026-10-26T10:14:00Z", "2026-10-23"},  // winter time again: 11:14
        {"2026-04-06T12:00:00Z", "2026-04-02"},  // Easter Monday, after Good Friday
        {"2026-01-10T12:00:00Z", "2026-01-09"},  // a Saturday
        {"2025-12-27T23:30:00Z", "2025-12-24"}}; // 00:30 of a Sunday in Rome, after Christmas
    for (const auto& [moment, latest] : moments) {
        SCOPED_TRACE(moment);
        EXPECT_EQ(latestPublicationDay(QDateTime::fromString(S(moment), Qt::ISODate)), day(latest));
    }
}

TEST(PublicationCalendar, MissingDaysAreRangesOfPublicationDays) {
    // name, the records' dates, the end, the first day looked at, what is missing
    const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
        {"year boundary and today", "20251222|20251223|20251229|20260102", "2026-01-05", "",
         "24/12/2025 (1); 30/12/2025-31/12/2025 (2); 05/01/2026 (1)"},
        {"one range over the holidays and a weekend", "20251223|20260102", "2026-01-02", "",
         "24/12/2025-31/12/2025 (4)"},
        {"around Easter", "20260401|20260407", "2026-04-08", "", "02/04/2026 (1); 08/04/2026 (1)"},
        {"texts that are no date, a first record on a Saturday", "|2026013|20260230|abcdefgh|20260103",
         "2026-01-06", "", "05/01/2026-06/01/2026 (2)"},
        {"records after the end count for nothing", "20260105|20260109", "2026-01-07", "",
         "06/01/2026-07/01/2026 (2)"},
        {"the end before the first record", "20260105", "2026-01-02", "", ""},
        {"from a day on", "20251201", "2026-01-16", "2026-01-12", "12/01/2026-16/01/2026 (5)"},
        {"nothing recorded", "", "2026-01-16", "", ""}};
    for (const auto& [name, dates, end, from, missing] : cases) {
        SCOPED_TRACE(name);
        const QStringList list = *dates ? S(dates).split(u'|') : QStringList();
        EXPECT_EQ(rangesText(missingDays(list, day(end), day(from))), S(missing));
    }
}

namespace {

// A data folder: the tenor list and a database with holes.
class GapsFolder : public ::testing::Test {
protected:
    GapsFolder() {
        writeFile(list(),
                  cp1252Lines({S("EuRibor 1m  1,986"), S("EuRibor 3m  2,064"), S("EuRibor 6m  2,137")}));
        createHistoryDatabase(db());
        QVector<Row> rows;
        for (const char* d : {"20251229", "20251230", "20251231", "20260102", "20260105", "20260105"})
            rows.append({S("EuRibor 1m"), S(d), 1.9, S("EuRibor 1m"), S("")});
        for (const char* d : {"20251222", "20251223", "20251229", "20260102"})
            rows.append({S("EuRibor 3m"), S(d), 2.0, S("EuRibor 3m"), S("")});
        rows.append({S("DOLLARO USA"), S("20200101"), 1.1, S(""), S("")});
        insertRows(db(), rows);
    }
    QString db() const { return dir.filePath(S("EURIBOR.MDB")); }
    QString list() const { return dir.filePath(S("Euribor_PORTALEDATI.txt")); }
    std::pair<int, QString> run(const char* tenor = "") {
        QString out, err;
        QTextStream o(&out), e(&err);
        const int exit = core::runGapsCommand({dir.path(), S(tenor), kNow}, o, e);
        return {exit, out + err};
    }
    const QDateTime kNow = QDateTime::fromString(S("2026-01-05T12:00:00Z"), Qt::ISODate);
    QTemporaryDir dir;
};

} // namespace

TEST_F(GapsFolder, ListsEachTenorWithRecordsAndExitsOneWhenADayIsMissing) {
    const QString head =
        S("Giorni di pubblicazione senza quotazione, dalla prima registrata al 05/01/2026:\n");
    const std::tuple<const char*, int, QString> cases[] = {
        {"", 1,
         head + S("EuRibor 1m: nessun giorno mancante\nEuRibor 3m: 4 giorni mancanti: 24/12/2025, "
                  "30/12/2025-31/12/2025 (2), 05/01/2026\nIn tutto: 4 giorni mancanti.\n")},
        {" EuRibor 1m ", 0,
         head + S("EuRibor 1m: nessun giorno mancante\nIn tutto: nessun giorno mancante.\n")},
        {"EuRibor 6m", 0, S("EuRibor 6m: nessuna quotazione registrata.\n")},
        {"EuRibor 7m", 2,
         S("La scadenza \"EuRibor 7m\" non è nell'elenco delle scadenze: EuRibor 1m, EuRibor 3m, EuRibor "
           "6m.\n")}};
    for (const auto& [tenor, exit, text] : cases) {
        SCOPED_TRACE(tenor);
        const auto [code, said] = run(tenor);
        EXPECT_EQ(code, exit);
        EXPECT_EQ(said, text);
    }

    const core::RecentGaps week = core::recentGapsReport(dir.path(), kNow, 7);
    EXPECT_EQ(week.missing, 3);
    EXPECT_EQ(week.text,
              S("Giorni di pubblicazione senza quotazione negli ultimi 7 giorni, fino al "
                "05/01/2026:\nEuRibor 3m: 3 giorni mancanti: 30/12/2025-31/12/2025 (2), 05/01/2026"));
    EXPECT_EQ(week.summary, S("EuRibor 3m: 30/12/2025-31/12/2025 (2), 05/01/2026"));
    EXPECT_EQ(core::recentGapsReport(dir.path(), kNow).missing, 4);
    for (const char* d : {"20251224", "20251230", "20251231", "20260105"})
        insertRows(db(), {{S("EuRibor 3m"), S(d), 2.0, S(""), S("")}});
    EXPECT_EQ(core::recentGapsReport(dir.path(), kNow).text, QString());
    EXPECT_EQ(run().first, 0);
}

TEST_F(GapsFolder, ADatabaseOrTenorListThatCannotBeReadExitsTwo) {
    const QString db = this->db();
    const std::tuple<const char*, std::function<void()>, QString> cases[] = {
        {"not a database", [&] { writeFile(db, "non un database"); },
         S("Impossibile leggere il database %1: Formato di database non riconosciuto\n").arg(db)},
        {"no database", [&] { QFile::remove(db); },
         S("Impossibile leggere il database %1: Impossibile trovare il file del database\n").arg(db)},
        {"no tenor list", [&] { QFile::remove(list()); },
         S("Il file %1 manca, è vuoto o non contiene scadenze Euribor: nessuna quotazione può essere "
           "registrata.\n")
             .arg(list())}};
    for (const auto& [name, breakIt, text] : cases) {
        SCOPED_TRACE(name);
        breakIt();
        const auto [code, said] = run();
        EXPECT_EQ(code, 2);
        EXPECT_EQ(said, text);
        EXPECT_TRUE(core::recentGapsReport(dir.path(), kNow).text.isEmpty());
    }
}
