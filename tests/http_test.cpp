// The Qt Network page fetcher against servers on 127.0.0.1, and the page decoding.

#include "page_decode.h"
#include "qt_page_fetcher.h"
#include "vb.h"

#include "support/loopback_http.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Reply = LoopbackHttpServer::Reply;

Reply ok(QByteArray body, QByteArray type, int dripBytes = 0, int dripEveryMs = 0) {
    return {200, "Content-Type: " + type + "\r\n", std::move(body), false, 0, dripBytes, dripEveryMs};
}

// Short limits so a cut comes in a fraction of a second: connect, total, redirects, bytes, low speed.
QtPageFetcher::Limits quick(int maxRedirects = 5) {
    return {2000, 1500, maxRedirects, 1024, 20, 800};
}

// A port on 127.0.0.1 whose accept queue is full: a new connection is never made.
class FullListener {
public:
    FullListener() {
        sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof addr;
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), len);
        ::listen(m_listen, 0);
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        for (int& fd : m_fillers) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len);
        }
    }
    ~FullListener() {
        for (int fd : {m_fillers[0], m_fillers[1], m_listen})
            ::close(fd);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/x").arg(m_port); }

private:
    int m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    int m_port = 0;
    int m_fillers[2] = {-1, -1};
};

// Warnings of the fetcher's logging category, kept while the test runs.
QStringList g_logged;
QtMessageHandler g_previousHandler = nullptr;
void keepFetchWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && QByteArrayView(context.category) == "euribor.fetch")
        g_logged.append(text);
    else if (g_previousHandler)
        g_previousHandler(type, context, text);
}

} // namespace

class HttpTest : public ::testing::Test {
protected:
    HttpTest() {
        g_logged.clear();
        g_previousHandler = qInstallMessageHandler(keepFetchWarnings);
    }
    ~HttpTest() override { qInstallMessageHandler(g_previousHandler); }

    QString url(const char* path) const { return QString::fromLatin1(server.url(path)); }

    QtPageFetcher fetcher{quick()};
    LoopbackHttpServer server{{
        {"/page", ok(vb::toCp1252(S("<p>Più EuRibor 3m 2,345</p>")), "text/html")},
        {"/utf8", ok(S("<p>Più</p>").toUtf8(), "text/html; charset=utf-8")},
        {"/gzip",
         {200, "Content-Type: text/html\r\nContent-Encoding: gzip\r\n",
          QByteArray(
              "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\x29\xb0\x0b\x48\x4c\xcf\xcc\x4b\x54\x48\xce"
              "\xcf\x2d\x28\x4a\x2d\x2e\x4e\xb4\xd1\x2f\xb0\x03\x00\xd4\x86\xed\x96\x17\x00\x00\x00",
              43),
          false}},
        {"/missing", {404, "Content-Type: text/html\r\n", "<p>EuRibor 3m 9,999</p>", false}},
        {"/moved", {302, "Location: /page\r\n", {}, false}},
        {"/loop", {302, "Location: /loop\r\n", {}, false}},
        {"/toftp", {302, "Location: ftp://127.0.0.1/page\r\n", {}, false}},
        {"/big", ok(QByteArray(4096, 'x'), "text/plain")},
        {"/hang", {200, {}, {}, true}},
        // Two bytes a second: far below twenty bytes in the low-speed window.
        {"/drip", ok(QByteArray(1000, 'x'), "text/html", 1, 500)},
        // Fast enough for the low-speed rule, too long for the whole-transfer limit.
        {"/long", ok(QByteArray(1000, 'x'), "text/html", 50, 100)},
    }};
};

