#include "import_command.h"

#include "console_shell.h"
#include "daily_cycle.h"
#include "file_channels.h"
#include "folder_lock.h"
#include "formats.h"
#include "history_db.h"
#include "history_lines.h"
#include "runtime_error.h"
#include "series_import.h"
#include "startup_files.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>

#include <algorithm>
#include <optional>

Q_LOGGING_CATEGORY(lcImport, "euribor.import")

namespace core {

namespace {

struct TenorCounts {
    QString key;
    int imported = 0, replaced = 0, present = 0, conflicts = 0, skipped = 0;
};

// The recorded rate of each day of the tenors met so far (the first record of a day, the one a
// store would overwrite), and what this run added.
using Rates = QHash<QString, QHash<QString, double>>;

// Each tenor is read once, on a connection of its own: the recording's connection keeps a load's
// answer up to date with every store, which an import of thousands of old days would make slow.
bool readRates(const QString& dbPath, const QStringList& keys, Rates& rates, QTextStream& err) {
    QStringList wanted;
    for (const QString& key : keys)
        if (!rates.contains(key))
            wanted.append(key);
    if (wanted.isEmpty())
        return true;
    HistoryDb reader;
    try {
        reader.open(dbPath);
        for (const QString& key : std::as_const(wanted)) {
            QHash<QString, double>& days = rates[key];
            for (const HistEntry& e : reader.load(key).entries)
                if (!days.contains(e.date))
                    days.insert(e.date, e.quote);
        }
    } catch (const rt::RuntimeError& e) {
        err << QStringLiteral("Impossibile leggere il database ") << dbPath << QStringLiteral(": ")
            << e.description() << Qt::endl;
        return false;
    }
    return true;
}

QString rateText(double rate) {
    return history::rateNumberText(rate, QLocale(QLocale::Italian, QLocale::Italy));
}

QString summaryLine(const QString& file, const TenorCounts& c) {
    QString line = file + QStringLiteral(", ") + c.key + QStringLiteral(": ") + QString::number(c.imported) +
                   QStringLiteral(" importati");
    if (c.replaced > 0)
        line += QStringLiteral(" (") + QString::number(c.replaced) + QStringLiteral(" sostituiti)");
    return line + QStringLiteral(", ") + QString::number(c.present) + QStringLiteral(" già presenti, ") +
           QString::number(c.conflicts) + QStringLiteral(" in conflitto, ") + QString::number(c.skipped) +
           QStringLiteral(" scartati");
}

struct Totals {
    int stored = 0, present = 0, refused = 0, conflicts = 0;
};

// The file read, or why not (told on err). Unreadable lines and columns of unknown tenors are told
// and counted as refused; the rest of the file still counts.
std::optional<series::Parsed> readSeriesFile(const QString& file, const QStringList& items,
                                             const QString& tenor, Totals& totals, QTextStream& err) {
    const QFileInfo info(file);
    QFile in(file);
    const bool special = info.isDir() || isSpecialFile(file);
    if (!info.exists() || special || !in.open(QIODevice::ReadOnly)) {
        err << file
            << (!info.exists() ? QStringLiteral(": file non trovato")
                : special      ? QStringLiteral(": non è un file di testo")
                               : QStringLiteral(": impossibile leggere il file"))
            << Qt::endl;
        ++totals.refused;
        return std::nullopt;
    }
    series::Parsed parsed = series::parse(in.readAll(), items, tenor);
    if (!parsed.refusal.isEmpty()) {
        err << file << QStringLiteral(": nessuna quotazione importata: ") << parsed.refusal << u'.'
            << Qt::endl;
        ++totals.refused;
        return std::nullopt;
    }
    for (const series::BadLine& bad : parsed.badLines)
        err << file << QStringLiteral(", riga ") << bad.line << QStringLiteral(": ") << bad.reason
            << Qt::endl;
    if (!parsed.unknownTenors.isEmpty())
        err << file << QStringLiteral(": colonne di scadenze non nell'elenco, non lette: ")
            << parsed.unknownTenors.join(QStringLiteral(", ")) << Qt::endl;
    totals.refused += static_cast<int>(parsed.badLines.size() + parsed.unknownTenors.size());
    return parsed;
}

// A summary for each tenor the file names, in the tenor list's order (others after).
QVector<TenorCounts> tenorsOf(const series::Parsed& parsed, const QStringList& listed) {
    QStringList keys;
    for (const series::Record& r : parsed.records)
        if (!keys.contains(r.tenor))
            keys.append(r.tenor);
    QStringList onlySkipped = parsed.placeholdersOf.keys();
    onlySkipped.sort();
    for (const QString& key : std::as_const(onlySkipped))
        if (!keys.contains(key))
            keys.append(key);
    const auto rank = [&](const QString& key) {
        const qsizetype at = listed.indexOf(key);
        return at < 0 ? listed.size() : at;
    };
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const QString& a, const QString& b) { return rank(a) < rank(b); });
    QVector<TenorCounts> counts;
    for (const QString& key : std::as_const(keys))
        counts.append({key, 0, 0, 0, 0, parsed.placeholdersOf.value(key)});
    return counts;
}

