#pragma once
// What the benchmarks share: a Shell that answers every box with OK, a fixed clock, a connected
// machine, and a program folder in a temporary directory.

#include "context.h"
#include "services.h"
#include "shell.h"

#include <QDate>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdlib>

class BenchShell : public Shell {
public:
    Answer messageBox(const QString&, const QString&, Icon, Buttons) override {
        ++boxes;
        return Answer::Ok;
    }
    void beep() override {}
    void setBusyPointer(bool) override {}
    void processEvents() override {}
    void waitForEvents(int) override {}
    QString chooseFile(QWidget*, const QString&) override { return {}; }
    void printWindow(QWidget*) override {}
    void endProgram() override { std::abort(); }
    int boxes = 0;
};

class BenchClock : public Clock {
public:
    QDate today() const override { return {2026, 12, 4}; }
};

class BenchConnection : public ConnectionState {
public:
    ConnectionInfo query() override { return {true, ConnectionInfo::Lan}; }
};

// The history table in a new database file, from the schema the program ships.
inline void createBenchDatabase(const QString& path) {
    {
        QFile schema(QStringLiteral(EURIBOR_SOURCE_DIR "/data/schema.sql"));
        schema.open(QIODevice::ReadOnly);
        QString sql;
        for (const QString& line : QString::fromUtf8(schema.readAll()).split(u'\n'))
            if (!line.trimmed().startsWith(QStringLiteral("--")))
                sql += line + u'\n';
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(path);
        db.open();
        for (const QString& statement : sql.split(u';')) {
            QSqlQuery q(db);
            if (!statement.trimmed().isEmpty())
                q.exec(statement);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
}

// A program folder with an empty history database, and a context on the fakes above.
struct BenchFolder {
    BenchFolder() {
        createBenchDatabase(dir.filePath(QStringLiteral("EURIBOR.MDB")));
        ctx.shell = &shell;
        ctx.clock = &clock;
        ctx.connection = &connection;
        ctx.programFolder = dir.path();
        ctx.locale = QLocale(QLocale::Italian, QLocale::Italy);
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    BenchShell shell;
    BenchClock clock;
    BenchConnection connection;
    AppContext ctx;
};

// The benchmarks run with widgets on the offscreen platform.
#define EURIBOR_BENCHMARK_MAIN()                                                                             \
    int main(int argc, char** argv) {                                                                        \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                             \
        QApplication app(argc, argv);                                                                        \
        benchmark::Initialize(&argc, argv);                                                                  \
        benchmark::RunSpecifiedBenchmarks();                                                                 \
        return 0;                                                                                            \
    }

// A rate page row as the provider writes it.
inline QString benchRow(const QString& name, const QString& rate, const QString& date) {
    return QStringLiteral("<tr>\r\n<td align=\"left\" class=\"xplanecella\">") + name +
           QStringLiteral("</td>\r\n<td align=\"right\" class=\"xplanerigatabella\">  ") + rate +
           QStringLiteral("</td>\r\n<td align=\"right\" class=\"xplanerigatabella\">  ") + date +
           QStringLiteral("</td>\r\n</tr>\r\n");
}
