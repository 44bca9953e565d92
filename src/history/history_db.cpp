#include "history_db.h"

#include "file_channels.h"
#include "log.h"
#include "vb.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <memory>
#include <numeric>
#include <sys/stat.h>
#include <utility>

using rt::RuntimeError;

namespace {

// SQLite's primary result codes that say why a database could not be used.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteFull = 13;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADb = 26;

bool busy(int code) {
    return (code & 0xff) == kSqliteBusy || (code & 0xff) == kSqliteLocked;
}

RuntimeError openError(sqlite3* db, int code, const QString& path) {
    qCWarning(lcHistory).noquote() << "impossibile aprire" << path << u'|'
                                   << (db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
    if (busy(code))
        return RuntimeError(rt::DbLocked);
    switch (code & 0xff) {
    case kSqliteCantOpen:
        return RuntimeError(QFileInfo::exists(path) ? rt::DbCannotOpen : rt::DbFileNotFound);
    case kSqliteNotADb:
        return RuntimeError(rt::DbUnrecognized);
    default:
        return RuntimeError(rt::DbCannotOpen);
    }
}

RuntimeError writeError(int code, const QString& text) {
    qCWarning(lcHistory).noquote() << "scrittura non riuscita |" << text;
    if (busy(code))
        return RuntimeError(rt::DbLocked);
    // Said as the history files say it, so the user learns the cause and not only the place.
    if ((code & 0xff) == kSqliteFull)
        return RuntimeError(rt::DiskFull);
    // Otherwise a read-only file, a missing field.
    return RuntimeError(rt::DbWriteFailed);
}

RuntimeError writeError(sqlite3* db) {
    return writeError(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)));
}

