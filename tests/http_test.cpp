// The libcurl page fetcher against a server on 127.0.0.1.

#include "curl_fetcher.h"
#include "vb.h"

#include "support/loopback_http.h"
#include "support/text.h"

#include <gtest/gtest.h>

namespace {
LoopbackHttpServer::Reply ok(QByteArray body, QByteArray type) {
    return {200, "Content-Type: " + type + "\r\n", std::move(body), false};
}
} // namespace

class HttpTest : public ::testing::Test {
protected:
    QString get(const char* path) {
        CurlPageFetcher::Limits limits;
        limits.connectTimeoutMs = 2000;
        limits.totalTimeoutMs = 1500;
        limits.maxBodyBytes = 1024;
        return CurlPageFetcher(limits).fetch(QString::fromLatin1(server.url(path)));
    }

    LoopbackHttpServer server{{
        {"/page", ok(vb::toCp1252(S("<p>Più EuRibor 3m 2,345</p>")), "text/html")},
        {"/utf8", ok(S("<p>Più</p>").toUtf8(), "text/html; charset=utf-8")},
        {"/missing", {404, "Content-Type: text/html\r\n", "<p>EuRibor 3m 9,999</p>", false}},
        {"/moved", {302, "Location: /page\r\n", {}, false}},
        {"/loop", {302, "Location: /loop\r\n", {}, false}},
        {"/big", ok(QByteArray(4096, 'x'), "text/plain")},
        {"/hang", {200, {}, {}, true}},
    }};
};

TEST_F(HttpTest, ServedPagesAreDecodedByTheirCharsetAndRedirectsFollowedButNotForever) {
    EXPECT_EQ(get("/page"), S("<p>Più EuRibor 3m 2,345</p>"));
    EXPECT_EQ(get("/utf8"), S("<p>Più</p>"));
    EXPECT_EQ(get("/moved"), S("<p>Più EuRibor 3m 2,345</p>"));
    const int before = server.requests();
    EXPECT_EQ(get("/loop"), QString());
    EXPECT_LE(server.requests() - before, 1 + 5) << "at most five redirects are followed";
}

TEST_F(HttpTest, EveryFailureGivesAnEmptyPage) {
    EXPECT_EQ(get("/missing"), QString()) << "an error page is not a rate page";
    EXPECT_EQ(get("/big"), QString()) << "the body is capped";
    EXPECT_EQ(get("/hang"), QString()) << "a server that never answers times out";
    for (const char* url : {"ftp://127.0.0.1/x", "not an address", ""})
        EXPECT_EQ(CurlPageFetcher().fetch(S(url)), QString()) << url;
}
