#include "publication_calendar.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <vector>

namespace history {

namespace {

// 11:15 in Rome: the day's rates are out (published at 11:00, a quarter of an hour allowed).
constexpr int kPublishedAtMinutes = 11 * 60 + 15;

// The last Sunday of a month.
QDate lastSunday(int year, int month) {
    const QDate last(year, month, QDate(year, month, 1).daysInMonth());
    return last.addDays(-(last.dayOfWeek() % 7));
}

// Rome's local time. Without the system's zone data, the European rule: summer time from 01:00 UTC
// of the last Sunday of March to 01:00 UTC of the last Sunday of October.
QDateTime romeTime(const QDateTime& now) {
    static const QTimeZone rome("Europe/Rome");
    if (rome.isValid())
        return now.toTimeZone(rome);
    const QDateTime utc = now.toUTC();
    const int year = utc.date().year();
    const QDateTime summerFrom(lastSunday(year, 3), QTime(1, 0), Qt::UTC);
    const QDateTime summerTo(lastSunday(year, 10), QTime(1, 0), Qt::UTC);
    const bool summer = utc >= summerFrom && utc < summerTo;
    return utc.toOffsetFromUtc(summer ? 7200 : 3600);
}

template <typename Text> qint64 parseDay(Text text) {
    if (text.size() != 8)
        return 0;
    int n[8];
    for (int i = 0; i < 8; ++i) {
        const char16_t c = QChar(text[i]).unicode();
        if (c < u'0' || c > u'9')
            return 0;
        n[i] = c - u'0';
    }
    const QDate d(n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3], n[4] * 10 + n[5], n[6] * 10 + n[7]);
    return d.isValid() ? d.toJulianDay() : 0;
}

// The six days TARGET is closed on besides the weekends.
std::array<QDate, 6> holidays(int year) {
    const QDate easter = easterSunday(year);
    return {QDate(year, 1, 1), easter.addDays(-2),  easter.addDays(1),
            QDate(year, 5, 1), QDate(year, 12, 25), QDate(year, 12, 26)};
}

// Day numbers count Monday as 0 modulo 7.
bool isWeekend(qint64 day) {
    return day % 7 >= 5;
}

} // namespace

QDate easterSunday(int year) {
    // The anonymous Gregorian computus (Meeus, Jones, Butcher).
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31;
    const int day = (h + l - 7 * m + 114) % 31 + 1;
    return {year, month, day};
}

bool isPublicationDay(const QDate& day) {
    if (!day.isValid() || isWeekend(day.toJulianDay()))
        return false;
    const std::array<QDate, 6> closed = holidays(day.year());
    return std::find(closed.begin(), closed.end(), day) == closed.end();
}

QDate previousPublicationDay(const QDate& day) {
    QDate d = day.addDays(-1);
    while (!isPublicationDay(d))
        d = d.addDays(-1);
    return d;
}

QDate latestPublicationDay(const QDateTime& now) {
    const QDateTime rome = romeTime(now);
    const QDate today = rome.date();
    const QTime time = rome.time();
    if (isPublicationDay(today) && time.hour() * 60 + time.minute() >= kPublishedAtMinutes)
        return today;
    return previousPublicationDay(today);
}

qint64 dayNumber(QStringView yyyymmdd) {
    return parseDay(yyyymmdd.trimmed());
}

qint64 dayNumber(QLatin1StringView yyyymmdd) {
    return parseDay(yyyymmdd.trimmed());
}

QVector<DayRange> missingDays(const QVector<qint64>& recordedDays, const QDate& end, const QDate& from) {
    QVector<DayRange> ranges;
    qint64 first = 0;
    for (const qint64 n : recordedDays)
        if (n > 0 && (first == 0 || n < first))
            first = n;
    if (first == 0 || !end.isValid())
        return ranges;
    if (from.isValid())
        first = std::max(first, from.toJulianDay());
    const qint64 last = end.toJulianDay();
    if (first > last)
        return ranges;
    // Decades of days: one flag per day, holidays marked year by year rather than a date per day.
    const auto at = [first](qint64 n) { return static_cast<std::size_t>(n - first); };
    std::vector<char> open(at(last) + 1, 1);
    for (int year = QDate::fromJulianDay(first).year(); year <= end.year(); ++year)
        for (const QDate& closed : holidays(year))
            if (const qint64 n = closed.toJulianDay(); n >= first && n <= last)
                open[at(n)] = 0;
    std::vector<char> recorded(open.size(), 0);
    for (const qint64 n : recordedDays)
        if (n >= first && n <= last)
            recorded[at(n)] = 1;

    bool inRange = false; // the last publication day was missing too
    for (qint64 n = first; n <= last; ++n) {
        if (isWeekend(n) || !open[at(n)])
            continue;
        if (recorded[at(n)]) {
            inRange = false;
            continue;
        }
        const QDate day = QDate::fromJulianDay(n);
        if (!inRange)
            ranges.append({day, day, 0});
        inRange = true;
        ranges.last().last = day;
        ++ranges.last().days;
    }
    return ranges;
}

QVector<DayRange> missingDays(const QStringList& recordedDates, const QDate& end, const QDate& from) {
    QVector<qint64> days;
    days.reserve(recordedDates.size());
    for (const QString& text : recordedDates)
        days.append(dayNumber(text));
    return missingDays(days, end, from);
}

QString rangeText(const DayRange& range) {
    const QString format = QStringLiteral("dd/MM/yyyy");
    if (range.first == range.last)
        return range.first.toString(format);
    return range.first.toString(format) + u'-' + range.last.toString(format);
}

} // namespace history
