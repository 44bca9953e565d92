// Extraction of the rate table, the rate captions and the page client.

#include "extraction.h"
#include "formats.h"
#include "stock_quote.h"
#include "vb.h"

#include "support/fake_shell.h"
#include "support/fakes.h"
#include "support/text.h"

#include <QFile>

#include <vector>

#include <gtest/gtest.h>

using namespace quote;
using formats::rateCaption;

namespace {
Extraction run(const QString& page, const QStringList& items) {
    return extractAll(page, items, QDate(2026, 12, 4), S("start"), S("04-12"));
}
QString row3m(const char* rate, const char* date) {
    return pageRow(S("EuRibor 3m"), S(rate), S(date));
}
// The only entry of a page with the 3m row given.
HistEntry only3m(const QString& row) {
    const Extraction x = run(ratePage({row}), {S("EuRibor 3m")});
    EXPECT_EQ(x.entries.size(), 1);
    return x.entries.value(0);
}
} // namespace

TEST(RateCaption, AppendsZerosCutsToSixAndReadsBackWithTheDecimalComma) {
    const std::pair<const char*, const char*> captions[] = {
        {" 2,345", "2,3450"}, {"-1", "-100"}, {"", "00"}, {"4,1", "4,100"}};
    for (const auto& [rate, caption] : captions)
        EXPECT_EQ(rateCaption(S(rate)), S(caption)) << rate;
    const std::pair<const char*, double> rates[] = {
        {"2,3450", 2.345}, {"-100", -100.0}, {"00", 0.0}, {"2.3450", 2.345}, {"-0,545", -0.545}};
    for (const auto& [caption, rate] : rates)
        EXPECT_DOUBLE_EQ(rateFromCaption(S(caption)), rate) << caption;
}

TEST(Extraction, CutsRateAndDateOfEveryTenorAndNeverGuessesADay) {
    const QString page =
        ratePage({pageRow(S("EuRibor 1m"), S("1,986"), S("11/05/2008")), row3m("2,345", "12/05/2008")});
    const Extraction x = run(page, {S("EuRibor 1m"), S("EuRibor 3m")});
    ASSERT_EQ(x.entries.size(), 2);
    const HistEntry& e = x.entries[1];
    EXPECT_EQ(QStringList({e.type, e.date, e.descr, e.note, x.entries[0].date, x.lblQuote, x.lblData}),
              QStringList({S("EuRibor 3m"), S("20080512"), S("EuRibor 3m"), QString(), S("20080511"),
                           S("2,3450"), S("12-05")}));
    EXPECT_DOUBLE_EQ(e.quote, 2.345);
    EXPECT_DOUBLE_EQ(x.entries[0].quote, 1.986);
    EXPECT_FALSE(e.unavailable || x.items[0].unavailableMessage || x.items[1].unavailableMessage);

    // A day is read from the start of its cell; a rate whose cell holds no day is shown, never recorded.
    const std::pair<const char*, const char*> days[] = {{"  12/05/2008 (fixing)", "20080512"},
                                                        {"12/05/2008&nbsp;", "20080512"},
                                                        {"&nbsp;12/05/2008 ", "20080512"},
                                                        {"<b>12/05/2008</b>", "20080512"},
                                                        {"12/05/20081", ""},
                                                        {"12/05/2008/1", ""}};
    for (const auto& [cell, key] : days) {
        const Extraction y = run(ratePage({row3m("2,345", cell)}), {S("EuRibor 3m")});
        EXPECT_EQ(y.entries.value(0).date, S(key)) << cell;
    }
    for (const char* date :
         {"", "12-05-2008", "2/5/2008", "7/12/2026", "n.d.", "12/05/200x", "x2/05/2008", "١٢/٠٥/٢٠٠٨",
          "12/05/２００８", "12345/6789", "04-12/2026", "12/05-2008", "99/99/2026", "31/02/2026"}) {
        SCOPED_TRACE(date);
        const Extraction y = run(ratePage({row3m("2,345", date)}), {S("EuRibor 3m")});
        EXPECT_EQ(y.entries.size(), 1);
        EXPECT_TRUE(y.entries.value(0).date.isEmpty() && y.lblData.isEmpty() &&
                    !recordable(y.entries.value(0)));
        EXPECT_TRUE(y.items.value(0).undated && !y.items.value(0).unavailableMessage);
        EXPECT_EQ(y.items.value(0).dateCell, S(date));
    }
}

