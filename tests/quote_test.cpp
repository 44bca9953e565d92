// Extraction of the rate table, the rate captions and the page client.

#include "extraction.h"
#include "formats.h"
#include "stock_quote.h"
#include "vb.h"

#include "support/fake_shell.h"
#include "support/fakes.h"
#include "support/text.h"

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
} // namespace

TEST(RateCaption, AppendsZerosCutsToSixAndReadsBackWithTheDecimalComma) {
    const std::tuple<const char*, const char*, double> captions[] = {
        {" 2,345", "2,3450", 2.345}, {"-1", "-100", -100.0},      {"", "00", 0.0},
        {"4,1", "4,100", 4.1},       {"2.3450", "2.3450", 2.345}, {"-0,545", "-0,545", -0.545}};
    for (const auto& [rate, caption, value] : captions) {
        SCOPED_TRACE(rate);
        EXPECT_EQ(rateCaption(S(rate)), S(caption));
        EXPECT_DOUBLE_EQ(rateFromCaption(S(caption)), value);
    }
}

// A rate whose cell holds no day is shown, never recorded.
TEST(Extraction, ADayIsReadFromTheStartOfItsCellAndNeverGuessed) {
    for (const char* cell :
         {"  12/05/2008 (fixing)", "12/05/2008&nbsp;", "&nbsp;12/05/2008 ", "<b>12/05/2008</b>"}) {
        SCOPED_TRACE(cell);
        EXPECT_EQ(run(ratePage({row3m("2,345", cell)}), {S("EuRibor 3m")}).entries.value(0).date,
                  S("20080512"));
    }
    for (const char* date : {"", "12-05-2008", "2/5/2008", "7/12/2026", "n.d.", "12/05/200x", "x2/05/2008",
                             "١٢/٠٥/٢٠٠٨", "12/05/２００８", "12345/6789", "04-12/2026", "12/05-2008",
                             "99/99/2026", "31/02/2026", "12/05/20081", "12/05/2008/1"}) {
        SCOPED_TRACE(date);
        const Extraction y = run(ratePage({row3m("2,345", date)}), {S("EuRibor 3m")});
        EXPECT_EQ(y.entries.size(), 1);
        EXPECT_TRUE(y.entries.value(0).date.isEmpty() && y.lblData.isEmpty() &&
                    !recordable(y.entries.value(0)));
        EXPECT_TRUE(y.items.value(0).undated && !y.items.value(0).unavailableMessage);
        EXPECT_EQ(y.items.value(0).dateCell, S(date));
    }
}

