#include "sqlite_files.h"

#include "fakes.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <functional>

#include <sqlite3.h>

namespace {

bool refusing = false;

int refuseCommit(void*) {
    return refusing ? 1 : 0;
}

int hookCommits(sqlite3* db, char**, const sqlite3_api_routines*) {
    sqlite3_commit_hook(db, refuseCommit, nullptr);
    return SQLITE_OK;
}

void withDb(const QString& path, const std::function<void(QSqlQuery&)>& body) {
    const QString name = QStringLiteral("test-helper");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        db.transaction();
        QSqlQuery q(db);
        body(q);
        db.commit();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

void createHistoryDatabase(const QString& path) {
    execOn(path, QString::fromUtf8(readFile(QStringLiteral(EURIBOR_SOURCE_DIR "/data/schema.sql"))));
}

void insertRows(const QString& path, const QVector<Row>& rows) {
    withDb(path, [&](QSqlQuery& q) {
        q.prepare(QStringLiteral("INSERT INTO Storico_Euribor VALUES (?, ?, ?, ?, ?)"));
        for (const Row& r : rows) {
            for (const QVariant& v : {r.type, r.date, r.quote, r.descr, r.note})
                q.addBindValue(v);
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
    });
}

QVector<Row> allRows(const QString& path) {
    QVector<Row> rows;
    withDb(path, [&](QSqlQuery& q) {
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM Storico_Euribor ORDER BY rowid")));
        while (q.next())
            rows.append({q.value(0), q.value(1), q.value(2), q.value(3), q.value(4)});
    });
    return rows;
}

QStringList rowTexts(const QString& path) {
    QStringList out;
    auto text = [](const QVariant& v) { return v.isNull() ? QStringLiteral("NULL") : v.toString(); };
    for (const Row& r : allRows(path))
        out.append(QStringList{text(r.type), text(r.date), QString::number(r.quote.toDouble()), text(r.descr),
                               text(r.note)}
                       .join(u'|'));
    return out;
}

void execOn(const QString& path, const QString& sql) {
    sqlite3* h = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &h);
    EXPECT_EQ(sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(h) << ": " << sql.toStdString();
    sqlite3_close(h);
}

QString integrityCheck(const QString& path) {
    QString result;
    withDb(path, [&](QSqlQuery& q) {
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
        result = q.value(0).toString();
    });
    return result;
}

CommitRefusal::CommitRefusal(bool on) {
    // Registered once; it hooks every connection opened from then on.
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(hookCommits));
    refusing = on;
}

CommitRefusal::~CommitRefusal() {
    refusing = false;
}

Folder::Folder(bool shipped) {
    createHistoryDatabase(db());
    if (shipped)
        QFile::copy(QStringLiteral(EURIBOR_SOURCE_DIR "/data/Euribor_PORTALEDATI.txt"), tenors());
    else
        writeFile(tenors(),
                  cp1252Lines({QStringLiteral("Dettaglio tassi Euribor"), QStringLiteral("EuRibor 1m  1,986"),
                               QStringLiteral("EuRibor 3m  2,064"), QStringLiteral("EuRibor 6m  2,137")}));
}