// Every text binds as text: an empty one, null or not, is stored as '' and never as SQL NULL.
void bindText(sqlite3_stmt* stmt, int index, const QString& text) {
    static const char16_t empty = 0;
    const void* data = text.isNull() ? static_cast<const void*>(&empty) : text.utf16();
    sqlite3_bind_text16(stmt, index, data, static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
}

// The kept answer holds an empty text as the empty text it is, as a fresh read gives it.
QString nonNull(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

} // namespace

HistoryDb::HistoryDb() = default;

HistoryDb::~HistoryDb() {
    close();
}

QString HistoryDb::lookupQueryText(const QString& type, const QString& date) {
    return QStringLiteral("select * from Storico_Euribor where ") + QStringLiteral(" Tipo_Valuta = '") +
           type + QStringLiteral("' and ") + QStringLiteral(" Data_Valuta = '") + date + u'\'';
}

namespace {

// The file's identity, so a kept connection is never one to a file replaced meanwhile.
quint64 fileIdentity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return (static_cast<quint64>(st.st_dev) << 32) ^ static_cast<quint64>(st.st_ino);
}

// The texts of ten years of records repeat: a dozen tenors, a date per day, few notes. Each distinct
// text is made once and shared by every record that holds it; a small hash table finds it again.
class TextPool {
public:
    QString get(const char* bytes, int size) {
        const std::string_view raw(bytes, static_cast<std::size_t>(size));
        if (m_last && m_last->raw == raw)
            return *m_last->text;
        Slot& slot = m_table[std::hash<std::string_view>{}(raw) % kBuckets];
        if (!slot.text.has_value() || slot.raw != raw) {
            slot.raw.assign(raw);
            slot.text = vb::Trim(QString::fromUtf8(bytes, size));
        }
        m_last = &slot;
        return *slot.text;
    }

private:
    static constexpr std::size_t kBuckets = 509;
    struct Slot {
        std::string raw;
        std::optional<QString> text;
    };
    std::array<Slot, kBuckets> m_table;
    const Slot* m_last = nullptr;
};

// Dates of plain ASCII compare alike as UTF-16 here and as UTF-8 bytes in SQLite.
bool isAscii(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// Orders records and dates by date, for searches in the date-ordered arrays.
struct ByDate {
    bool operator()(const HistEntry& e, const QString& date) const { return e.date < date; }
    bool operator()(const QString& date, const HistEntry& e) const { return date < e.date; }
};

} // namespace

void HistoryDb::open(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const quint64 id = fileIdentity(absolute);
    if (isOpen() && absolute == m_path && id != 0 && id == m_fileId)
        return;
    close();
    // SQLite would read a device without end, or wait on a pipe.
    if (isSpecialFile(absolute)) {
        qCWarning(lcHistory).noquote() << "impossibile aprire" << path << "| non è un file regolare";
        throw RuntimeError(rt::DbCannotOpen, rt::errorDescription(rt::DbCannotOpen) +
                                                 QStringLiteral(": non è un file regolare"));
    }
    sqlite3* db = nullptr;
    // Without SQLITE_OPEN_CREATE: SQLite must not make a new, empty database where the user's is missing.
    // A connection is used by one thread only, so SQLite need not lock it at every call.
    int rc = sqlite3_open_v2(QFile::encodeName(absolute).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        // SQLite reads the file only on first use: make it show now whether it is a database.
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const RuntimeError failure = openError(db, db ? sqlite3_extended_errcode(db) : rc, path);
        sqlite3_close_v2(db);
        throw failure;
    }
    // The loads walk the pages in order and keep what they need: SQLite's own cache of those pages
    // (2 MiB by default) would only double them in memory.
    sqlite3_exec(db, "PRAGMA cache_size = -256", nullptr, nullptr, nullptr);
    m_db = db;
    m_path = absolute;
    m_fileId = id;
}

void HistoryDb::close() {
    if (!m_db)
        return;
    m_lookup.reset();
    m_insert.reset();
    m_update.reset();
    m_quote.reset();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_path.clear();
    m_fileId = 0;
    m_kept.reset();
    m_keptKey.reset();
    // Closing undid an open batch: nothing of it may be stored again later, in this file or another.
    m_inBatch = false;
    m_batchStored.clear();
}

qint64 HistoryDb::dataVersion() const {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db, "PRAGMA data_version", -1, &raw, nullptr) != SQLITE_OK)
        return -1;
    const qint64 version = sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : -1;
    sqlite3_finalize(raw);
    return version;
}

namespace {

// One record of "SELECT rowid AS rowid_, * FROM Storico_Euribor", read as the load reads it.
class RecordReader {
public:
    explicit RecordReader(sqlite3_stmt* stmt)
        : m_stmt(stmt)
        , m_type(column("Tipo_Valuta"))
        , m_date(column("Data_Valuta"))
        , m_rate(column("Quotazione"))
        , m_descr(column("Descrizione"))
        , m_note(column("Note")) {}

    bool complete() const { return m_type >= 0 && m_date >= 0 && m_rate >= 0 && m_descr >= 0 && m_note >= 0; }
    qint64 rowid() const { return sqlite3_column_int64(m_stmt, 0); }
    bool typeNull() const { return m_type < 0 || sqlite3_column_type(m_stmt, m_type) == SQLITE_NULL; }
    QString type() { return typeNull() ? QString() : pooled(m_types, m_type); }
    // Only records whose tenor sorts after a single blank are reached by the walk.
    static bool blank(const QString& type) { return vb::RTrim(type) <= u" "; }

