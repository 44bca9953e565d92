// Extraction of the rate table, the rate captions and the page client.

#include "curl_fetcher.h"
#include "extraction.h"
#include "stock_quote.h"
#include "vb.h"

#include "support/fake_shell.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace quote;

namespace {
QString S(const char* s) {
    return QString::fromUtf8(s);
}
const QDate kToday(2026, 12, 4);

Extraction run(const QString& page, const QStringList& items) {
    return extractAll(page, items, kToday, S("start"), S("04-12"));
}
} // namespace

TEST(RateCaption, AppendsZerosAndCutsToSix) {
    EXPECT_EQ(rateCaption(S(" 2,345")), S("2,3450"));
    EXPECT_EQ(rateCaption(S("-1")), S("-100"));
    EXPECT_EQ(rateCaption(QString()), S("00"));
    EXPECT_EQ(rateCaption(S("4,1")), S("4,100"));
}

TEST(RateCaption, TheRateIsReadWithTheDecimalComma) {
    EXPECT_DOUBLE_EQ(rateFromCaption(S("2,3450")), 2.345);
    EXPECT_DOUBLE_EQ(rateFromCaption(S("-100")), -100.0);
    EXPECT_DOUBLE_EQ(rateFromCaption(S("00")), 0.0);
    EXPECT_DOUBLE_EQ(rateFromCaption(S("2.3450")), 2.345);
    EXPECT_DOUBLE_EQ(rateFromCaption(S("-0,545")), -0.545);
}

TEST(Extraction, CutsRateAndDateOfEveryTenor) {
    const QString page = ratePage({pageRow(S("EuRibor 1m"), S("1,986"), S("11/05/2008")),
                                   pageRow(S("EuRibor 3m"), S("2,345"), S("12/05/2008"))});
    const Extraction x = run(page, {S("EuRibor 1m"), S("EuRibor 3m")});
    ASSERT_EQ(x.entries.size(), 2);
    const HistEntry& e = x.entries[1];
    EXPECT_EQ(e.type, S("EuRibor 3m"));
    EXPECT_EQ(e.date, S("20080512"));
    EXPECT_DOUBLE_EQ(e.quote, 2.345);
    EXPECT_EQ(e.descr, S("EuRibor 3m"));
    EXPECT_TRUE(e.note.isEmpty());
    EXPECT_FALSE(e.unavailable);
    EXPECT_EQ(x.entries[0].date, S("20080511"));
    EXPECT_DOUBLE_EQ(x.entries[0].quote, 1.986);
    EXPECT_EQ(x.lblQuote, S("2,3450"));
    EXPECT_EQ(x.lblData, S("12-05"));
    EXPECT_FALSE(x.items[0].unavailableMessage || x.items[1].unavailableMessage);
}

TEST(Extraction, DatesThatAreNotDdMmYyyyBecomeToday) {
    for (const char* date : {"12-05-2008", "2/5/2008", "n.d.", "ab/cd/efgh"}) {
        const Extraction x =
            run(ratePage({pageRow(S("EuRibor 3m"), S("2,345"), S(date))}), {S("EuRibor 3m")});
        ASSERT_EQ(x.entries.size(), 1) << date;
        EXPECT_EQ(x.entries[0].date, S("20261204")) << date;
        EXPECT_EQ(x.lblData, S("04-12")) << date;
    }
}

TEST(Extraction, KeyIsTheFirstThirteenCharactersFoundInAnyCase) {
    const QString page = ratePage({pageRow(S("EURIBOR 12M ACT/360"), S("2,231"), S("04/12/2026"))});
    const Extraction x = run(page, {S("euribor 12m act/360 mensile")});
    ASSERT_EQ(x.entries.size(), 1);
    EXPECT_EQ(x.entries[0].type, S("euribor 12m a"));
    EXPECT_EQ(x.entries[0].descr, S("euribor 12m act/360 mensile"));
    EXPECT_DOUBLE_EQ(x.entries[0].quote, 2.231);
}

TEST(Extraction, MarkersAreCaseSensitiveAndAMissingRateIsMarkedUnavailable) {
    QString upper = pageRow(S("EuRibor 3m"), S("2,345"), S("12/05/2008"));
    upper.replace(S("td align="), S("TD ALIGN="));
    const Extraction x = run(ratePage({upper}), {S("EuRibor 3m")});
    ASSERT_EQ(x.entries.size(), 1);
    EXPECT_TRUE(x.items[0].unavailableMessage);
    EXPECT_TRUE(x.entries[0].unavailable);
    EXPECT_EQ(x.lblQuote, S("-100"));
    EXPECT_DOUBLE_EQ(x.entries[0].quote, -100.0);
    EXPECT_EQ(x.entries[0].date, S("20261204"));

    QString noClass = pageRow(S("EuRibor 3m"), S("2,345"), S("12/05/2008"));
    noClass.replace(S("xplanerigatabella"), S("cella"));
    const Extraction y = run(ratePage({noClass}), {S("EuRibor 3m")});
    EXPECT_TRUE(y.entries[0].unavailable);
    EXPECT_EQ(y.lblQuote, S("-100"));
}

TEST(Extraction, ARateCellWithoutDigitsIsNoRate) {
    const Extraction x =
        run(ratePage({pageRow(S("EuRibor 3m"), S("n.d."), S("04/12/2026"))}), {S("EuRibor 3m")});
    ASSERT_EQ(x.entries.size(), 1);
    EXPECT_TRUE(x.entries[0].unavailable);
    EXPECT_TRUE(x.items[0].unavailableMessage);
}

