#include "history_dates.h"

#include "log.h"
#include "publication_calendar.h"
#include "runtime_error.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace history {

RecordedDates readRecordedDates(const QString& dbPath, const QStringList& tenors) {
    RecordedDates out;
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    const auto fail = [&](int number) {
        qCWarning(lcHistory).noquote()
            << "cannot read the dates of" << dbPath << u'|' << (db ? sqlite3_errmsg(db) : "no connection");
        out.byTenor.clear();
        out.error = QStringLiteral("Impossibile leggere il database ") + dbPath + QStringLiteral(": ") +
                    rt::errorDescription(number);
    };
    if (!QFileInfo::exists(dbPath)) {
        fail(rt::DbFileNotFound);
        return out;
    }
    if (sqlite3_open_v2(QFile::encodeName(dbPath).constData(), &db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        fail(rt::DbCannotOpen);
        sqlite3_close_v2(db);
        return out;
    }
    // The window or the timer's update may be writing: wait for them a little.
    sqlite3_busy_timeout(db, 5000);
    // The index on (Tipo_Valuta, Data_Valuta) answers this without reading a record; repeats cost less
    // than asking SQLite to drop them.
    const int prepared = sqlite3_prepare_v2(
        db, "SELECT Data_Valuta FROM Storico_Euribor WHERE Tipo_Valuta = ? ORDER BY Data_Valuta", -1, &stmt,
        nullptr);
    if (prepared != SQLITE_OK) {
        const int code = prepared & 0xff;
        fail(code == SQLITE_NOTADB ? rt::DbUnrecognized
             : code == SQLITE_BUSY ? rt::DbLocked
                                   : rt::DbTableMissing);
        sqlite3_close_v2(db);
        return out;
    }
    for (const QString& tenor : tenors) {
        const QByteArray key = tenor.toUtf8();
        sqlite3_bind_text(stmt, 1, key.constData(), static_cast<int>(key.size()), SQLITE_STATIC);
        QVector<qint64> dates;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            // A date is eight ASCII digits: any other byte makes it no date, read as Latin-1 or not.
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            if (const qint64 day =
                    text ? dayNumber(QLatin1StringView(text, sqlite3_column_bytes(stmt, 0))) : 0)
                dates.append(day);
        }
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            fail((rc & 0xff) == SQLITE_BUSY ? rt::DbLocked : rt::DbQueryFailed);
            break;
        }
        if (!dates.isEmpty())
            out.byTenor.insert(tenor, dates);
    }
    sqlite3_finalize(stmt);
    sqlite3_close_v2(db);
    return out;
}

} // namespace history
