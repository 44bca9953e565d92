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

#include <QFileInfo>

#include <algorithm>
#include <iterator>

#include <csignal>

using rt::RuntimeError;
using vb::Trim;

namespace core {

namespace {
const QString kCrLf2 = QStringLiteral("\r\n\r\n");

// Tests kill the process at a named point of the recording to see what a crash there leaves behind.
void killPointForTests(const char* name) {
    static const QByteArray at = qgetenv("EURIBOR_TEST_KILL_AT");
    if (!at.isEmpty() && at == name)
        ::raise(SIGKILL);
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
    out.extraction =
        quote::extractAll(out.page, request.tenorItems, request.today, out.chosenCaption, todayCaption,
                          [&](const QString& key, const QString& lblQuote, const QString& lblData) {
                              qCWarning(lcPage).noquote() << "no rate on the page for" << key;
                              if (onUnavailable)
                                  onUnavailable(key, lblQuote, lblData);
                              else
                                  shell.message(unavailableMessage(key));
                          });
    for (const quote::ExtractedItem& item : std::as_const(out.extraction.items))
        if (!item.found && !out.page.isEmpty())
            qCWarning(lcPage).noquote() << "tenor not on the page:" << item.key;
    if (out.page.isEmpty())
        qCWarning(lcPage).noquote() << "no page from" << request.url << u'|' << out.failure;
    return out;
}

bool hasRates(const HistArrays& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const HistEntry& e) { return !e.unavailable; });
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
    auto fileError = [&](const RuntimeError& e) {
        qCWarning(lcHistory).noquote() << "cannot write" << path << "or" << csv << u'|' << e.description();
        shell.message(QStringLiteral("Errore in registrazione Storico Quotazioni - ") + e.description() +
                      kCrLf2 + path);
        files.closeAll();
    };

    // Each file gets its header when it is missing; an existing file is only ever appended to.
    for (const QString& file : {path, csv}) {
        if (QFileInfo::exists(file))
            continue;
        try {
            files.close(1);
            files.open(1, file, FileChannels::Mode::Create);
            files.printLine(1, history::historyHeader());
            files.close(1);
        } catch (const RuntimeError& e) {
            // There but unreadable: the append below reports it.
            if (e.number() != 58) {
                fileError(e);
                return out;
            }
        }
    }
    try {
        files.close(1);
        files.open(1, path, FileChannels::Mode::Append);
        files.close(2);
        files.open(2, csv, FileChannels::Mode::Append);
    } catch (const RuntimeError& e) {
        fileError(e);
        return out;
    }

    const QLocale writing = history::recordingLocale(path, locale);

    // The database first: a line in the files always has its record.
    QString working;
    std::optional<RuntimeError> failure;
    QVector<Recorded> stored;
    try {
        db.beginBatch();
        for (const HistEntry& e : entries) {
            // A rate the page did not give is never recorded: it would overwrite a real one.
            if (e.unavailable)
                continue;
            working = HistoryDb::lookupQueryText(Trim(e.type), Trim(e.date));
            db.store(e);
            stored.append({e, history::fileRateText(e.quote, writing)});
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
        QStringList lines, csvLines;
        for (const Recorded& r : std::as_const(stored)) {
            lines.append(history::historyFileLine(r.entry.date, r.rateText, Trim(r.entry.descr)));
            csvLines.append(history::csvLine(r.entry.date, r.rateText, Trim(r.entry.descr)));
        }
        const std::pair<int, const QStringList*> targets[] = {{1, &lines}, {2, &csvLines}};
        for (const auto& [channel, all] : targets) {
            const QStringList missing = history::missingLines(channel == 1 ? path : csv, *all);
            if (channel == 2)
                killPointForTests("between-files");
            try {
                files.printLines(channel, missing);
            } catch (const RuntimeError& e) {
                failure = e;
                working = missing.value(0);
                break;
            }
        }
    }
    files.closeAll();
    if (failure) {
        qCWarning(lcHistory).noquote() << "recording stopped |" << failure->description() << u'|' << working;
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
    try {
        db.beginBatch();
        for (const QString& text : file.records) {
            const exchange::Record r = exchange::parseRecord(text);
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
    bool tooLarge = false;
    const QStringList items = tenorItems(readAllLines(copy, &tooLarge));
    if (tooLarge)
        shell.message(tooLargeMessage(copy));
    if (items.isEmpty()) {
        shell.message(noTenorsMessage(copy));
        return report;
    }
    for (const QString& item : items)
        report.tenors.append(formats::tenorKey(item));
    const Quotes quotes = fetchQuotes(fetcher, shell, {settings.url, chosen, items, settings.today}, {},
                                      [&](const QString& key, const QString&, const QString&) {
                                          report.unavailable.append(key);
                                          shell.message(unavailableMessage(key));
                                      });
    report.pageEmpty = quotes.page.isEmpty();
    report.fetchFailure = quotes.failure;
    for (const quote::ExtractedItem& item : quotes.extraction.items)
        if (!item.found)
            report.missing.append(item.key);
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
    return report;
}

} // namespace core
