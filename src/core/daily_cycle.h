#pragma once
// The daily cycle without widgets: open and load the history, fetch the page and cut every tenor out
// of it, record the day's rates in the history files and the database, import exchange rates. The
// window drives these steps one handler at a time; the windowless update runs them in one go.
// Every message goes through the Shell.

#include "extraction.h"
#include "hist_entry.h"
#include "history_db.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class FileChannels;
class PageFetcher;
class Shell;

namespace core {

// ---- The history database ----

struct HistoryLoad {
    bool opened = false; // false: the database could not be opened, the program must end
    HistoryDb::Load load;
};

// Opens the database at path (reporting a failure with the critical box) and loads every record, or
// the records of one tenor with the whole history's count; a failing query offers "Riprova"/"Annulla",
// and giving up leaves an empty history.
HistoryLoad openAndLoad(HistoryDb& db, const QString& path, Shell& shell,
                        const std::optional<QString>& tenor = std::nullopt);

// The message for a record that could not be read, naming it.
QString readErrorMessage(const HistoryDb::Load& load);

// The history list's lines of one tenor (its entries that have a date), in load order. Only the lines
// of entries that changed since the last answer are made again: a cycle lists the same tenor three
// times, a day added in between, and ten years are thousands of lines.
class TenorLines {
public:
    QStringList lines(const HistArrays& entries, const QString& key, const QLocale& locale);

private:
    struct Line {
        QString type, date;
        double quote;
        QString text; // null: not listed
    };
    std::vector<Line> m_lines;
    QString m_key;
    QLocale m_locale;
};

// ---- The page ----

struct FetchRequest {
    QString url;
    QString chosenKey;      // the tenor the page client is asked for first
    QStringList tenorItems; // the tenor list, in its order
    QDate today;
};

struct Quotes {
    QString page;          // the page text as it arrived; empty when the fetch failed
    QString failure;       // why the fetch failed
    QString chosenCaption; // the chosen tenor's rate caption from the page client
    quote::Extraction extraction;
};

// Told, as the walk reaches it, that a tenor cannot be recorded (its rate is unavailable, or its date
// cell holds no day), with the message to show and the captions the labels hold at that moment.
using UnavailableNotice =
    std::function<void(const QString& message, const QString& lblQuote, const QString& lblData)>;

// The unavailable-rate message, naming its tenor.
QString unavailableMessage(const QString& key);
// The message for a rate whose date cell holds no day, naming the tenor and the cell's text.
QString undatedMessage(const QString& key, const QString& dateCell);

// Fetches the page (the client's "symbol not found" message included) and extracts every tenor.
// onPage receives the page text as soon as it arrives.
Quotes fetchQuotes(PageFetcher& fetcher, Shell& shell, const FetchRequest& request,
                   const std::function<void(const QString&)>& onPage, const UnavailableNotice& onUnavailable);

// Whether any entry holds a rate and a day the page gave.
bool hasRates(const HistArrays& entries);

// ---- The recording ----

struct Recorded {
    HistEntry entry;
    QString rateText;   // as written in the files
    bool fresh = false; // the database did not hold this rate for the tenor and day before
};

struct RecordResult {
    bool stopped = false;       // a message stopped the recording before it ended
    QVector<Recorded> recorded; // stored in the database, in array order
    QString linesFailure;       // why the history files did not get every line, when they did not
};

// Records every entry that has a rate and a day: the database first (one transaction), then the lines
// the history file and its companion do not hold yet, each file in one write. The lines are kept in a
// journal beside the database from before the commit until both files have them, so a recording cut
// short is completed by the next run, whatever its day; a failed commit writes no line, and a line
// already in a file is not written again.
RecordResult recordEntries(HistoryDb& db, FileChannels& files, const HistArrays& entries,
                           const QString& historyPath, const QLocale& locale, Shell& shell);

// Writes the lines an earlier recording left pending (their records are in the database); a failure
// is only logged, the next recording tries again and reports it.
void completePendingLines(HistoryDb& db);

// ---- The exchange-rate import ----

// Reads a file of official exchange rates and stores its records; false when the file could not be
// read (after the message).
bool importExchangeFile(HistoryDb& db, FileChannels& files, const QString& path, Shell& shell);

// ---- The whole update without a window ----

struct UpdateSettings {
    QString folder;      // the data folder: database, tenor list copy, history files
    QString historyPath; // empty: the folder's Storico_Euribor.TXT
    QString url;
    QLocale locale;
    QDate today;
};

struct UpdateReport {
    bool opened = false;    // the database could be opened
    bool pageEmpty = false; // the fetch gave no page
    QString fetchFailure;   // why, when the fetcher tells
    QStringList tenors;     // the tenor list's keys
    QVector<Recorded> recorded;
    QStringList missing;     // keys not on the page
    QStringList unavailable; // keys whose cell held no rate
    QStringList undated;     // keys whose date cell held no day
    bool recordingStopped = false;
    QString linesFailure; // why the history files lack lines of records stored
};

// Load, fetch, extract and record, as the window's daily cycle does.
UpdateReport runDailyUpdate(const UpdateSettings& settings, PageFetcher& fetcher, Shell& shell);

} // namespace core
