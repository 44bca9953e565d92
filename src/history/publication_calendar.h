#pragma once
// The days Euribor is published: the days the euro area's payment system (TARGET) is open. And the
// holes of a tenor's history: the publication days it has no record for.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

namespace history {

// Easter Sunday of a year of the Gregorian calendar.
QDate easterSunday(int year);

// Monday to Friday, except 1 January, Good Friday, Easter Monday, 1 May, 25 and 26 December.
bool isPublicationDay(const QDate& day);

// The last publication day before day.
QDate previousPublicationDay(const QDate& day);

// The latest day whose rates are out at the moment now: today in Rome once it is 11:15 there on a
// publication day, otherwise the publication day before.
QDate latestPublicationDay(const QDateTime& now);

// Consecutive publication days without a record (a weekend or holiday in between does not split it).
struct DayRange {
    QDate first, last;
    int days = 0;
};

// A yyyymmdd date as the database holds it, as a day number (QDate::toJulianDay); 0 when the text
// is no date.
qint64 dayNumber(QStringView yyyymmdd);
qint64 dayNumber(QLatin1StringView yyyymmdd);

// The publication days from the earliest recorded day (day numbers, in any order, repeats allowed) to
// end without a record. With from valid, only the holes from that day on.
QVector<DayRange> missingDays(const QVector<qint64>& recordedDays, const QDate& end, const QDate& from = {});
// The same from yyyymmdd texts; texts that are no date are passed over.
QVector<DayRange> missingDays(const QStringList& recordedDates, const QDate& end, const QDate& from = {});

// "24/12/2025", or "02/03/2026-06/03/2026" for a range of several days.
QString rangeText(const DayRange& range);

} // namespace history
