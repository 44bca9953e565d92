#include "gaps_command.h"

#include "formats.h"
#include "history_dates.h"
#include "publication_calendar.h"
#include "startup_files.h"

#include <QVector>

namespace core {

namespace {

struct TenorHoles {
    QString key;
    QVector<history::DayRange> ranges;
    int missing = 0;
};

struct Holes {
    QVector<TenorHoles> tenors; // those with records, in list order
    QDate end;
    QString error;
};

QStringList listKeys(const QString& folder, QString* error) {
    const QString copy = folder + QStringLiteral("/Euribor_PORTALEDATI.txt");
    QString refused;
    QStringList keys;
    for (const QString& item : tenorItems(readAllLines(copy, &refused)))
        if (const QString key = formats::tenorKey(item); !keys.contains(key))
            keys.append(key);
    if (!refused.isEmpty())
        *error = refused;
    else if (keys.isEmpty())
        *error = noTenorsMessage(copy);
    return keys;
}

Holes findHoles(const QString& folder, const QStringList& keys, const QDateTime& now, int days) {
    Holes out;
    out.end = history::latestPublicationDay(now);
    const QDate from = days > 0 ? out.end.addDays(1 - days) : QDate();
    const history::RecordedDates dates =
        history::readRecordedDates(folder + QStringLiteral("/EURIBOR.MDB"), keys);
    out.error = dates.error;
    for (const QString& key : keys) {
        const auto it = dates.byTenor.constFind(key);
        if (it == dates.byTenor.constEnd())
            continue;
        TenorHoles t{key, history::missingDays(*it, out.end, from), 0};
        for (const history::DayRange& r : std::as_const(t.ranges))
            t.missing += r.days;
        out.tenors.append(t);
    }
    return out;
}

QString daysText(int n) {
    return n == 1 ? QStringLiteral("1 giorno mancante")
                  : QString::number(n) + QStringLiteral(" giorni mancanti");
}

QString rangesText(const QVector<history::DayRange>& ranges) {
    QStringList parts;
    for (const history::DayRange& r : ranges)
        parts.append(r.days > 1
                         ? history::rangeText(r) + QStringLiteral(" (") + QString::number(r.days) + u')'
                         : history::rangeText(r));
    return parts.join(QStringLiteral(", "));
}

QString tenorLine(const TenorHoles& t) {
    if (t.missing == 0)
        return t.key + QStringLiteral(": nessun giorno mancante");
    return t.key + QStringLiteral(": ") + daysText(t.missing) + QStringLiteral(": ") + rangesText(t.ranges);
}

QString dayText(const QDate& day) {
    return day.toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

int runGapsCommand(const GapsCommand& command, QTextStream& out, QTextStream& err) {
    QString error;
    QStringList keys = listKeys(command.folder, &error);
    if (keys.isEmpty()) {
        err << error << Qt::endl;
        return GapsNotRead;
    }
    if (!command.tenor.isEmpty()) {
        const QString key = command.tenor.trimmed();
        if (!keys.contains(key)) {
            err << QStringLiteral("La scadenza \"") << key
                << QStringLiteral("\" non è nell'elenco delle scadenze: ") << keys.join(QStringLiteral(", "))
                << u'.' << Qt::endl;
            return GapsNotRead;
        }
        keys = QStringList{key};
    }
    const Holes holes = findHoles(command.folder, keys, command.now, 0);
    if (!holes.error.isEmpty()) {
        err << holes.error << Qt::endl;
        return GapsNotRead;
    }
    if (holes.tenors.isEmpty()) {
        out << (command.tenor.isEmpty()
                    ? QStringLiteral("Nessuna quotazione registrata.")
                    : keys.constFirst() + QStringLiteral(": nessuna quotazione registrata."))
            << Qt::endl;
        return NothingMissing;
    }
    out << QStringLiteral("Giorni di pubblicazione senza quotazione, dalla prima registrata al ")
        << dayText(holes.end) << u':' << Qt::endl;
    int missing = 0;
    for (const TenorHoles& t : holes.tenors) {
        out << tenorLine(t) << Qt::endl;
        missing += t.missing;
    }
    out << QStringLiteral("In tutto: ")
        << (missing == 0 ? QStringLiteral("nessun giorno mancante") : daysText(missing)) << u'.' << Qt::endl;
    return missing == 0 ? NothingMissing : DaysMissing;
}

RecentGaps recentGapsReport(const QString& folder, const QDateTime& now, int days) {
    RecentGaps report;
    QString error;
    const QStringList keys = listKeys(folder, &error);
    if (keys.isEmpty())
        return report;
    const Holes holes = findHoles(folder, keys, now, days);
    if (!holes.error.isEmpty())
        return report;
    QStringList lines, summary;
    for (const TenorHoles& t : holes.tenors) {
        if (t.missing == 0)
            continue;
        report.missing += t.missing;
        lines.append(tenorLine(t));
        summary.append(t.key + QStringLiteral(": ") + rangesText(t.ranges));
    }
    if (report.missing == 0)
        return report;
    report.text = QStringLiteral("Giorni di pubblicazione senza quotazione negli ultimi ") +
                  QString::number(days) + QStringLiteral(" giorni, fino al ") + dayText(holes.end) +
                  QStringLiteral(":\n") + lines.join(u'\n');
    report.summary = summary.join(QStringLiteral("; "));
    return report;
}

} // namespace core