    // The record with its tenor as type() gave it. Raises rt::RuntimeError when it cannot be read.
    HistEntry entry(const QString& type) {
        if (!complete())
            throw RuntimeError(rt::DbFieldMissing);
        HistEntry e;
        e.type = type;
        e.date = pooled(m_dates, m_date);
        e.descr = pooled(m_descrs, m_descr);
        e.note = pooled(m_notes, m_note);
        e.quote = number(m_rate);
        return e;
    }
    // Whether SQLite orders the record's date as the text it was read as: plain ASCII text without
    // blanks around it.
    bool plainDate(const HistEntry& e) const {
        if (sqlite3_column_type(m_stmt, m_date) != SQLITE_TEXT ||
            e.date.size() != sqlite3_column_bytes(m_stmt, m_date))
            return false;
        return isAscii(e.date);
    }
    // The tenor and date of a record that could not be read, for the message.
    QString typeText() const { return m_type >= 0 ? text(m_type) : QString(); }
    QString dateText() const { return m_date >= 0 ? text(m_date) : QString(); }

private:
    int column(const char* name) const {
        for (int c = 0; c < sqlite3_column_count(m_stmt); ++c)
            if (qstricmp(sqlite3_column_name(m_stmt, c), name) == 0)
                return c;
        return -1;
    }
    // Null text reads as empty text.
    QString text(int c) const {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c));
        return bytes ? vb::Trim(QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, c))) : QString();
    }
    QString pooled(TextPool& pool, int c) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c));
        return bytes ? pool.get(bytes, sqlite3_column_bytes(m_stmt, c)) : QString();
    }
    // The rate: Null (or an empty text) cannot be read as a number; other text is a type mismatch.
    double number(int c) const {
        switch (sqlite3_column_type(m_stmt, c)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_stmt, c);
        case SQLITE_NULL:
            throw RuntimeError(rt::InvalidUseOfNull);
        default:
            if (sqlite3_column_bytes(m_stmt, c) == 0)
                throw RuntimeError(rt::InvalidUseOfNull);
            throw RuntimeError(rt::TypeMismatch);
        }
    }

    sqlite3_stmt* m_stmt;
    int m_type, m_date, m_rate, m_descr, m_note;
    TextPool m_types, m_dates, m_descrs, m_notes;
};

using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

StatementPtr prepareRead(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        raw = nullptr;
    }
    return {raw, sqlite3_finalize};
}

// Whether SQLite gives a column of this declared type text or no affinity, so text stays text.
bool keepsText(const QByteArray& declared) {
    const QByteArray t = declared.toUpper();
    return !t.contains("INT") && (t.contains("CHAR") || t.contains("CLOB") || t.contains("TEXT") ||
                                  t.contains("BLOB") || t.isEmpty());
}

// Whether the table gives back what this program stores as it was stored, and orders and matches texts
// byte for byte, as the shipped schema does: UTF-8 text, in columns that keep text as text, the rate in a
// numeric one, no collation, no rowid or generated column of its own, no conflict replacing other
// records, no trigger. The faster reads and the kept answer rely on it; any other table is read whole,
// in date order. Raises rt::RuntimeError (DbLocked) when another program's lock outlasts the busy wait.
bool plainTable(sqlite3* db) {
    const auto row = [&](const StatementPtr& stmt) {
        if (!stmt) {
            if (busy(sqlite3_extended_errcode(db)))
                throw RuntimeError(rt::DbLocked);
            return false;
        }
        const int rc = sqlite3_step(stmt.get());
        if (busy(rc))
            throw RuntimeError(rt::DbLocked);
        return rc == SQLITE_ROW;
    };
    const StatementPtr table = prepareRead(db, "SELECT sql, (SELECT count(*) FROM sqlite_master WHERE type = "
                                               "'trigger' AND tbl_name = 'Storico_Euribor' COLLATE NOCASE) "
                                               "FROM sqlite_master WHERE type = 'table' AND name = "
                                               "'Storico_Euribor' COLLATE NOCASE");
    if (!row(table) || sqlite3_column_int64(table.get(), 1) != 0)
        return false;
    const auto* sqlText = reinterpret_cast<const char*>(sqlite3_column_text(table.get(), 0));
    const QByteArray sql = QByteArray(sqlText ? sqlText : "").toUpper();
    for (const char* word : {"COLLATE", "WITHOUT ROWID", "REPLACE"})
        if (sql.contains(word))
            return false;

    // The ranges of the checks compare UTF-8 bytes.
    const StatementPtr encoding = prepareRead(db, "PRAGMA encoding");
    if (!row(encoding) ||
        qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(encoding.get(), 0)), "UTF-8") != 0)
        return false;

    const StatementPtr columns = prepareRead(db, "PRAGMA table_xinfo(Storico_Euribor)");
    int known = 0;
    while (row(columns)) {
        const QByteArray name =
            QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(columns.get(), 1))).toLower();
        const bool text =
            keepsText(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(columns.get(), 2))));
        const bool key = sqlite3_column_int(columns.get(), 5) != 0;
        const bool hidden = sqlite3_column_int(columns.get(), 6) != 0;
        if (key || hidden || name == "rowid" || name == "oid" || name == "_rowid_")
            return false;
        if (name == "quotazione") {
            if (text)
                return false;
            ++known;
        } else if (name == "tipo_valuta" || name == "data_valuta" || name == "descrizione" ||
                   name == "note") {
            if (!text)
                return false;
            ++known;
        }
    }
    return known == 5;
}

