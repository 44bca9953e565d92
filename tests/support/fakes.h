#pragma once
// Fakes of the platform services, files, page rows and runs of the real program.

#include "services.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>

#include <sys/resource.h>

class FakeFetcher : public PageFetcher {
public:
    QString fetch(const QString& url) override { return urls.append(url), page; }
    QString lastError() const override { return page.isEmpty() ? error : QString(); }
    QString page, error;
    QStringList urls;
};

class FakeClock : public Clock {
public:
    QDate today() const override { return date; }
    QDate date{2026, 12, 4};
};

class FakeConnection : public ConnectionState {
public:
    ConnectionInfo query() override { return ++queries, info; }
    ConnectionInfo info{true, ConnectionInfo::Lan};
    int queries = 0;
};

// While it lives, a write past limit bytes (none when negative) fails as on a full disk (EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 limit);
    ~FileSizeLimit();
    Q_DISABLE_COPY(FileSizeLimit)
    rlimit m_saved{};
};

int runtimeErrorOf(const std::function<void()>& f);

void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// The text of a file in Windows-1252 with CR LF line ends.
QByteArray cp1252Lines(const QStringList& lines, bool finalBreak = true);

// A run of the real program to its end: its exit (-1 when it crashed or was killed) and what it printed.
struct Outcome {
    int exit = -1;
    QString out, err;
};
// Runs exe with no display, in Italian; env entries NAME=value are set on top (an empty value unsets).
Outcome runProgram(const QString& exe, const QStringList& args, const QStringList& env = {});
#ifdef EURIBOR_EXECUTABLE
inline Outcome runEuribor(const QStringList& args, const QStringList& env = {}) {
    return runProgram(QStringLiteral(EURIBOR_EXECUTABLE), args, env);
}
#endif

// The bundled sample rate page, dated day (dd/mm/yyyy).
QByteArray samplePage(const QString& day);
// A rate page row as the provider writes it, and a whole page of rows.
QString pageRow(const QString& name, const QString& rate, const QString& date);
QString ratePage(const QStringList& rows);
