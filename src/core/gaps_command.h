#pragma once
// euribor --lacune: the publication days each tenor of the list has no record for, from its first
// record to the latest publication day. The windowless update ends with the same report over the
// last days only.

#include <QDateTime>
#include <QString>
#include <QTextStream>

namespace core {

enum GapsExit { NothingMissing = 0, DaysMissing = 1, GapsNotRead = 2 };

struct GapsCommand {
    QString folder; // the data folder: database and tenor list
    QString tenor;  // empty: every tenor of the list
    QDateTime now;
};

// The report on out, a failure on err; returns a GapsExit.
int runGapsCommand(const GapsCommand& command, QTextStream& out, QTextStream& err);

struct RecentGaps {
    int missing = 0; // days missing, summed over the tenors
    QString text;    // the report's lines; empty when nothing is missing or nothing could be read
    QString summary; // the same on one line: "EuRibor 1w: 24/12/2025; EuRibor 3m: 02/03/2026-06/03/2026"
};

// The days missing in the last `days` days up to the latest publication day, for the end of the
// windowless update.
RecentGaps recentGapsReport(const QString& folder, const QDateTime& now, int days = 30);

} // namespace core
