#pragma once
// The page fetcher over Qt Network: a GET with bounded times, speed and size. The call returns when
// the page is there, but the thread's events (paint, timers) go on meanwhile; the user's input waits.

#include "services.h"

#include <QString>

#include <memory>

class QNetworkAccessManager;

class QtPageFetcher : public PageFetcher {
public:
    struct Limits {
        int connectTimeoutMs = 15000;
        int totalTimeoutMs = 60000;
        int maxRedirects = 5;
        qsizetype maxBodyBytes = 8 * 1024 * 1024;
        // A transfer that moves fewer than lowSpeedBytes in lowSpeedWindowMs is cut.
        qint64 lowSpeedBytes = 100;
        int lowSpeedWindowMs = 15000;
    };

    QtPageFetcher();
    explicit QtPageFetcher(Limits limits);
    ~QtPageFetcher() override;

    // The body decoded by its declared charset; empty text on any failure (bad address, no network,
    // HTTP status outside 2xx, time-out, too slow, body too large), with the cause in lastError().
    QString fetch(const QString& url) override;
    QString lastError() const override { return m_lastError; }

private:
    Limits m_limits;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QString m_lastError;
};
