// Lays the empty history database beside the program: make_db SCHEMA.sql EURIBOR.MDB.
// An existing database is left as it is: it holds the user's recorded rates.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_db SCHEMA.sql DATABASE\n");
        return 2;
    }
    const QString schemaPath = QString::fromLocal8Bit(argv[1]);
    const QString target = QString::fromLocal8Bit(argv[2]);
    if (QFileInfo::exists(target))
        return 0;

    QFile schema(schemaPath);
    if (!schema.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_db: cannot read %s\n", argv[1]);
        return 1;
    }
    QString sql;
    for (const QString& line : QString::fromUtf8(schema.readAll()).split(u'\n'))
        if (!line.trimmed().startsWith(QStringLiteral("--")))
            sql += line + u'\n';

    // Built under a temporary name and renamed, so a half-made file never looks like the database.
    const QString temporary = target + QStringLiteral(".new");
    QFile::remove(temporary);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make_db"));
        db.setDatabaseName(temporary);
        ok = db.open();
        for (const QString& statement : sql.split(u';')) {
            if (!ok || statement.trimmed().isEmpty())
                continue;
            QSqlQuery query(db);
            if (!query.exec(statement)) {
                std::fprintf(stderr, "make_db: %s\n", qPrintable(query.lastError().text()));
                ok = false;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make_db"));
    if (!ok || !QFile::rename(temporary, target)) {
        QFile::remove(temporary);
        return 1;
    }
    return 0;
}
