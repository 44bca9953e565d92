#pragma once
// Fakes of the platform services and a temporary program folder for window tests.

#include "services.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class FakeFetcher : public PageFetcher {
public:
    QString fetch(const QString& url) override {
        urls.append(url);
        return page;
    }
    QString lastError() const override { return page.isEmpty() ? error : QString(); }
    QString page;
    QString error;
    QStringList urls;
};

class FakeClock : public Clock {
public:
    QDate today() const override { return date; }
    QDate date{2026, 12, 4};
};

class FakeConnection : public ConnectionState {
public:
    ConnectionInfo query() override {
        ++queries;
        return info;
    }
    ConnectionInfo info{true, ConnectionInfo::Lan};
    int queries = 0;
};

// While it lives, a write that takes a file past limit bytes fails as on a full disk (EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    quint64 m_soft = 0, m_hard = 0;
};

// The number of the run-time error that f raises, 0 when it raises none.
int runtimeErrorOf(const std::function<void()>& f);

// Writes bytes to a file, creating it.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// The text of a file in Windows-1252 with CR LF line ends.
QByteArray cp1252Lines(const QStringList& lines, bool finalBreak = true);

// A run of the real program to its end: its exit (-1 when it crashed or was killed) and what it printed.
struct Outcome {
    int exit = -1;
    QString out, err;
};
// Runs exe with args and no display, in Italian; env entries NAME=value are set on top (an empty value
// unsets the name).
Outcome runProgram(const QString& exe, const QStringList& args, const QStringList& env = {});

// The bundled sample rate page, dated day (dd/mm/yyyy).
QByteArray samplePage(const QString& day);

// A rate page row as the provider writes it.
QString pageRow(const QString& name, const QString& rate, const QString& date);
// A whole rate page with the rows given.
QString ratePage(const QStringList& rows);
