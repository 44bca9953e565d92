#include "daily_cycle.h"

#include "exchange_import.h"
#include "file_channels.h"
#include "formats.h"
#include "history_lines.h"
#include "log.h"
#include "runtime_error.h"
#include "services.h"
#include "shell.h"
#include "startup_files.h"
#include "stock_quote.h"
#include "vb.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <iterator>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

using rt::RuntimeError;
using vb::Trim;

namespace core {

namespace {
const QString kCrLf2 = QStringLiteral("\r\n\r\n");

// Test builds kill the process at a named point of the recording, to see what a crash there leaves
// behind; an installed program has no such switch.
void killPointForTests([[maybe_unused]] const char* name) {
#ifdef EURIBOR_KILL_POINTS
    static const QByteArray at = qgetenv("EURIBOR_TEST_KILL_AT");
    if (!at.isEmpty() && at == name)
        ::raise(SIGKILL);
#endif
}

// A rename or a new file reaches the disk with its folder's entry.
void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

HistoryLoad openAndLoad(HistoryDb& db, const QString& path, Shell& shell,
                        const std::optional<QString>& tenor) {
    HistoryLoad out;
    try {
        db.open(path);
    } catch (const RuntimeError& e) {
        shell.beep();
        shell.messageBox(QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r") + QString::number(e.number()) +
                             QStringLiteral(" - ") + e.description() + QStringLiteral("\r\r") + path,
                         appTitle(), Shell::Icon::Critical, Shell::Buttons::Ok);
        return out;
    }
    out.opened = true;
    // Lines a run cut short left to write, before anything else reads the files.
    completePendingLines(db);
    while (true) {
        try {
            out.load = tenor ? db.load(*tenor) : db.load();
            break;
        } catch (const RuntimeError& e) {
            const auto answer = shell.messageBox(
                QStringLiteral("Errore manca Tabella:  Storico_Quotazioni") + kCrLf2 +
                    QStringLiteral("Database Server assente o scollegato !") + kCrLf2 + e.description(),
                appTitle(), Shell::Icon::None, Shell::Buttons::RetryCancel);
            // Giving up leaves an empty history rather than asking for ever.
            if (answer != Shell::Answer::Retry)
                break;
        }
    }
    return out;
}

QString readErrorMessage(const HistoryDb::Load& load) {
    if (!load.readError)
        return {};
    QString text = QStringLiteral("Errore in lettura file di input  ERR=") +
                   QString::number(load.readError->number()) + QStringLiteral(" - ") +
                   load.readError->description();
    if (!load.readErrorType.isEmpty() || !load.readErrorDate.isEmpty())
        text += kCrLf2 + QStringLiteral("Record non letto: ") + load.readErrorType + QStringLiteral("  ") +
                formats::dayFirst(load.readErrorDate, u'/');
    if (load.unreadable > 1)
        text += QStringLiteral(" (e altri ") + QString::number(load.unreadable - 1) + QStringLiteral(")");
    return text;
}

QStringList TenorLines::lines(const HistArrays& entries, const QString& key, const QLocale& locale) {
    if (key != m_key || locale != m_locale) {
        m_lines.clear();
        m_key = key;
        m_locale = locale;
    }
    // A line shows the date, the rate and the tenor; what the entries share at both ends is kept.
    const auto same = [](const Line& l, const HistEntry& e) {
        return l.quote == e.quote && l.date == e.date && l.type == e.type;
    };
    const std::size_t count = static_cast<std::size_t>(entries.size());
    const std::size_t old = m_lines.size();
    std::size_t head = 0;
    while (head < count && head < old && same(m_lines[head], entries[static_cast<qsizetype>(head)]))
        ++head;
    std::size_t tail = 0;
    while (tail < count - head && tail < old - head &&
           same(m_lines[old - 1 - tail], entries[static_cast<qsizetype>(count - 1 - tail)]))
        ++tail;

    std::vector<Line> next;
    next.reserve(count);
    std::move(m_lines.begin(), m_lines.begin() + static_cast<std::ptrdiff_t>(head), std::back_inserter(next));
    for (std::size_t i = head; i < count - tail; ++i) {
        const HistEntry& e = entries[static_cast<qsizetype>(i)];
        next.push_back({e.type, e.date, e.quote,
                        e.type == key && !e.date.isEmpty() ? history::listLine(e, locale) : QString()});
    }
    std::move(m_lines.end() - static_cast<std::ptrdiff_t>(tail), m_lines.end(), std::back_inserter(next));
    m_lines = std::move(next);

    QStringList out;
    for (const Line& l : m_lines)
        if (!l.text.isNull())
            out.append(l.text);
    return out;
}

QString unavailableMessage(const QString& key) {
    return QStringLiteral("Quotazione  ") + key + QStringLiteral("  non disponibile su Internet !!!");
}

QString undatedMessage(const QString& key, const QString& dateCell) {
    if (dateCell.isEmpty())
        return QStringLiteral("Data della quotazione  ") + key +
               QStringLiteral("  assente nella pagina: quotazione non registrata !!!");
    // A cell left open runs to the end of the page: a few words are enough to recognise it.
    constexpr qsizetype kShown = 40;
    const QString shown = dateCell.size() > kShown ? dateCell.first(kShown) + QChar(0x2026) : dateCell;
    return QStringLiteral("Data della quotazione  ") + key +
           QStringLiteral("  non leggibile nella pagina (\"") + shown +
           QStringLiteral("\"): quotazione non registrata !!!");
}

Quotes fetchQuotes(PageFetcher& fetcher, Shell& shell, const FetchRequest& request,
                   const std::function<void(const QString&)>& onPage,
                   const UnavailableNotice& onUnavailable) {
    Quotes out;
    clsStockQuote client(fetcher, shell, [&](const QString& page) {
        out.page = page;
        out.failure = page.isEmpty() ? fetcher.lastError() : QString();
        if (onPage)
            onPage(page);
    });
    client.setHtmPage(Trim(request.url));
    out.chosenCaption = formats::rateCaption(client.getQuote(request.chosenKey));
    const QString todayCaption = request.today.toString(QStringLiteral("dd-MM"));
    out.extraction = quote::extractAll(
        out.page, request.tenorItems, request.today, out.chosenCaption, todayCaption,
        [&](quote::Missing what, const QString& key, const QString& dateCell, const QString& lblQuote,
            const QString& lblData) {
            const bool noRate = what == quote::Missing::Rate;
            if (noRate)
                qCWarning(lcPage).noquote() << "nessuna quotazione nella pagina per" << key;
            else
                qCWarning(lcPage).noquote() << "data non leggibile per" << key << u'|' << dateCell;
            const QString message = noRate ? unavailableMessage(key) : undatedMessage(key, dateCell);
            if (onUnavailable)
                onUnavailable(message, lblQuote, lblData);
            else
                shell.message(message);
        });
    for (const quote::ExtractedItem& item : std::as_const(out.extraction.items))
        if (!item.found && !out.page.isEmpty())
            qCWarning(lcPage).noquote() << "scadenza assente dalla pagina:" << item.key;
    if (out.page.isEmpty())
        qCWarning(lcPage).noquote() << "nessuna pagina da" << request.url << u'|' << out.failure;
    return out;
}

bool hasRates(const HistArrays& entries) {
    return std::any_of(entries.begin(), entries.end(), recordable);
}

namespace {

// The lines a recording is about to write, kept beside the database from before its commit until both
// files hold them: a run cut after the commit (a kill, a full disk) leaves them to the next run, on
// whatever day that is. Each line goes with its record, and only a record the database holds gets
// its line.
struct PendingLine {
    QString file;
    QString type, date;
    double quote = 0.0;
    QString line;
};

QString pendingPath(const HistoryDb& db) {
    return QFileInfo(db.path()).absolutePath() + QStringLiteral("/.euribor.da_scrivere");
}

// One line a record: its five fields, percent-encoded, between blanks. A line cut by a kill has no end
// and is passed over: it was being written before the commit, so its records were never stored.
QVector<PendingLine> readPending(const QString& path) {
    QVector<PendingLine> out;
    QFile file(path);
    if (isSpecialFile(path) || !file.open(QIODevice::ReadOnly))
        return out;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split(' ');
        if (f.size() != 5)
            continue;
        auto text = [&](int k) { return QString::fromUtf8(QByteArray::fromPercentEncoding(f[k])); };
        bool ok = false;
        const double quote = QByteArray::fromPercentEncoding(f[3]).toDouble(&ok);
        if (ok)
            out.append({text(0), text(1), text(2), quote, text(4)});
    }
    return out;
}

// Replaces the journal whole, through a synced copy, so a cut write never loses what it held.
void writePending(const QString& path, const QVector<PendingLine>& lines) {
    QByteArray bytes;
    for (const PendingLine& l : lines) {
        for (const QString& field : {l.file, l.type, l.date})
            bytes.append(field.toUtf8().toPercentEncoding()).append(' ');
        bytes.append(QByteArray::number(l.quote, 'g', 17)).append(' ');
        bytes.append(l.line.toUtf8().toPercentEncoding()).append('\n');
    }
    const QString part = path + QStringLiteral(".parziale");
    QFile file(part);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0;
    const QFileDevice::FileError error = file.error();
    file.close();
    if (!written || ::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        const int cause = errno;
        QFile::remove(part);
        throw RuntimeError(error == QFileDevice::ResourceError || cause == ENOSPC || cause == EDQUOT
                               ? rt::DiskFull
                               : rt::PathFileAccessError);
    }
    syncFolder(QFileInfo(path).absolutePath());
}

// The file's lines that it lacks, after its header when it has nothing yet (a file made on a full disk
// is left empty and gets its header with its first lines).
void appendLines(FileChannels& files, int channel, const QString& path, const QStringList& lines,
                 QString& working) {
    QStringList missing = history::missingLines(path, lines);
    if (QFileInfo(path).size() == 0)
        missing.prepend(history::historyHeader());
    working = missing.value(0);
    files.printLines(channel, missing);
}

// Writes the pending lines whose records the database holds, each file's in one write; the journal
// goes once every file has its lines. Raises the first failure.
void writePendingLines(HistoryDb& db, FileChannels& files, const QString& journal,
                       const QVector<PendingLine>& pending, QString& working) {
    QStringList order;
    QHash<QString, QStringList> byFile;
    // An import leaves tens of thousands of lines: each record is looked up once for both its lines,
    // and all in one transaction, not each under a lock of its own.
    QHash<QString, std::optional<double>> lookedUp;
    db.beginBatch();
    try {
        for (const PendingLine& l : pending) {
            auto stored = lookedUp.constFind(l.type + u'\n' + l.date);
            if (stored == lookedUp.constEnd())
                stored = lookedUp.insert(l.type + u'\n' + l.date, db.storedQuote(l.type, l.date));
            if (!*stored || **stored != l.quote)
                continue;
            if (!byFile.contains(l.file))
                order.append(l.file);
            byFile[l.file].append(l.line);
        }
    } catch (const RuntimeError&) {
        db.commitBatch();
        throw;
    }
    db.commitBatch();
    for (const QString& file : std::as_const(order)) {
        if (file != order.constFirst())
            killPointForTests("between-files");
        files.close(1);
        files.open(1, file, FileChannels::Mode::Append);
        appendLines(files, 1, file, byFile[file], working);
        files.close(1);
    }
    QFile::remove(journal);
}

} // namespace

void completePendingLines(HistoryDb& db) {
    const QString journal = pendingPath(db);
    if (!QFileInfo::exists(journal))
        return;
    FileChannels files;
    QString working;
    try {
        writePendingLines(db, files, journal, readPending(journal), working);
    } catch (const RuntimeError& e) {
        // The recording tries again and says why.
        qCWarning(lcHistory).noquote()
            << "righe in sospeso non scritte |" << e.description() << u'|' << working;
    }
}

RecordResult recordEntries(HistoryDb& db, FileChannels& files, const HistArrays& entries,
                           const QString& historyPath, const QLocale& locale, Shell& shell) {
    RecordResult out;
    out.stopped = true;
    const QString path = Trim(historyPath);
    if (path.isEmpty()) {
        shell.message(QStringLiteral("Indicare il nome del file Storico Quotazione !!!"));
        return out;
    }
    const QString csv = history::companionPath(path);
    auto fileError = [&](const RuntimeError& e, const QString& file) {
        qCWarning(lcHistory).noquote() << "impossibile scrivere" << file << u'|' << e.description();
        shell.message(QStringLiteral("Errore in registrazione Storico Quotazioni - ") + e.description() +
                      kCrLf2 + file);
        files.closeAll();
    };

    // Each file is made with its header when it is missing or empty; an existing file is only ever
    // appended to.
    for (const QString& file : {path, csv}) {
        QString working;
        try {
            files.close(1);
            files.open(1, file, FileChannels::Mode::Append);
            if (QFileInfo(file).size() == 0)
                appendLines(files, 1, file, {}, working);
            files.close(1);
        } catch (const RuntimeError& e) {
            fileError(e, file);
            return out;
        }
    }
    try {
        files.open(1, path, FileChannels::Mode::Append);
        files.open(2, csv, FileChannels::Mode::Append);
    } catch (const RuntimeError& e) {
        fileError(e, path);
        return out;
    }
    files.closeAll();

    const QLocale writing = history::recordingLocale(path, locale);
    const QString journal = pendingPath(db);
    QVector<PendingLine> pending = readPending(journal);
    QVector<Recorded> toStore;
    for (const HistEntry& e : entries) {
        // A rate the page did not give is never recorded: it would overwrite a real one; nor is a
        // rate without its day, which would be recorded under a wrong one.
        if (!recordable(e))
            continue;
        const Recorded r{e, history::fileRateText(e.quote, writing)};
        const QString type = Trim(e.type), date = Trim(e.date), descr = Trim(e.descr);
        pending.append({path, type, date, e.quote, history::historyFileLine(date, r.rateText, descr)});
        pending.append({csv, type, date, e.quote, history::csvLine(date, r.rateText, descr)});
        toStore.append(r);
    }
    try {
        if (!toStore.isEmpty())
            writePending(journal, pending);
    } catch (const RuntimeError& e) {
        fileError(e, journal);
        return out;
    }

    // The database first: a line in the files always has its record.
    QString working;
    std::optional<RuntimeError> failure;
    QVector<Recorded> stored;
    try {
        db.beginBatch();
        for (Recorded r : std::as_const(toStore)) {
            working = HistoryDb::lookupQueryText(Trim(r.entry.type), Trim(r.entry.date));
            r.fresh = db.storedQuote(r.entry.type, r.entry.date) != r.entry.quote;
            db.store(r.entry);
            stored.append(r);
        }
    } catch (const RuntimeError& e) {
        failure = e;
    }
    killPointForTests("before-commit");
    bool committed = true;
    try {
        // Keeps every record stored before a failure.
        db.commitBatch();
    } catch (const RuntimeError& e) {
        committed = false;
        if (!failure)
            failure = e;
    }

    killPointForTests("after-commit");
    if (committed) {
        out.recorded = stored;
        QString line;
        try {
            writePendingLines(db, files, journal, pending, line);
        } catch (const RuntimeError& e) {
            out.linesFailure = e.description();
            if (!failure) {
                failure = e;
                working = line;
            }
        }
    }
    files.closeAll();
    if (failure) {
        qCWarning(lcHistory).noquote()
            << "registrazione interrotta |" << failure->description() << u'|' << working;
        shell.message(QStringLiteral("Errore registrazione su DataBase ") + failure->description() + kCrLf2 +
                      working);
        return out;
    }
    out.stopped = false;
    return out;
}

bool importExchangeFile(HistoryDb& db, FileChannels& files, const QString& path, Shell& shell) {
    QStringList lines;
    try {
        files.close(1);
        files.open(1, path, FileChannels::Mode::Input);
        while (!files.eof(1))
            lines.append(files.lineInput(1));
    } catch (const RuntimeError& e) {
        shell.message(QStringLiteral("Storico Cambi Ufficiali non trovato - ") + e.description() + kCrLf2 +
                      path);
        return false;
    }
    files.close(1);

    const exchange::File file = exchange::parseFile(lines);
    const QString key = exchange::currencyKey(file.currencyName);
    QString query;
    std::optional<RuntimeError> failure;
    int skipped = 0;
    QString firstSkipped;
    try {
        db.beginBatch();
        for (const QString& text : file.records) {
            const exchange::Record r = exchange::parseRecord(text);
            if (!r.holdsRate) {
                if (skipped++ == 0)
                    firstSkipped = Trim(text);
                continue;
            }
            query = HistoryDb::lookupQueryText(key, r.date);
            db.store(HistEntry{key, r.date, r.rate, Trim(file.currencyName), r.note, false});
        }
    } catch (const RuntimeError& e) {
        failure = e;
    }
    try {
        db.commitBatch();
    } catch (const RuntimeError& e) {
        if (!failure)
            failure = e;
    }
    if (failure)
        shell.message(QStringLiteral("Errore registrazione su DataBase ") + failure->description() + kCrLf2 +
                      query);
    else if (skipped > 0)
        shell.message(QStringLiteral("Righe senza una data o un cambio leggibili, non importate: ") +
                      QString::number(skipped) + kCrLf2 + QStringLiteral("La prima: ") + firstSkipped);
    return true;
}

UpdateReport runDailyUpdate(const UpdateSettings& settings, PageFetcher& fetcher, Shell& shell) {
    UpdateReport report;
    HistoryDb db;
    const QString chosen = QStringLiteral("EuRibor 3m");
    // Only what the load reports is needed: an unreadable record.
    const HistoryLoad loaded =
        openAndLoad(db, settings.folder + QStringLiteral("/EURIBOR.MDB"), shell, chosen);
    if (!loaded.opened)
        return report;
    report.opened = true;
    if (loaded.load.readError)
        shell.message(readErrorMessage(loaded.load));

    const QString copy = settings.folder + QStringLiteral("/Euribor_PORTALEDATI.txt");
    QString refused;
    const QStringList items = tenorItems(readAllLines(copy, &refused));
    if (!refused.isEmpty())
        shell.message(refused);
    if (items.isEmpty()) {
        shell.message(noTenorsMessage(copy));
        return report;
    }
    for (const QString& item : items)
        report.tenors.append(formats::tenorKey(item));
    const Quotes quotes =
        fetchQuotes(fetcher, shell, {settings.url, chosen, items, settings.today}, {},
                    [&](const QString& message, const QString&, const QString&) { shell.message(message); });
    report.pageEmpty = quotes.page.isEmpty();
    report.fetchFailure = quotes.failure;
    // As the window's cycle says when no rate came at all.
    if (Trim(quotes.extraction.lblQuote).isEmpty() && !hasRates(quotes.extraction.entries))
        shell.message(QStringLiteral("Non trovo dati in Internet !!!"));
    for (const quote::ExtractedItem& item : quotes.extraction.items) {
        if (!item.found)
            report.missing.append(item.key);
        else if (item.unavailableMessage)
            report.unavailable.append(item.key);
        else if (item.undated)
            report.undated.append(item.key);
    }
    if (!hasRates(quotes.extraction.entries))
        return report;

    FileChannels files;
    const QString history = settings.historyPath.isEmpty()
                                ? settings.folder + QStringLiteral("/Storico_Euribor.TXT")
                                : settings.historyPath;
    const RecordResult recorded =
        recordEntries(db, files, quotes.extraction.entries, history, settings.locale, shell);
    report.recorded = recorded.recorded;
    report.recordingStopped = recorded.stopped;
    report.linesFailure = recorded.linesFailure;
    return report;
}

} // namespace core
