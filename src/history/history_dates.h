#pragma once
// The dates a tenor has records for, read straight from the table's index: the holes report needs
// nothing else of a history of a hundred thousand records.

#include <QHash>
#include <QString>
#include <QStringList>

namespace history {

struct RecordedDates {
    QHash<QString, QStringList> byTenor; // each tenor asked for that has records: its distinct dates
    QString error;                       // why the database could not be read; empty when it could
};

// Opens the database read-only (never creating it) and reads the distinct Data_Valuta of each tenor.
RecordedDates readRecordedDates(const QString& dbPath, const QStringList& tenors);

} // namespace history
