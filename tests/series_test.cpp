// Reading rate histories for an import: this program's own files and published series.

#include "series_import.h"

#include "support/fakes.h"
#include "support/text.h"

#include <gtest/gtest.h>

using namespace series;

namespace {

const QStringList kTenors = {S("EuRibor 1w"), S("EuRibor 2w"), S("EuRibor 1m"), S("EuRibor 2m"),
                             S("EuRibor 3m"), S("EuRibor 6m"), S("EuRibor 9m"), S("EuRibor 12m")};

// Each record as "tenor date rate/decimals@line" without "EuRibor ", the description only when another.
QString recordsText(const Parsed& p) {
    QStringList out;
    for (const Record& r : p.records)
        out.append(
            QString(r.tenor).remove(S("EuRibor ")) + (r.descr == r.tenor ? QString() : u'/' + r.descr) +
            S(" %1 %2/%3@%4").arg(r.date, QString::number(r.rate, 'g', 10)).arg(r.decimals).arg(r.line));
    return out.join(S("; "));
}

QString badText(const Parsed& p) {
    QStringList out;
    for (const BadLine& b : p.badLines)
        out.append(QString::number(b.line) + u' ' + b.reason);
    return out.join(S("; "));
}

} // namespace

TEST(SeriesImport, ReadsEachFormatIntoTenorDateRateAndPrecision) {
    const std::tuple<const char*, QByteArray, const char*, Format, const char*> cases[] = {
        {"own history file, Windows-1252, decimal comma",
         cp1252Lines({S("Data;Quotazione;Valuta;Note"), S("04-12-2026 - 1,9120 - EuRibor 1w"),
                      S("04-12-2026 - -0,545 - EuRibor 12m")}),
         "", Format::HistoryFile, "1w 20261204 1.912/4@2; 12m 20261204 -0.545/3@3"},
        {"own history file, decimal point, no header", "05-12-2026 - 4.100 - EuRibor 3m\n", "EuRibor 6m",
         Format::HistoryFile, "3m 20261205 4.1/3@1"},
        {"own CSV, both separators, a note, the header again",
         cp1252Lines({S("Data;Quotazione;Valuta;Note"), S("04/12/2026;1.9120;EuRibor 1w;"),
                      S("Data;Quotazione;Valuta;Note"), S("04/12/2026;2,064;EuRibor 3m;nota")}),
         "", Format::HistoryCsv, "1w 20261204 1.912/4@2; 3m 20261204 2.064/3@4"},
        {"series by --tenore, ISO dates, header", "DATE,RATE\n2024-01-02,3.905\n2024-01-03,4\n", "EuRibor 3m",
         Format::Series, "3m 20240102 3.905/3@2; 3m 20240103 4/0@3"},
        {"Italian dates, semicolons, decimal comma, no header", "02/01/2024;3,905\r\n", "EuRibor 6m",
         Format::Series, "6m 20240102 3.905/3@1"},
        {"tabs and a column of maturities, which wins over --tenore",
         "data\tscadenza\ttasso\n2024-01-02\t3m\t3.905\n2024-01-02\t1W\t3.87\n2024-01-02\t1 anno\t3.51\n",
         "EuRibor 6m", Format::Series, "3m 20240102 3.905/3@2; 1w 20240102 3.87/2@3; 12m 20240102 3.51/2@4"},
        {"comma between fields and in the rate, told by the header",
         "date,rate,source\n2024-01-02,3,905,BCE\n2024-01-03,-0,5,BCE\n", "EuRibor 3m", Format::Series,
         "3m 20240102 3.905/3@2; 3m 20240103 -0.5/1@3"},
        {"comma between fields and in the rate, no header", "2024-01-02,3,905\n", "EuRibor 3m",
         Format::Series, "3m 20240102 3.905/3@1"},
        {"commas only between fields, no header", "2024-01-02,3m,3.905,1\n", "", Format::Series,
         "3m 20240102 3.905/3@1"},
        {"quoted fields", "\"date\",\"tenor\",\"rate\"\n\"2024-01-02\",\"3M\",\"3,905\"\n", "",
         Format::Series, "3m 20240102 3.905/3@2"},
        {"a column per tenor, other columns ignored", "date,1w,3m,12m,note\n2024-01-02,3.87,3.905,3.51,x\n",
         "", Format::Columns, "1w 20240102 3.87/2@2; 3m 20240102 3.905/3@2; 12m 20240102 3.51/2@2"},
        {"a column per tenor, comma in the rates too", "date,1m,3m\n2024-01-02,3,86,3,905\n", "",
         Format::Columns, "1m 20240102 3.86/2@2; 3m 20240102 3.905/3@2"},
        {"UTF-8 with BOM, titles, columns named in words",
         "\xEF\xBB\xBFTassi Euribor\nFonte: BCE\nData;Euribor 3 mesi;Euribor 1 year\n02/01/2024;3,905;3,51\n",
         "", Format::Columns, "3m 20240102 3.905/3@4; 12m 20240102 3.51/2@4"},
        {"UTF-16 with BOM",
         QByteArray("\xFF\xFE", 2) +
             QByteArray(reinterpret_cast<const char*>(u"date,6m\r\n2024-01-02,3.9\r\n"), 2 * 25),
         "", Format::Columns, "6m 20240102 3.9/1@2"}};
    for (const auto& [name, bytes, tenor, format, records] : cases) {
        SCOPED_TRACE(name);
        const Parsed p = parse(bytes, kTenors, S(tenor));
        EXPECT_EQ(p.refusal + u'|' + recordsText(p) + u'|' + badText(p) + QString::number(p.placeholders),
                  S("|") + S(records) + S("|0"));
        EXPECT_EQ(p.format, format);
    }
    const Record r{S("EuRibor 3m"), S("EuRibor 3m"), S("20240102"), 3.905, 3, 1};
    EXPECT_TRUE(sameRate(3.9050004, r) && sameRate(3.90499, r));
    EXPECT_FALSE(sameRate(3.906, r) || sameRate(3.9044, r));
}