// The entries to record: the days missing, and with overwrite the days recorded with another rate
// (each told on err, kept or not). rates learns what the entries will record.
HistArrays entriesToRecord(const QString& file, const series::Parsed& parsed, bool overwrite, Rates& rates,
                           QVector<TenorCounts>& counts, QTextStream& err) {
    QHash<QString, TenorCounts*> countOf;
    for (TenorCounts& c : counts)
        countOf.insert(c.key, &c);
    HistArrays entries;
    QHash<QString, qsizetype> entryOf; // tenor and day -> its entry, when this file adds it
    for (const series::Record& r : parsed.records) {
        TenorCounts& c = *countOf.value(r.tenor);
        QHash<QString, double>& days = rates[r.tenor];
        const auto known = days.constFind(r.date);
        const HistEntry entry{r.tenor, r.date, r.rate, r.descr, {}, false};
        const QString day = r.tenor + u'\n' + r.date;
        if (known == days.constEnd()) {
            ++c.imported;
            entryOf.insert(day, entries.size());
            entries.append(entry);
            days.insert(r.date, r.rate);
            continue;
        }
        if (series::sameRate(*known, r)) {
            ++c.present;
            continue;
        }
        err << file << QStringLiteral(", riga ") << r.line << QStringLiteral(": ") << r.tenor
            << QStringLiteral(" del ") << formats::dayFirst(r.date, u'/') << QStringLiteral(": registrato ")
            << rateText(*known) << QStringLiteral(", nel file ") << rateText(r.rate)
            << (overwrite ? QStringLiteral(" (sostituito)") : QStringLiteral(" (tenuto il registrato)"))
            << Qt::endl;
        if (!overwrite) {
            ++c.conflicts;
            continue;
        }
        // A day the file gives twice is stored once, with its last rate.
        if (const auto added = entryOf.constFind(day); added != entryOf.constEnd()) {
            entries[*added] = entry;
        } else {
            ++c.imported;
            ++c.replaced;
            entryOf.insert(day, entries.size());
            entries.append(entry);
        }
        days.insert(r.date, r.rate);
    }
    return entries;
}

} // namespace

int runImportCommand(const ImportCommand& command, QTextStream& out, QTextStream& err) {
    FolderLock lock(command.folder);
    switch (lock.acquire(command.lockWaitMs)) {
    case FolderLock::Result::Acquired:
        break;
    case FolderLock::Result::Busy:
        err << FolderLock::busyMessage(command.folder) << Qt::endl;
        return ImportBusy;
    case FolderLock::Result::Unwritable:
        err << lock.unwritableMessage() << Qt::endl;
        return NothingImported;
    }

    const QString copy = command.folder + QStringLiteral("/Euribor_PORTALEDATI.txt");
    QString refusedList;
    const QStringList items = tenorItems(readAllLines(copy, &refusedList));
    if (items.isEmpty()) {
        err << (refusedList.isEmpty() ? noTenorsMessage(copy) : refusedList) << Qt::endl;
        return NothingImported;
    }
    QStringList listed;
    for (const QString& item : items)
        listed.append(formats::tenorKey(item));
    if (!command.tenor.isEmpty() && !listed.contains(command.tenor)) {
        err << QStringLiteral("La scadenza \"") << command.tenor
            << QStringLiteral("\" non è nell'elenco delle scadenze: ") << listed.join(QStringLiteral(", "))
            << u'.' << Qt::endl;
        return NothingImported;
    }

    const QString dbPath = command.folder + QStringLiteral("/EURIBOR.MDB");
    HistoryDb db;
    try {
        db.open(dbPath);
    } catch (const rt::RuntimeError& e) {
        err << QStringLiteral("Impossibile aprire il database ") << dbPath << QStringLiteral(": ")
            << e.description() << Qt::endl;
        return NothingImported;
    }
    // A recording cut short gets its lines before this one looks at the files.
    completePendingLines(db);

    ConsoleShell shell(err);
    FileChannels files;
    const QString historyPath = command.folder + QStringLiteral("/Storico_Euribor.TXT");
    Rates rates;
    Totals totals;
    for (const QString& file : command.files) {
        const std::optional<series::Parsed> parsed = readSeriesFile(file, items, command.tenor, totals, err);
        if (!parsed)
            continue;
        QVector<TenorCounts> counts = tenorsOf(*parsed, listed);
        QStringList keys;
        for (const TenorCounts& c : std::as_const(counts))
            keys.append(c.key);
        if (!readRates(dbPath, keys, rates, err))
            return NothingImported;
        const HistArrays entries = entriesToRecord(file, *parsed, command.overwrite, rates, counts, err);
        if (!entries.isEmpty()) {
            const RecordResult recorded =
                recordEntries(db, files, entries, historyPath, command.locale, shell);
            totals.stored += static_cast<int>(recorded.recorded.size());
            if (recorded.stopped || recorded.recorded.size() < entries.size()) {
                // The message is out; what was stored is in the files or in the journal for the next run.
                err << file << QStringLiteral(": importazione interrotta, registrate ")
                    << recorded.recorded.size() << QStringLiteral(" quotazioni su ") << entries.size()
                    << Qt::endl;
                qCWarning(lcImport).noquote() << "importazione interrotta:" << file;
                return totals.stored + totals.present > 0 ? SomeRefused : NothingImported;
            }
        }
        for (const TenorCounts& c : std::as_const(counts)) {
            out << summaryLine(file, c) << Qt::endl;
            totals.present += c.present;
            totals.conflicts += c.conflicts;
        }
    }
    if (totals.stored + totals.present == 0)
        return NothingImported;
    return totals.refused + totals.conflicts > 0 ? SomeRefused : AllImported;
}

} // namespace core