TEST(Extraction, AClassMarkerAtThePageEndLeavesAnEmptyRate) {
    const QString page = S("<tr><td>EuRibor 3m</td><td align=\"right\" class=\"xplanerigatabella\">");
    const Extraction x = run(page, {S("EuRibor 3m")});
    ASSERT_EQ(x.entries.size(), 1);
    EXPECT_TRUE(x.entries[0].unavailable);
    EXPECT_EQ(x.lblQuote, S("00"));
    EXPECT_DOUBLE_EQ(x.entries[0].quote, 0.0);
}

TEST(Extraction, TenorsMissingFromThePageRecordNothing) {
    const QString page = ratePage({pageRow(S("EuRibor 3m"), S("2,345"), S("12/05/2008"))});
    const Extraction last = run(page, {S("EuRibor 3m"), S("EuRibor 9m")});
    EXPECT_EQ(last.entries.size(), 1);
    EXPECT_TRUE(last.lblQuote.isEmpty()) << "the last item decides the caption";
    EXPECT_FALSE(last.items[1].found);

    const Extraction none = run(page, {});
    EXPECT_TRUE(none.entries.isEmpty());
    EXPECT_EQ(none.lblQuote, S("start"));

    const Extraction dup = run(page, {S("EuRibor 3m"), S("EuRibor 3m")});
    ASSERT_EQ(dup.entries.size(), 2);
    EXPECT_EQ(dup.entries[0].date, dup.entries[1].date);
    EXPECT_DOUBLE_EQ(dup.entries[1].quote, 2.345);
}

TEST(Extraction, PositionsHoldOnAWindows1252PageWithAccentedText) {
    const QByteArray bytes = vb::toCp1252(S("<p>Più sotto i tassi dell'area dell'€ – è così.</p>") +
                                          ratePage({pageRow(S("EuRibor 6m"), S("2,137"), S("04/12/2026"))}));
    const QString page = decodePage(bytes, QByteArray("text/html"));
    const Extraction x = run(page, {S("EuRibor 6m")});
    ASSERT_EQ(x.entries.size(), 1);
    EXPECT_DOUBLE_EQ(x.entries[0].quote, 2.137);
    EXPECT_EQ(x.entries[0].date, S("20261204"));
    EXPECT_TRUE(page.contains(S("Più sotto")));
}

TEST(PageDecoding, FollowsTheDeclaredCharset) {
    const QByteArray utf8 = S("<p>Più</p>").toUtf8();
    EXPECT_EQ(decodePage(utf8, "text/html; charset=UTF-8"), S("<p>Più</p>"));
    const QByteArray meta = QByteArray("<meta charset=\"utf-8\">") + utf8;
    EXPECT_TRUE(decodePage(meta, "text/html").contains(S("Più")));
    EXPECT_EQ(decodePage(QByteArray("Pi\xf9"), "text/html; charset=iso-8859-1"), S("Più"));
    EXPECT_EQ(decodePage(QByteArray("Pi\xf9"), "text/html; charset=x-unknown"), S("Più"));
}

class StockQuoteTest : public ::testing::Test {
protected:
    QString quote(const QString& page, const QString& symbol) {
        fetcher.page = page;
        clsStockQuote client(fetcher, shell, [this](const QString& p) { written = p; });
        client.setHtmPage(S("http://127.0.0.1/q"));
        return client.getQuote(symbol);
    }
    FakeFetcher fetcher;
    FakeShell shell;
    QString written = S("unset");
};

TEST_F(StockQuoteTest, ReturnsSixCharactersAroundTheFirstComma) {
    EXPECT_EQ(quote(S("xx EuRibor 3m:  2,345 %<BR>next 9,99"), S("EuRibor 3m")), S(" 2,345"));
    EXPECT_EQ(written, S("xx EuRibor 3m:  2,345 %<BR>next 9,99"));
    EXPECT_EQ(quote(S("EuRibor 3m1,5<BR>"), S("EuRibor 3m")), QString());
    EXPECT_EQ(quote(S("EuRibor 3m: 4,25 fine"), S("EuRibor 3m")), S(" 4,25 "));
    EXPECT_EQ(quote(S("EuRibor 3m: none<br>later 12,5"), S("EuRibor 3m")), S("12,5"));
    EXPECT_EQ(fetcher.urls.constLast(), S("http://127.0.0.1/q"));
    EXPECT_TRUE(shell.boxes.isEmpty());
}

TEST_F(StockQuoteTest, AMissingSymbolOrAFailedFetchShowsTheMessage) {
    EXPECT_EQ(quote(S("euribor 3m: 2,345"), S("EuRibor 3m")), S("-1"));
    EXPECT_EQ(quote(QString(), S("EuRibor 3m")), S("-1"));
    EXPECT_EQ(written, QString());
    ASSERT_EQ(shell.boxes.size(), 2);
    EXPECT_EQ(shell.boxes[1].text, S("Simbolo  EuRibor 3m  non trovato in Internet !"));
    EXPECT_EQ(shell.boxes[1].icon, Shell::Icon::Information);
    EXPECT_EQ(shell.boxes[1].title, S("Quotazioni Euribor"));
}

TEST(PReplace, ScansOnlyTheOriginalLength) {
    QString e = S("aXbXc");
    EXPECT_EQ(clsStockQuote::pReplace(e, S("X"), S("--")), S("a--b--c"));
    EXPECT_EQ(e, S("a--b--c"));
    QString shortText = S("ab");
    EXPECT_EQ(clsStockQuote::pReplace(shortText, S("abc"), S("z")), S("ab"));
    QString xxx = S("XXX");
    EXPECT_EQ(clsStockQuote::pReplace(xxx, S("X"), S("--")), S("----X"));
    QString again = S("aXb");
    EXPECT_EQ(clsStockQuote::pReplace(again, S("X"), S("YX")), S("aYYXb"));
    EXPECT_EQ(clsStockQuote::sp(), S("&nbsp;"));
}