TEST(Extraction, ATenorsRateAndDateComeFromItsOwnRowOnly) {
    const QString oddCell = S("<tr><td align=\"left\" class=\"xplanecella\">EuRibor 1m</td>"
                              "<td align=\"right\" class=\"xplanecella\">n.d.</td></tr>\r\n");
    const Extraction x =
        run(ratePage({oddCell, row3m("2,064", "11/05/2008")}), {S("EuRibor 1m"), S("EuRibor 3m")});
    ASSERT_EQ(x.entries.size(), 2);
    EXPECT_TRUE(x.entries[0].unavailable) << "the 3m rate is not the 1m's";
    EXPECT_DOUBLE_EQ(x.entries[1].quote, 2.064);

    const Extraction y = run(S("<p>Il tasso EuRibor 3m di oggi</p>") +
                                 ratePage({pageRow(S("EuRibor 1m"), S("1,986"), S("11/05/2008"))}),
                             {S("EuRibor 3m")});
    ASSERT_EQ(y.entries.size(), 1);
    EXPECT_TRUE(y.entries[0].unavailable);
}

TEST(Extraction, KeyIsTheFirstThirteenCharactersFoundInAnyCase) {
    const QString page = ratePage({pageRow(S("EURIBOR 12M ACT/360"), S("2,231"), S("04/12/2026"))});
    const Extraction x = run(page, {S("euribor 12m act/360 mensile")});
    ASSERT_EQ(x.entries.size(), 1);
    EXPECT_EQ(x.entries[0].type + u'|' + x.entries[0].descr, S("euribor 12m a|euribor 12m act/360 mensile"));
    EXPECT_DOUBLE_EQ(x.entries[0].quote, 2.231);
}

TEST(Extraction, ARateThatCannotBeCutIsMarkedUnavailable) {
    // Markers are case sensitive; a rate cell needs its class and a digit.
    const QString row = row3m("2,345", "12/05/2008");
    const std::tuple<QString, const char*, double> cases[] = {
        {ratePage({QString(row).replace(S("td align="), S("TD ALIGN="))}), "-100", -100.0},
        {ratePage({QString(row).replace(S("xplanerigatabella"), S("cella"))}), "-100", -100.0},
        {S("<tr><td>EuRibor 3m</td><td align=\"right\" class=\"xplanerigatabella\">"), "00", 0.0}};
    for (const auto& [page, caption, rate] : cases) {
        SCOPED_TRACE(page.toStdString());
        const Extraction x = run(page, {S("EuRibor 3m")});
        EXPECT_EQ(x.entries.size(), 1);
        EXPECT_TRUE(x.entries.value(0).unavailable && x.items.value(0).unavailableMessage);
        EXPECT_EQ(x.lblQuote + u'|' + x.entries.value(0).date, S(caption) + S("|20261204"));
        EXPECT_DOUBLE_EQ(x.entries.value(0).quote, rate);
    }
}

TEST(Extraction, ARateIsTheCellsWholeNumberOrUnavailable) {
    // The cell's text between its tag and "</td>"; no caption: no rate.
    const std::tuple<const char*, const char*, double> rates[] = {
        {"  1,912", "1,9120", 1.912},
        {"  <span class=\"v\">1,912</span>  ", "1,9120", 1.912},
        {"&nbsp;2,064&nbsp;", "2,0640", 2.064},
        {"\t2,064\r\n", "2,0640", 2.064},
        {"123,4567", "123,45", 123.4567},
        {"-0,545", "-0,545", -0.545},
        {"−0,545", "-0,545", -0.545},
        {"+1,5", "+1,500", 1.5},
        {"1.912", "1.9120", 1.912},
        {"007,10", "007,10", 7.1}};
    std::vector<std::tuple<const char*, const char*, double>> cases(std::begin(rates), std::end(rates));
    for (const char* cell :
         {"n.d.912", "", "-", "1,912%", "1,9 12", "- 1,912", "1.234,5", "1,2,3", "1,", ",5", "2",
          "1,912 1,913", "--1,5", "1,912<br>n.d.", "1e3,5", "٣,٥", "1,5\u00a0%"})
        cases.emplace_back(cell, nullptr, 0);
    for (const auto& [cell, caption, value] : cases) {
        const QString page =
            ratePage({S("<tr>\r\n<td align=\"left\" class=\"xplanecella\">EuRibor 3m</td>\r\n"
                        "<td align=\"right\" class=\"xplanerigatabella\">") +
                      S(cell) +
                      S("</td>\r\n<td align=\"right\" class=\"xplanerigatabella\">  12/05/2008</td>\r\n"
                        "</tr>\r\n")});
        SCOPED_TRACE(cell);
        const Extraction x = run(page, {S("EuRibor 3m")});
        const HistEntry e = x.entries.value(0);
        EXPECT_EQ(x.entries.size(), 1);
        EXPECT_EQ(e.unavailable, caption == nullptr);
        EXPECT_EQ(x.items.value(0).unavailableMessage, caption == nullptr);
        EXPECT_EQ(e.date, S("20080512"));
        if (caption) {
            EXPECT_EQ(e.quote, value);
            EXPECT_EQ(x.lblQuote + u'|' + x.items.value(0).rateCaption, S(caption) + u'|' + S(caption));
        }
    }
    // Too many digits for a number: no rate rather than an infinite one.
    EXPECT_TRUE(only3m(pageRow(S("EuRibor 3m"), QString(400, u'9') + S(",5"), S("12/05/2008"))).unavailable);
}