// A page is decoded by its charset, redirects followed, and nothing logged; every failure gives an empty
// page, its cause and one log line.
TEST_F(HttpTest, PagesAreDecodedAndEveryFailureGivesItsCauseAndALogLine) {
    const QString refused = S("http://127.0.0.1:1/x"); // nothing listens on port 1
    const FullListener full;
    // the URL, the page or else what lastError() begins with
    const std::tuple<QString, const char*, const char*> cases[] = {
        {url("/utf8"), "<p>Più</p>", ""},
        {url("/gzip"), "<p>Pagina compressa</p>", ""},
        {url("/moved"), "<p>Più EuRibor 3m 2,345</p>", ""},
        {url("/missing"), "", "risposta HTTP 404"},
        {url("/big"), "", "pagina oltre 1024 byte"},
        {url("/hang"), "", "tempo scaduto (nessuna risposta in 800 ms)"},
        {url("/drip"), "", "trasferimento troppo lento (meno di 20 byte in 800 ms)"},
        {url("/long"), "", "tempo scaduto (pagina non completa in 1500 ms)"},
        {url("/loop"), "", "troppi rinvii"},
        {url("/toftp"), "", "protocollo non ammesso (rinvio a ftp://127.0.0.1/page)"},
        {refused, "", "connessione rifiutata"},
        {S("ftp://127.0.0.1/x"), "", "protocollo non ammesso"},
        {S("not an address"), "", "indirizzo non valido"},
        {QString(), "", "indirizzo non valido"},
        {url("/page"), "<p>Più EuRibor 3m 2,345</p>", ""}}; // after a failure: its cause is gone
    for (const auto& [address, page, cause] : cases) {
        SCOPED_TRACE(address.toStdString());
        g_logged.clear();
        EXPECT_EQ(fetcher.fetch(address), S(page));
        EXPECT_TRUE(*cause ? fetcher.lastError().startsWith(S(cause)) : fetcher.lastError().isEmpty())
            << fetcher.lastError().toStdString();
        EXPECT_EQ(g_logged.size(), *cause ? 1 : 0);
        EXPECT_TRUE(!*cause ||
                    (g_logged.value(0).contains(address) && g_logged.value(0).contains(fetcher.lastError())))
            << g_logged.value(0).toStdString();
    }
    fetcher.fetch(refused);
    EXPECT_EQ(fetcher.lastError(), S("connessione rifiutata")) << "no English from Qt";
    // A connection never made is cut by its own, shorter limit.
    QtPageFetcher connecting{{.connectTimeoutMs = 300}};
    EXPECT_EQ(connecting.fetch(full.url()), QString());
    EXPECT_EQ(connecting.lastError(), S("tempo scaduto (nessuna connessione in 300 ms)"));
}

TEST_F(HttpTest, RedirectsStopAfterTheLimitAndDefaultLimitsTakeABigPage) {
    for (int limit : {0, 2, 5}) {
        SCOPED_TRACE(limit);
        const int before = server.requests();
        EXPECT_EQ(QtPageFetcher(quick(limit)).fetch(url("/loop")), QString());
        EXPECT_EQ(server.requests() - before, 1 + limit) << "so many redirects are followed, no more";
        EXPECT_EQ(QtPageFetcher(quick(limit)).fetch(url("/moved")).isEmpty(), limit == 0);
    }
    QtPageFetcher standard;
    EXPECT_EQ(standard.fetch(url("/moved")), S("<p>Più EuRibor 3m 2,345</p>"));
    EXPECT_EQ(standard.fetch(url("/big")), QString(4096, u'x')) << "4 KiB is far below the 8 MiB cap";
}

TEST(PageDecoding, LatinAndAsciiAreWindows1252AndOtherDeclarationsAreHonoured) {
    const QByteArray utf8 = S("Più").toUtf8();
    const std::tuple<QByteArray, const char*, QString> cases[] = {
        {"\x80 Pi\xf9", "text/html", S("€ Più")},
        {"\x80", "text/html; charset=ISO-8859-1", S("€")},
        {"\x80", "text/html; charset=\"us-ascii\"", S("€")},
        {"<meta charset=latin1>\x80", "text/html", S("<meta charset=latin1>€")},
        {"<meta charset=utf-8>Pi\xf9", "text/html; charset=windows-1252", S("<meta charset=utf-8>Più")},
        {"Pi\xf9", "text/plain; charset=koi8-r", S("PiЫ")},
        {"Pi\xf9", "text/plain; charset=x-unknown", S("Più")},
        {"\xef\xbb\xbf" + utf8, "text/html", S("Più")},
        {"<meta\ncharset=utf-8>" + utf8, "text/html", S("<meta\ncharset=utf-8>Più")},
        {QByteArray(2000, ' ') + "<meta charset=\"utf-8\">" + utf8, "text/html",
         QString(2000, u' ') + S("<meta charset=\"utf-8\">Più")},
        {QByteArray(5000, ' ') + "<meta charset=\"utf-8\">" + utf8, "text/html",
         QString(5000, u' ') + S("<meta charset=\"utf-8\">PiÃ¹")},
    };
    for (const auto& [body, contentType, text] : cases) {
        SCOPED_TRACE(body.left(40).toStdString() + " as " + contentType);
        EXPECT_EQ(decodePage(body, contentType), text);
    }
}
