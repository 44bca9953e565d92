#include "publication_calendar.h"

#include <QTimeZone>

#include <algorithm>
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

// A yyyymmdd text as a day number; 0 when it is no date.
qint64 dayNumber(QStringView text) {
    text = text.trimmed();
    if (text.size() != 8)
        return 0;
    int n[8];
    for (int i = 0; i < 8; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return 0;
        n[i] = text[i].unicode() - u'0';
    }
    const QDate d(n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3], n[4] * 10 + n[5], n[6] * 10 + n[7]);
    return d.isValid() ? d.toJulianDay() : 0;
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
    if (!day.isValid() || day.dayOfWeek() > 5)
        return false;
    const int month = day.month();
    const int dom = day.day();
    if ((month == 1 && dom == 1) || (month == 5 && dom == 1) || (month == 12 && (dom == 25 || dom == 26)))
        return false;
    if (month == 3 || month == 4) {
        const QDate easter = easterSunday(day.year());
        if (day == easter.addDays(-2) || day == easter.addDays(1))
            return false;
    }
    return true;
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

QVector<DayRange> missingDays(const QStringList& recordedDates, const QDate& end, const QDate& from) {
    QVector<DayRange> ranges;
    std::vector<qint64> days;
    days.reserve(static_cast<std::size_t>(recordedDates.size()));
    for (const QString& text : recordedDates)
        if (const qint64 n = dayNumber(text))
            days.push_back(n);
    if (days.empty() || !end.isValid())
        return ranges;
    const qint64 first = std::max(*std::min_element(days.begin(), days.end()),
                                  from.isValid() ? from.toJulianDay() : qint64(0));
    const qint64 last = end.toJulianDay();
    if (first > last)
        return ranges;
    std::vector<bool> recorded(static_cast<std::size_t>(last - first + 1));
    for (const qint64 n : days)
        if (n >= first && n <= last)
            recorded[static_cast<std::size_t>(n - first)] = true;

    DayRange* open = nullptr; // the range the last publication day belongs to, when it was missing
    for (qint64 n = first; n <= last; ++n) {
        const QDate day = QDate::fromJulianDay(n);
        if (!isPublicationDay(day))
            continue;
        if (recorded[static_cast<std::size_t>(n - first)]) {
            open = nullptr;
            continue;
        }
        if (!open) {
            ranges.append({day, day, 0});
            open = &ranges.last();
        }
        open->last = day;
        ++open->days;
    }
    return ranges;
}

QString rangeText(const DayRange& range) {
    const QString format = QStringLiteral("dd/MM/yyyy");
    if (range.first == range.last)
        return range.first.toString(format);
    return range.first.toString(format) + u'-' + range.last.toString(format);
}

} // namespace history
