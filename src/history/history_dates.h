#pragma once
// The dates a tenor has records for, read straight from the table's index: the holes report needs
// nothing else of a history of a hundred thousand records.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace history {

struct RecordedDates {
    // Each tenor asked for that has dated records: the days (QDate::toJulianDay) in date order, a day
    // recorded twice given twice. Dates that are no date are left out.
    QHash<QString, QVector<qint64>> byTenor;
    QString error; // why the database could not be read; empty when it could
};

// Opens the database read-only (never creating it) and reads the Data_Valuta of each tenor.
RecordedDates readRecordedDates(const QString& dbPath, const QStringList& tenors);

} // namespace history