// The key is the first thirteen characters, found in any case; a last tenor missing blanks the caption.
TEST(Extraction, ATenorsRateAndDateComeFromTheFirstRowNamingItOnly) {
    const QString r1m = pageRow(S("EuRibor 1m"), S("1,986"), S("11/05/2008")),
                  r3m = row3m("2,064", "12/05/2008");
    const QString other1m = pageRow(S("EuRibor 1m"), S("9,999"), S("01/01/2001"));
    const QString noRateCell = S("<tr><td align=\"left\" class=\"xplanecella\">EuRibor 1m</td>"
                                 "<td align=\"right\" class=\"xplanecella\">n.d.</td></tr>\r\n");
    const QString noDateCell = QString(r1m).replace(
        S("<td align=\"right\" class=\"xplanerigatabella\">  11/05/2008</td>\r\n"), QString());
    const QString strayCell = S("\r\n<td align=\"right\" class=\"xplanerigatabella\">07/12/2026</td>\r\n");
    const QStringList both = {S("EuRibor 1m"), S("EuRibor 3m")}, only3m = {S("EuRibor 3m")};
    // entries: per item "rate date", "n.d." or "-" when not found; then the captions.
    const std::tuple<const char*, QString, const char*, QStringList> cases[] = {
        {"rows one after the other", ratePage({r1m, r3m}), "1.986 20080511|2.064 20080512|2,0640 12-05",
         both},
        {"a row without rate cells", ratePage({noRateCell, r3m}), "n.d.|2.064 20080512|2,0640 12-05", both},
        {"the tenor named twice", ratePage({r1m, other1m, r3m, other1m}),
         "1.986 20080511|2.064 20080512|2,0640 12-05", both},
        {"comments, text and blanks between rows",
         ratePage({r1m, S(" \t<!-- fissaggio delle 11:00 -->\r\n testo \r\n"), r3m}),
         "1.986 20080511|2.064 20080512|2,0640 12-05", both},
        {"a stray cell between rows", ratePage({noDateCell, strayCell, r3m}),
         "1.986 |2.064 20080512|2,0640 12-05", both},
        {"a mention before the table", S("<p>Il tasso EuRibor 1m di oggi</p>") + ratePage({r1m, r3m}),
         "n.d.|2.064 20080512|2,0640 12-05", both},
        {"the last tenor missing", ratePage({r1m}), "1.986 20080511|-| 11-05", both},
        {"a tenor listed twice", ratePage({r3m}), "2.064 20080512|2.064 20080512|2,0640 12-05",
         only3m + only3m},
        {"the key in another case",
         ratePage({pageRow(S("EURIBOR 12M ACT/360"), S("2,231"), S("04/12/2026"))}),
         "2.231 20261204|2,2310 04-12", QStringList(1, S("euribor 12m act/360 mensile"))},
        {"no tenor listed", ratePage({r3m}), "start 04-12", QStringList()},
        // Markers are case sensitive; a rate cell needs its class, and its end.
        {"cell markers in capitals", ratePage({QString(r3m).replace(S("td align="), S("TD ALIGN="))}),
         "n.d.|-100 04-12", only3m},
        {"a rate cell of another class", ratePage({QString(r3m).replace(S("xplanerigatabella"), S("cella"))}),
         "n.d.|-100 04-12", only3m},
        {"a page cut in the rate cell", r3m.first(r3m.indexOf(S("2,064"))), "n.d.|00 04-12", only3m}};
    for (const auto& [what, page, entries, items] : cases) {
        SCOPED_TRACE(what);
        const Extraction x = run(page, items);
        QStringList got;
        qsizetype next = 0;
        for (const ExtractedItem& item : x.items) {
            const HistEntry e = item.found ? x.entries.value(next++) : HistEntry{};
            EXPECT_TRUE(!item.found || (e.type == item.key && e.descr == vb::Trim(items.value(got.size()))));
            got.append(!item.found     ? S("-")
                       : e.unavailable ? S("n.d.")
                                       : QString::number(e.quote) + u' ' + e.date);
        }
        EXPECT_EQ(next, x.entries.size());
        got.append(x.lblQuote + u' ' + x.lblData);
        EXPECT_EQ(got.join(u'|'), S(entries));
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
    const std::string huge =
        std::string(400, '9') + ",5"; // too many digits: no rate rather than an infinite one
    for (const char* cell :
         {huge.c_str(), "n.d.912", "", "-", "1,912%", "1,9 12", "- 1,912", "1.234,5", "1,2,3", "1,", ",5",
          "2", "1,912 1,913", "--1,5", "1,912<br>n.d.", "1e3,5", "٣,٥", "1,5\u00a0%"})
        cases.emplace_back(cell, nullptr, 0);
    for (const auto& [cell, caption, value] : cases) {
        SCOPED_TRACE(cell);
        // Without the blanks pageRow puts before the rate.
        const Extraction x =
            run(ratePage({row3m("", "12/05/2008").replace(S(">  </td>"), S(">") + S(cell) + S("</td>"))}),
                {S("EuRibor 3m")});
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
}

TEST(Extraction, EveryRateOfTheSamplePageIsReadWhole) {
    const Extraction x =
        run(vb::fromCp1252(samplePage(S("04/12/2026"))), {S("EuRibor 1w"), S("EuRibor 2w"), S("EuRibor 6m")});
    QStringList got;
    for (const HistEntry& e : x.entries)
        got.append(QString::number(e.quote) + u' ' + e.date + (e.unavailable ? S(" n.d.") : QString()));
    EXPECT_EQ(got, (QStringList{S("1.912 20261204"), S("1.925 20261204"), S("2.137 20261204")}));
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
    const std::pair<const char*, const char*> quotes[] = {{"xx EuRibor 3m:  2,345 %<BR>next 9,99", " 2,345"},
                                                          {"EuRibor 3m1,5<BR>", ""},
                                                          {"EuRibor 3m: 4,25 fine", " 4,25 "},
                                                          {"EuRibor 3m: none<br>later 12,5", "12,5"}};
    for (const auto& [page, result] : quotes) {
        SCOPED_TRACE(page);
        EXPECT_EQ(quote(page), S(result));
        EXPECT_EQ(written, S(page)) << "the page is kept";
    }
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
        SCOPED_TRACE(text);
        QString e = S(text);
        EXPECT_EQ(clsStockQuote::pReplace(e, S(from), S(to)), S(result));
        EXPECT_EQ(e, S(result)) << "the text is replaced in place";
    }
}