HistoryDb::Load ofTenor(const HistoryDb::Load& all, const QString& key) {
    HistoryDb::Load out = all;
    out.entries.clear();
    for (const HistEntry& e : all.entries)
        if (e.type == key)
            out.entries.append(e);
    out.records = all.entries.size();
    return out;
}
} // namespace

HistoryDb::Load HistoryDb::load() {
    return loadKept(std::nullopt);
}

HistoryDb::Load HistoryDb::load(const QString& key) {
    return loadKept(key);
}

HistoryDb::Load HistoryDb::loadKept(const std::optional<QString>& key) {
    if (!isOpen())
        throw RuntimeError(rt::DbNotOpen);
    // Another program's commit changes the version; this connection's own do not.
    const qint64 version = dataVersion();
    if (m_kept && version >= 0 && version == m_keptVersion) {
        if (m_keptKey == key)
            return *m_kept;
        if (!m_keptKey)
            return ofTenor(*m_kept, *key);
    }
    const bool plain = plainTable(m_db);
    if (key && plain) {
        if (std::optional<Load> one = readTenor(*key)) {
            m_keptVersion = version;
            return *std::move(one);
        }
    }
    Load all = readAll(plain);
    m_keptVersion = version;
    return key ? ofTenor(all, *key) : all;
}

void HistoryDb::keepStored(const HistEntry& stored, bool inserted, qint64 rowid) {
    if (!m_kept)
        return;
    // Another table may give back, or order, a record otherwise than stored.
    if (!m_keptPlain) {
        m_kept.reset();
        return;
    }
    HistArrays& entries = m_kept->entries;
    // What the load's rules would treat otherwise than a plain record is read again next time, and so
    // is what SQLite does not store as given: a rate that is no number (stored as Null), a text that is
    // not valid UTF-16 or starts with a byte order mark (dropped when bound).
    const auto asGiven = [](const QString& t) {
        return QStringView(t).isValidUtf16() && !t.startsWith(QChar(0xFEFF)) && !t.startsWith(QChar(0xFFFE));
    };
    const bool plain = !stored.date.isEmpty() && !RecordReader::blank(stored.type) && isAscii(stored.date) &&
                       !std::isnan(stored.quote) && asGiven(stored.type) && asGiven(stored.descr) &&
                       asGiven(stored.note);
    if (!plain || m_kept->unreadable > 0) {
        m_kept.reset();
        return;
    }
    if (inserted)
        ++m_kept->records;
    if (m_keptKey && stored.type != *m_keptKey)
        return;
    if (!inserted) {
        // The record kept its date: it is among those of that date.
        const auto [from, to] = std::equal_range(entries.cbegin(), entries.cend(), stored.date, ByDate{});
        qsizetype at = -1;
        for (auto it = from; it != to && at < 0; ++it)
            if (m_keptRowids[it - entries.cbegin()] == rowid)
                at = it - entries.cbegin();
        if (at < 0)
            at = m_keptRowids.lastIndexOf(rowid);
        if (at < 0) {
            m_kept.reset();
            return;
        }
        entries[at] = stored;
        return;
    }
    // A new rowid is nearly always the largest: the record goes last among those of its date. Past the
    // largest rowid SQLite picks any free one.
    if (rowid <= m_keptMaxRowid) {
        m_kept.reset();
        return;
    }
    const auto after = std::upper_bound(entries.cbegin(), entries.cend(), stored.date, ByDate{});
    const qsizetype at = after - entries.cbegin();
    // A new first record changes which blank tenors are passed over; one tenor's history was read only
    // where there are none.
    if (!m_keptKey && at == 0 && !entries.isEmpty()) {
        m_kept.reset();
        return;
    }
    entries.insert(at, stored);
    m_keptRowids.insert(at, rowid);
    m_keptMaxRowid = rowid;
}