TEST(SeriesImport, CountsPlaceholdersNamesTheLinesItCannotReadAndRefusesWhatIsNoHistory) {
    // The records, the placeholders, the bad lines or the refusal.
    const std::tuple<const char*, QByteArray, const char*> cases[] = {
        {"a column per tenor",
         "date,3m,6m\n2024-01-02,null,3.9\n2024-01-03,n.d.,-\n2024-01-04,.,\nfoo,1,2\n2024-01-05,3.9x,3.8\n"
         "2024-02-30,1,1\n2024-01-08,3.95,3.85\n",
         "6m 20240102 3.9/1@2; 6m 20240105 3.8/1@6; 3m 20240108 3.95/2@8; 6m 20240108 3.85/2@8|5|5 data non "
         "valida: foo; 6 quotazione non valida in 3m: 3.9x; 7 data non valida: 2024-02-30"},
        {"a column of maturities",
         "2024-01-02;3m;3,9\n2024-01-02;18m;3,7\n2024-01-03;3m\n2024-01-04;3m;N.D.\n",
         "3m 20240102 3.9/1@1|1|2 scadenza non nell'elenco: 18m; 3 manca la quotazione"},
        {"own history file",
         cp1252Lines({S("Data;Quotazione;Valuta;Note"), S("04-12-2026 - -100 - EuRibor 3m"),
                      S("04-12-2026 - -1,000 - EuRibor 3m"), S("04-12-2026 - abc - EuRibor 3m"),
                      S("riga rotta"), S("05-12-2026 - 2,1 - "), S("07-12-2026 - 2,0640 - EuRibor 3m")}),
         "3m 20261207 2.064/4@7|2|4 quotazione non valida: abc; 5 riga non nel formato dello storico; 6 "
         "manca la "
         "scadenza"},
        {"empty", "\r\n  \r\n", "|0||il file è vuoto"},
        {"an image", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
         "|0||il file non è un testo (contiene dati binari)"},
        {"a web page", "\n <!DOCTYPE html>\n<html><body>2024-01-02 3.9</body></html>",
         "|0||il file è una pagina web, non una serie di quotazioni"},
        {"one word", "parola", "|0||nessuna riga con una data e una quotazione"},
        {"dates without rates", "2024-01-02\n2024-01-03;BCE\n",
         "|0||nessuna riga con una data e una quotazione"},
        {"no tenor named nor given", "date,rate\n2024-01-02,3.9\n",
         "|0||il file non dice di quale scadenza sono le quotazioni: indicarla con --tenore"},
        {"columns of tenors the list lacks", "date,18m,24m\n2024-01-02,3.9,3.8\n",
         "|0||le colonne sono di scadenze che l'elenco non ha: 18m, 24m"},
        {"no line readable", "date,3m\n2024-01-02,x\n",
         "|0||nessuna riga con una data e una quotazione leggibili"}};
    for (const auto& [name, bytes, want] : cases) {
        SCOPED_TRACE(name);
        const Parsed p = parse(bytes, kTenors);
        const QString got = recordsText(p) + u'|' + QString::number(p.placeholders) + u'|' + badText(p);
        EXPECT_EQ(p.refusal.isEmpty() ? got : got.section(u'|', 0, 1) + S("||") + p.refusal, S(want));
    }
}
