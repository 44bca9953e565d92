#pragma once
// The history database: EURIBOR.MDB (SQLite), table Storico_Euribor, one record per tenor and date.

#include "hist_entry.h"
#include "runtime_error.h"

#include <QString>

#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

class HistoryDb {
public:
    HistoryDb();
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    // Opens an existing database file; never creates one. An open connection to the same file is
    // kept; one to another file is closed first. Raises rt::RuntimeError when the file is missing,
    // locked or not a database.
    void open(const QString& path);
    // Ignores every failure.
    void close();
    bool isOpen() const { return m_db != nullptr; }
    // The open file's absolute path; empty when closed.
    const QString& path() const { return m_path; }

    struct Load {
        HistArrays entries;
        // The records a load of every record gives: entries.size() for that load, the whole history's
        // for a load of one tenor.
        qsizetype records = 0;
        // The first record that could not be read, and the number of them: each is passed over and
        // the load goes on with the next.
        std::optional<rt::RuntimeError> readError;
        QString readErrorType, readErrorDate;
        int unreadable = 0;
    };
    // Every record in date order (insertion order within a date). After the first record, records
    // whose tenor is empty or blank are passed over. Raises rt::RuntimeError when the query fails.
    // While no other program has written to the file, the records are not read again: what this
    // connection stored since the last read is already in the answer.
    Load load();
    // The records of one tenor (those whose type is key), as load() gives them, and the whole history's
    // count in records. Most of a long history is other tenors': it is looked over in the indexes, not
    // read, unless a record there would make the answer differ (then everything is read).
    Load load(const QString& key);

    // Adds the entry's record, or overwrites the first record of its tenor and date.
    // Raises rt::RuntimeError on failure.
    void store(const HistEntry& entry);

    // The rate of the record a store of this tenor and date would overwrite, if there is one and it
    // is a number. Raises rt::RuntimeError when the lookup fails.
    std::optional<double> storedQuote(const QString& type, const QString& date);

    // Stores of one recording go to the disk together: the records stored before a failure are kept
    // by the commit, which the caller makes on every path.
    void beginBatch();
    void commitBatch();

    // The lookup as the error messages show it.
    static QString lookupQueryText(const QString& type, const QString& date);

private:
    void storeOne(const HistEntry& entry);
    Load loadKept(const std::optional<QString>& key);
    Load readAll(bool plain);
    std::optional<Load> readTenor(const QString& key);
    std::optional<Load> readInTableOrder();
    Load readInDateOrder();
    qint64 dataVersion() const;
    qsizetype expectedRecords() const;
    // Brings the kept answer of load() up to date with one stored record, or drops it.
    void keepStored(const HistEntry& stored, bool inserted, qint64 rowid);
    void keep(const Load& load, QVector<qint64> rowids, const std::optional<QString>& key);
    struct Finalize {
        void operator()(sqlite3_stmt* stmt) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;
    sqlite3_stmt* prepared(Statement& slot, const char* sql);

    sqlite3* m_db = nullptr;
    // The statements of a store, prepared once per connection: an import stores thousands.
    Statement m_lookup, m_insert, m_update, m_quote;
    bool m_inBatch = false;
    HistArrays m_batchStored; // what the open batch has stored so far
    QString m_path;
    quint64 m_fileId = 0;

    // The last answer of load() (every record, or one tenor's: m_keptKey), with each entry's rowid, and
    // the file's version it was read at.
    std::optional<Load> m_kept;
    std::optional<QString> m_keptKey;
    bool m_keptPlain = false; // read from a table that gives back what is stored as stored
    QVector<qint64> m_keptRowids;
    qint64 m_keptMaxRowid = 0;
    qint64 m_keptVersion = -1;
};