void HistoryDb::keep(const Load& load, QVector<qint64> rowids, const std::optional<QString>& key) {
    m_kept = load;
    m_keptKey = key;
    m_keptMaxRowid = rowids.isEmpty() ? 0 : *std::max_element(rowids.cbegin(), rowids.cend());
    m_keptRowids = std::move(rowids);
}

// The largest rowid is about the number of records (they are added, seldom removed), so the arrays
// grow once; bounded for rowids set by hand (beyond the bound they grow as needed).
qsizetype HistoryDb::expectedRecords() const {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT max(rowid) FROM Storico_Euribor", -1, &raw, nullptr) != SQLITE_OK)
        return 0;
    const qint64 largest = sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : 0;
    sqlite3_finalize(raw);
    return static_cast<qsizetype>(std::clamp<qint64>(largest, 0, 1 << 18));
}

HistoryDb::Load HistoryDb::readAll(bool plain) {
    m_kept.reset();
    m_keptKey.reset();
    m_keptPlain = plain;
    if (plain) {
        if (std::optional<Load> fast = readInTableOrder())
            return *std::move(fast);
    }
    return readInDateOrder();
}

// Records are added day after day, so the table's own order is nearly always the date order already,
// and a walk of the table costs a third of a walk of the date index. The walk gives up, for the walk in
// date order, on anything that would make the answers differ: a blank tenor, a record that cannot be read,
// a date SQLite orders otherwise than its text. Dates out of order are sorted here, stably, as the
// rowid breaks ties.
std::optional<HistoryDb::Load> HistoryDb::readInTableOrder() {
    // In rowid order whatever index SQLite would rather walk: the rowid breaks ties between dates.
    const StatementPtr stmt =
        prepareRead(m_db, "SELECT rowid AS rowid_, * FROM Storico_Euribor ORDER BY rowid");
    if (!stmt)
        return std::nullopt;
    RecordReader reader(stmt.get());
    if (!reader.complete())
        return std::nullopt;
    Load out;
    QVector<qint64> rowids;
    const qsizetype expected = expectedRecords();
    out.entries.reserve(expected);
    rowids.reserve(expected);
    bool ordered = true;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        const QString type = reader.type();
        if (RecordReader::blank(type))
            return std::nullopt;
        try {
            HistEntry e = reader.entry(type);
            if (!reader.plainDate(e))
                return std::nullopt;
            if (ordered && !out.entries.isEmpty() && e.date < out.entries.constLast().date)
                ordered = false;
            out.entries.append(std::move(e));
            rowids.append(reader.rowid());
        } catch (const RuntimeError&) {
            return std::nullopt;
        }
    }
    if (rc != SQLITE_DONE) {
        // Another program's lock held past the busy wait: the walk in date order would wait as long again.
        if (out.entries.isEmpty() && busy(rc))
            throw RuntimeError(rt::DbLocked);
        return std::nullopt;
    }
    if (!ordered) {
        std::vector<qsizetype> order(static_cast<std::size_t>(out.entries.size()));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](qsizetype a, qsizetype b) { return out.entries[a].date < out.entries[b].date; });
        HistArrays sorted;
        QVector<qint64> sortedRowids;
        sorted.reserve(out.entries.size());
        sortedRowids.reserve(out.entries.size());
        for (const qsizetype i : order) {
            sorted.append(std::move(out.entries[i]));
            sortedRowids.append(rowids[i]);
        }
        out.entries = std::move(sorted);
        rowids = std::move(sortedRowids);
    }
    out.records = out.entries.size();
    keep(out, std::move(rowids), std::nullopt);
    return out;
}

