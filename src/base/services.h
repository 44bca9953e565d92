#pragma once
// Platform services the main window uses, behind small interfaces so tests can inject fakes.

#include <QDate>
#include <QString>

// Fetches a page: the body as text, or an empty text on any failure.
class PageFetcher {
public:
    virtual ~PageFetcher() = default;
    virtual QString fetch(const QString& url) = 0;
    // Why the last fetch failed, for the log and the windowless update; empty after a success.
    virtual QString lastError() const { return {}; }
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

// The Internet connection state: connected or not, and by what.
struct ConnectionInfo {
    enum Flag { Modem = 1, Lan = 2, Proxy = 4, ModemBusy = 8 };
    bool connected = false;
    int flags = 0;
};

class ConnectionState {
public:
    virtual ~ConnectionState() = default;
    virtual ConnectionInfo query() = 0;
};