TEST(Extraction, EveryRateOfTheSamplePageIsReadWhole) {
    QFile f(QStringLiteral(EURIBOR_SOURCE_DIR "/data/sample/provider_page.html"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString page =
        vb::fromCp1252(f.readAll()).replace(QStringLiteral("{{DATA}}"), QStringLiteral("04/12/2026"));
    const Extraction x = run(page, {S("EuRibor 1w"), S("EuRibor 2w"), S("EuRibor 6m")});
    ASSERT_EQ(x.entries.size(), 3);
    const double rates[] = {1.912, 1.925, 2.137};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(!x.entries[i].unavailable && x.entries[i].quote == rates[i] &&
                    x.entries[i].date == S("20261204"))
            << i;
}

TEST(Extraction, TenorsMissingFromThePageRecordNothing) {
    const QString page = ratePage({row3m("2,345", "12/05/2008")});
    const Extraction last = run(page, {S("EuRibor 3m"), S("EuRibor 9m")});
    EXPECT_EQ(last.entries.size(), 1);
    EXPECT_TRUE(last.lblQuote.isEmpty()) << "the last item decides the caption";
    EXPECT_FALSE(last.items[1].found);
    EXPECT_EQ(run(page, {}).lblQuote, S("start"));

    const Extraction dup = run(page, {S("EuRibor 3m"), S("EuRibor 3m")});
    ASSERT_EQ(dup.entries.size(), 2);
    EXPECT_EQ(dup.entries[0].date, dup.entries[1].date);
    EXPECT_DOUBLE_EQ(dup.entries[1].quote, 2.345);
}

TEST(StockQuote, ReturnsSixCharactersAroundTheFirstCommaOrShowsTheMessage) {
    FakeFetcher fetcher;
    FakeShell shell;
    QString written;
    auto quote = [&](const char* page) {
        fetcher.page = S(page);
        clsStockQuote client(fetcher, shell, [&](const QString& p) { written = p; });
        client.setHtmPage(S("http://127.0.0.1/q"));
        return client.getQuote(S("EuRibor 3m"));
    };
    EXPECT_EQ(quote("xx EuRibor 3m:  2,345 %<BR>next 9,99"), S(" 2,345"));
    EXPECT_EQ(written, S("xx EuRibor 3m:  2,345 %<BR>next 9,99"));
    EXPECT_EQ(quote("EuRibor 3m1,5<BR>"), QString());
    EXPECT_EQ(quote("EuRibor 3m: 4,25 fine"), S(" 4,25 "));
    EXPECT_EQ(quote("EuRibor 3m: none<br>later 12,5"), S("12,5"));
    EXPECT_EQ(fetcher.urls.constLast(), S("http://127.0.0.1/q"));
    EXPECT_TRUE(shell.boxes.isEmpty());

    EXPECT_EQ(quote("euribor 3m: 2,345"), S("-1"));
    EXPECT_EQ(quote(""), S("-1"));
    EXPECT_EQ(written, QString());
    ASSERT_EQ(shell.boxes.size(), 2);
    const auto& box = shell.boxes[1];
    EXPECT_EQ(box.text + u'|' + box.title,
              S("Simbolo  EuRibor 3m  non trovato in Internet !|Quotazioni Euribor"));
    EXPECT_EQ(box.icon, Shell::Icon::Information);
}

TEST(PReplace, ScansOnlyTheOriginalLength) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"aXbXc", "X", "--", "a--b--c"},
        {"ab", "abc", "z", "ab"},
        {"XXX", "X", "--", "----X"},
        {"aXb", "X", "YX", "aYYXb"}};
    for (const auto& [text, from, to, result] : cases) {
        QString e = S(text);
        EXPECT_EQ(clsStockQuote::pReplace(e, S(from), S(to)), S(result)) << text;
        EXPECT_EQ(e, S(result)) << "the text is replaced in place";
    }
}
