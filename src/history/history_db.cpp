#include "history_db.h"

#include "vb.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

#include <atomic>

using rt::RuntimeError;

namespace {

// SQLite's primary result codes that say why a database could not be used.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADb = 26;

int sqliteCode(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xff;
}

RuntimeError openError(const QSqlError& error, const QString& path) {
    switch (sqliteCode(error)) {
    case kSqliteCantOpen:
        return RuntimeError(QFileInfo::exists(path) ? rt::DbCannotOpen : rt::DbFileNotFound);
    case kSqliteNotADb:
        return RuntimeError(rt::DbUnrecognized);
    case kSqliteBusy:
    case kSqliteLocked:
        return RuntimeError(rt::DbLocked);
    default:
        return RuntimeError(rt::DbCannotOpen);
    }
}

RuntimeError writeError(const QSqlError& error) {
    switch (sqliteCode(error)) {
    case kSqliteBusy:
    case kSqliteLocked:
        return RuntimeError(rt::DbLocked);
    default: // read-only file, full disk, missing field
        return RuntimeError(rt::DbWriteFailed);
    }
}

QString nullToEmpty(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

// The rate field: Null (or an empty text) cannot be read as a number; a text that is no number
// is a type mismatch.
double readRate(const QVariant& v) {
    if (v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty()))
        throw RuntimeError(rt::InvalidUseOfNull);
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw RuntimeError(rt::TypeMismatch);
    return d;
}

QString newConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("history-%1").arg(++counter);
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

void HistoryDb::open(const QString& path) {
    close();
    const QString name = newConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // mode=rw: SQLite must not make a new, empty database where the user's is missing.
        QUrl uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        uri.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=3000"));
        std::optional<RuntimeError> failure;
        if (!db.open()) {
            failure = openError(db.lastError(), path);
        } else {
            // SQLite reads the file only on first use: make it show now whether it is a database.
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
                failure = openError(probe.lastError(), path);
        }
        if (failure) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw *failure;
        }
    }
    m_connection = name;
}

void HistoryDb::close() {
    if (m_connection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

HistoryDb::Load HistoryDb::load() const {
    if (!isOpen())
        throw RuntimeError(rt::DbNotOpen);
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM Storico_Euribor ORDER BY Data_Valuta, rowid"))) {
        const QString text = query.lastError().databaseText();
        throw RuntimeError(text.contains(QStringLiteral("no such table")) ? rt::DbTableMissing
                                                                          : rt::DbQueryFailed);
    }

    Load out;
    const QSqlRecord fields = query.record();
    const int type = fields.indexOf(QStringLiteral("Tipo_Valuta"));
    const int date = fields.indexOf(QStringLiteral("Data_Valuta"));
    const int rate = fields.indexOf(QStringLiteral("Quotazione"));
    const int descr = fields.indexOf(QStringLiteral("Descrizione"));
    const int note = fields.indexOf(QStringLiteral("Note"));
    const bool complete = type >= 0 && date >= 0 && rate >= 0 && descr >= 0 && note >= 0;

    bool first = true;
    while (query.next()) {
        if (!first) {
            // Only records whose tenor sorts after a single blank are reached by the walk.
            const QVariant t = type >= 0 ? query.value(type) : QVariant();
            if (t.isNull() || vb::RTrim(t.toString()) <= QStringLiteral(" "))
                continue;
        }
        first = false;
        try {
            if (!complete)
                throw RuntimeError(rt::DbFieldMissing);
            HistEntry e;
            e.type = vb::Trim(nullToEmpty(query.value(type)));
            e.date = vb::Trim(nullToEmpty(query.value(date)));
            e.descr = vb::Trim(nullToEmpty(query.value(descr)));
            e.note = vb::Trim(nullToEmpty(query.value(note)));
            e.quote = readRate(query.value(rate));
            out.entries.append(std::move(e));
        } catch (const RuntimeError& error) {
            out.readError = error;
            break;
        }
    }
    return out;
}

void HistoryDb::store(const HistEntry& entry) {
    if (!isOpen())
        throw RuntimeError(rt::DbNotOpen);
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QString type = vb::Trim(entry.type);
    const QString date = vb::Trim(entry.date);

    QSqlQuery lookup(db);
    lookup.prepare(QStringLiteral("SELECT rowid FROM Storico_Euribor WHERE Tipo_Valuta = ? AND Data_Valuta = "
                                  "? ORDER BY rowid LIMIT 1"));
    lookup.addBindValue(type);
    lookup.addBindValue(date);
    if (!lookup.exec())
        throw writeError(lookup.lastError());
    const bool exists = lookup.next();
    const qint64 rowid = exists ? lookup.value(0).toLongLong() : 0;
    lookup.finish();

    QSqlQuery write(db);
    if (exists) {
        write.prepare(
            QStringLiteral("UPDATE Storico_Euribor SET Tipo_Valuta = ?, Data_Valuta = ?, Quotazione = ?, "
                           "Descrizione = ?, Note = ? WHERE rowid = ?"));
    } else {
        write.prepare(QStringLiteral("INSERT INTO Storico_Euribor (Tipo_Valuta, Data_Valuta, Quotazione, "
                                     "Descrizione, Note) VALUES (?, ?, ?, ?, ?)"));
    }
    write.addBindValue(type);
    write.addBindValue(date);
    write.addBindValue(entry.quote);
    write.addBindValue(vb::Trim(entry.descr));
    write.addBindValue(vb::Trim(entry.note));
    if (exists)
        write.addBindValue(rowid);
    if (!write.exec())
        throw writeError(write.lastError());
}