HistoryDb::Load HistoryDb::readInDateOrder() {
    sqlite3* db = m_db;
    const StatementPtr stmt =
        prepareRead(db, "SELECT rowid AS rowid_, * FROM Storico_Euribor ORDER BY Data_Valuta, rowid");
    if (!stmt) {
        const bool noTable = QByteArray(sqlite3_errmsg(db)).contains("no such table");
        throw RuntimeError(noTable ? rt::DbTableMissing : rt::DbQueryFailed);
    }
    RecordReader reader(stmt.get());

    Load out;
    QVector<qint64> rowids;
    out.entries.reserve(expectedRecords());
    bool first = true;
    // The kept answer is brought up to date by searches on the date; they need the dates as SQLite
    // ordered them.
    bool keepable = true;
    while (true) {
        const int rc = sqlite3_step(stmt.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW) {
            qCWarning(lcHistory).noquote() << "lettura interrotta |" << sqlite3_errmsg(db);
            // Nothing read yet: the query itself failed (another program's lock held too long, say),
            // and the user may try again.
            if (first)
                throw RuntimeError(busy(rc) ? rt::DbLocked : rt::DbQueryFailed);
            out.readError = RuntimeError(rt::DbCannotOpen);
            ++out.unreadable;
            keepable = false;
            break;
        }
        const QString type = reader.type();
        if (!first && RecordReader::blank(type))
            continue;
        first = false;
        try {
            HistEntry e = reader.entry(type);
            keepable = keepable && reader.plainDate(e);
            out.entries.append(std::move(e));
            rowids.append(reader.rowid());
        } catch (const RuntimeError& error) {
            // One bad record must not hide the history after it.
            if (!out.readError) {
                out.readError = error;
                out.readErrorType = reader.typeText();
                out.readErrorDate = reader.dateText();
            }
            ++out.unreadable;
        }
    }
    out.records = out.entries.size();
    if (keepable)
        keep(out, std::move(rowids), std::nullopt);
    return out;
}

