#pragma once
// Real SQLite history databases for tests, made from the schema the build lays beside the program.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVector>

struct Row {
    QVariant type, date, quote, descr, note;
};

// Creates path with the table Storico_Euribor from data/schema.sql.
void createHistoryDatabase(const QString& path);
// Appends raw records (nulls and all).
void insertRows(const QString& path, const QVector<Row>& rows);
// Every record in insertion order, and as "type|date|quote|descr|note" with SQL NULL as "NULL".
QVector<Row> allRows(const QString& path);
QStringList rowTexts(const QString& path);
void execOn(const QString& path, const QString& sql);
// SQLite's own check of the file: "ok" when it is sound.
QString integrityCheck(const QString& path);

// While it lives and is on, SQLite's commit hook refuses every commit, after the stores succeeded.
class CommitRefusal {
public:
    explicit CommitRefusal(bool on = true);
    ~CommitRefusal();
    Q_DISABLE_COPY(CommitRefusal)
};

// A data folder with the database and a tenor list: three tenors (1m, 3m, 6m), or the shipped one.
class Folder {
public:
    explicit Folder(bool shipped = false);
    QString path(const QString& name = {}) const { return name.isEmpty() ? dir.path() : dir.filePath(name); }
    QString db() const { return path(QStringLiteral("EURIBOR.MDB")); }
    QString tenors() const { return path(QStringLiteral("Euribor_PORTALEDATI.txt")); }
    QString history() const { return path(QStringLiteral("Storico_Euribor.TXT")); }
    QString csv() const { return path(QStringLiteral("Storico_Euribor.CSV")); }

    QTemporaryDir dir;
};
