#pragma once
// The page fetcher over libcurl: a synchronous GET with bounded times and size.

#include "services.h"

#include <QByteArray>

class CurlPageFetcher : public PageFetcher {
public:
    struct Limits {
        long connectTimeoutMs = 15000;
        long totalTimeoutMs = 60000;
        long maxRedirects = 5;
        qsizetype maxBodyBytes = 8 * 1024 * 1024;
    };

    CurlPageFetcher();
    explicit CurlPageFetcher(Limits limits);

    // The body decoded by its declared charset; empty text on any failure (bad address, no network,
    // HTTP error status, time-out, body too large).
    QString fetch(const QString& url) override;

private:
    Limits m_limits;
};

// Decodes a page body: the charset of the Content-Type header, else the page's own meta charset,
// else Windows-1252.
QString decodePage(const QByteArray& body, const QByteArray& contentType);
