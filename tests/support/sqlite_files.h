#pragma once
// Real SQLite history databases for tests, made from the schema the build lays beside the program.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct Row {
    QVariant type, date, quote, descr, note;
};

// Creates path with the table Storico_Euribor from data/schema.sql.
void createHistoryDatabase(const QString& path);
// Appends raw records (nulls and all).
void insertRows(const QString& path, const QVector<Row>& rows);
// Every record in insertion order.
QVector<Row> allRows(const QString& path);
// Every record in insertion order as "type|date|quote|descr|note", SQL NULL as "NULL".
QStringList rowTexts(const QString& path);
// Runs one statement on the file.
void execOn(const QString& path, const QString& sql);
// SQLite's own check of the file: "ok" when it is sound.
QString integrityCheck(const QString& path);
