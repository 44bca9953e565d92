#include "curl_fetcher.h"

#include "vb.h"

#include <QStringDecoder>

#include <curl/curl.h>

#include <mutex>

namespace {

struct Sink {
    QByteArray body;
    qsizetype limit = 0;
    bool overflow = false;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    if (sink->body.size() + static_cast<qsizetype>(n) > sink->limit) {
        sink->overflow = true;
        return 0; // makes libcurl abort the transfer
    }
    sink->body.append(data, static_cast<qsizetype>(n));
    return n;
}

QByteArray charsetOf(const QByteArray& text) {
    const qsizetype at = text.toLower().indexOf("charset=");
    if (at < 0)
        return {};
    qsizetype i = at + 8;
    while (i < text.size() && (text[i] == '"' || text[i] == '\'' || text[i] == ' '))
        ++i;
    qsizetype j = i;
    while (j < text.size() && (QChar::fromLatin1(text[j]).isLetterOrNumber() || text[j] == '-' ||
                               text[j] == '_' || text[j] == ':' || text[j] == '.'))
        ++j;
    return text.mid(i, j - i).toLower();
}

// The page's own declaration, looked for in its head.
QByteArray metaCharset(const QByteArray& body) {
    const QByteArray head = body.left(4096);
    const QByteArray lower = head.toLower();
    qsizetype from = 0;
    while (true) {
        const qsizetype meta = lower.indexOf("<meta", from);
        if (meta < 0)
            return {};
        const qsizetype end = lower.indexOf('>', meta);
        const QByteArray tag = head.mid(meta, end < 0 ? -1 : end - meta);
        const QByteArray cs = charsetOf(tag);
        if (!cs.isEmpty())
            return cs;
        from = meta + 5;
    }
}

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

QString decodePage(const QByteArray& body, const QByteArray& contentType) {
    QByteArray cs = charsetOf(contentType);
    if (cs.isEmpty())
        cs = metaCharset(body);
    if (cs == "utf-8" || cs == "utf8")
        return QString::fromUtf8(body);
    // Pages that call themselves Latin-1 or ASCII are Windows-1252 in practice, as browsers read them.
    if (cs.isEmpty() || cs == "windows-1252" || cs == "cp1252" || cs == "iso-8859-1" || cs == "latin1" ||
        cs == "us-ascii" || cs == "ascii")
        return vb::fromCp1252(body);
    QStringDecoder decoder(cs.constData());
    if (!decoder.isValid())
        return vb::fromCp1252(body);
    return decoder.decode(body);
}

CurlPageFetcher::CurlPageFetcher()
    : CurlPageFetcher(Limits{}) {}

CurlPageFetcher::CurlPageFetcher(Limits limits)
    : m_limits(limits) {
    initCurlOnce();
}

QString CurlPageFetcher::fetch(const QString& url) {
    CURL* curl = curl_easy_init();
    if (!curl)
        return {};
    Sink sink;
    sink.limit = m_limits.maxBodyBytes;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, m_limits.maxRedirects);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_limits.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, m_limits.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    char* type = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
    const QByteArray contentType = type ? QByteArray(type) : QByteArray();
    curl_easy_cleanup(curl);

    // An error page is no rate page: treat it as a failed fetch.
    if (rc != CURLE_OK || sink.overflow || status < 200 || status >= 300)
        return {};
    return decodePage(sink.body, contentType);
}