// What would make one tenor's records differ from its part of every record, all searched in the
// indexes: a tenor that is missing, blank, led by a control character, a blank or a byte order mark
// (which the reading drops), or not text (the walk passes such records over or sorts them first), the key
// with blanks after it (the same tenor once trimmed), and a rate that is not a number (the load names
// that record). The rates' index holds only such records; where it is missing (a database made before
// it was shipped, another program's table) SQLite reads every record's rate instead, with the same answer.
std::optional<HistoryDb::Load> HistoryDb::readTenor(const QString& key) {
    m_kept.reset();
    m_keptKey.reset();
    m_keptPlain = true;
    // A tenor that could not be decoded reads as U+FFFD: such a key may stand for several texts.
    if (key.contains(QChar::ReplacementCharacter))
        return std::nullopt;
    sqlite3* db = m_db;
    // Both queries see the same records.
    const bool ownTransaction = sqlite3_get_autocommit(db) != 0;
    if (ownTransaction && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return std::nullopt;
    const auto end = qScopeGuard([&] {
        if (ownTransaction)
            sqlite3_exec(db, "END", nullptr, nullptr, nullptr);
    });

    const StatementPtr check = prepareRead(
        db, "SELECT (SELECT count(*) FROM Storico_Euribor WHERE Tipo_Valuta IS NULL OR Tipo_Valuta < '!' "
            "OR Tipo_Valuta >= x'' OR (Tipo_Valuta >= char(0xFEFF) AND Tipo_Valuta < char(0xFF00))), "
            "(SELECT count(*) FROM Storico_Euribor WHERE Tipo_Valuta > ?1 AND Tipo_Valuta < ?1 || '!'), "
            "(SELECT count(*) FROM Storico_Euribor WHERE typeof(Quotazione) NOT IN ('integer', 'real')), "
            "(SELECT count(*) FROM Storico_Euribor)");
    if (!check)
        return std::nullopt;
    bindText(check.get(), 1, key);
    const int rc = sqlite3_step(check.get());
    if (rc != SQLITE_ROW) {
        // Another program's lock held past the busy wait: reading everything would wait as long again.
        if (busy(rc))
            throw RuntimeError(rt::DbLocked);
        return std::nullopt;
    }
    for (int c = 0; c < 3; ++c)
        if (sqlite3_column_int64(check.get(), c) != 0)
            return std::nullopt;

    const StatementPtr stmt = prepareRead(
        db,
        "SELECT rowid AS rowid_, * FROM Storico_Euribor WHERE Tipo_Valuta = ?1 ORDER BY Data_Valuta, rowid");
    if (!stmt)
        return std::nullopt;
    bindText(stmt.get(), 1, key);
    RecordReader reader(stmt.get());
    if (!reader.complete())
        return std::nullopt;
    Load out;
    out.records = static_cast<qsizetype>(sqlite3_column_int64(check.get(), 3));
    QVector<qint64> rowids;
    bool keepable = true;
    int step;
    while ((step = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        try {
            HistEntry e = reader.entry(reader.type());
            if (e.type != key)
                return std::nullopt;
            keepable = keepable && reader.plainDate(e);
            out.entries.append(std::move(e));
            rowids.append(reader.rowid());
        } catch (const RuntimeError&) {
            return std::nullopt;
        }
    }
    if (step != SQLITE_DONE)
        return std::nullopt;
    if (keepable)
        keep(out, std::move(rowids), key);
    return out;
}

void HistoryDb::beginBatch() {
    if (!isOpen())
        throw RuntimeError(rt::DbNotOpen);
    // Taking the write lock at once lets the busy wait cover another program's open write; a plain
    // BEGIN would meet it only at the first store, where SQLite refuses without waiting.
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw writeError(m_db);
    m_inBatch = true;
    m_batchStored.clear();
}

void HistoryDb::commitBatch() {
    if (!isOpen())
        return;
    const HistArrays stored = std::exchange(m_batchStored, {});
    m_inBatch = false;
    const bool stillOpen = sqlite3_get_autocommit(m_db) == 0;
    if (stillOpen && sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return;
    if (stillOpen)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    // What the kept answer of load() took from the undone stores is no longer true.
    m_kept.reset();
    // SQLite undoes the whole transaction on a full disk, an I/O error or a refused commit: the records
    // stored before the failure are stored again, each on its own.
    for (const HistEntry& e : stored)
        storeOne(e);
}

void HistoryDb::Finalize::operator()(sqlite3_stmt* stmt) const {
    sqlite3_finalize(stmt);
}

sqlite3_stmt* HistoryDb::prepared(Statement& slot, const char* sql) {
    if (!slot) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK)
            throw writeError(m_db);
        slot.reset(raw);
    }
    return slot.get();
}

std::optional<double> HistoryDb::storedQuote(const QString& type, const QString& date) {
    if (!isOpen())
        throw RuntimeError(rt::DbNotOpen);
    sqlite3_stmt* stmt = prepared(m_quote, "SELECT Quotazione FROM Storico_Euribor WHERE Tipo_Valuta = ? "
                                           "AND Data_Valuta = ? ORDER BY rowid LIMIT 1");
    bindText(stmt, 1, nonNull(vb::Trim(type)));
    bindText(stmt, 2, nonNull(vb::Trim(date)));
    const int rc = sqlite3_step(stmt);
    std::optional<double> out;
    if (rc == SQLITE_ROW &&
        (sqlite3_column_type(stmt, 0) == SQLITE_FLOAT || sqlite3_column_type(stmt, 0) == SQLITE_INTEGER))
        out = sqlite3_column_double(stmt, 0);
    sqlite3_reset(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw RuntimeError(busy(rc) ? rt::DbLocked : rt::DbQueryFailed);
    return out;
}

void HistoryDb::store(const HistEntry& entry) {
    storeOne(entry);
    if (m_inBatch)
        m_batchStored.append(entry);
}

void HistoryDb::storeOne(const HistEntry& entry) {
    if (!isOpen())
        throw RuntimeError(rt::DbNotOpen);
    // The record as stored, and looked up by: an empty key is the empty text.
    const HistEntry stored{nonNull(vb::Trim(entry.type)),  nonNull(vb::Trim(entry.date)), entry.quote,
                           nonNull(vb::Trim(entry.descr)), nonNull(vb::Trim(entry.note)), false};

    // Straight on SQLite, like the load: an import stores thousands of records.
    sqlite3* db = m_db;
    const auto lookUp = [&]() -> std::optional<qint64> {
        sqlite3_stmt* lookup = prepared(m_lookup, "SELECT rowid FROM Storico_Euribor WHERE Tipo_Valuta = ? "
                                                  "AND Data_Valuta = ? ORDER BY rowid LIMIT 1");
        bindText(lookup, 1, stored.type);
        bindText(lookup, 2, stored.date);
        const int found = sqlite3_step(lookup);
        const std::optional<qint64> rowid =
            found == SQLITE_ROW ? std::optional<qint64>(sqlite3_column_int64(lookup, 0)) : std::nullopt;
        sqlite3_reset(lookup);
        if (found != SQLITE_ROW && found != SQLITE_DONE)
            throw writeError(db);
        return rowid;
    };
    // Writes the record over rowid, or adds it; the number of records written.
    const auto write = [&](std::optional<qint64> rowid) {
        sqlite3_stmt* stmt =
            rowid ? prepared(m_update, "UPDATE Storico_Euribor SET Tipo_Valuta = ?, Data_Valuta = ?, "
                                       "Quotazione = ?, Descrizione = ?, Note = ? WHERE rowid = ?")
                  : prepared(m_insert, "INSERT INTO Storico_Euribor (Tipo_Valuta, Data_Valuta, "
                                       "Quotazione, Descrizione, Note) VALUES (?, ?, ?, ?, ?)");
        bindText(stmt, 1, stored.type);
        bindText(stmt, 2, stored.date);
        sqlite3_bind_double(stmt, 3, stored.quote);
        bindText(stmt, 4, stored.descr);
        bindText(stmt, 5, stored.note);
        if (rowid)
            sqlite3_bind_int64(stmt, 6, *rowid);
        const int written = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (written != SQLITE_DONE)
            throw writeError(db);
        return sqlite3_changes(db);
    };

    if (const std::optional<qint64> rowid = lookUp()) {
        if (write(rowid) > 0) {
            keepStored(stored, false, *rowid);
            return;
        }
        // Nothing written: another program removed the record since the lookup (it is added again),
        // or a trigger of its own dropped the write, which is never reported as stored.
        m_kept.reset();
        if (lookUp())
            throw RuntimeError(rt::DbWriteFailed);
    }
    if (write(std::nullopt) == 0) {
        m_kept.reset();
        throw RuntimeError(rt::DbWriteFailed);
    }
    keepStored(stored, true, sqlite3_last_insert_rowid(db));
}
