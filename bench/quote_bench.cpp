// Extraction of 50 tenors from a 1 MiB page, and the whole activation cycle against a loopback page.

#include "bench_support.h"
#include "extraction.h"
#include "form1.h"
#include "login_ras.h"
#include "qt_page_fetcher.h"
#include "vb.h"

#include "support/loopback_http.h"

#include <QApplication>
#include <QFile>

#include <benchmark/benchmark.h>

namespace {

QStringList tenors(int n) {
    QStringList items;
    for (int i = 1; i <= n; ++i)
        items.append(QStringLiteral("EuRibor %1x").arg(i, 3, 10, QLatin1Char('0')));
    return items;
}

// Filler text first, as on a real page, then the rate table.
QString bigPage(const QStringList& items, qsizetype bytes) {
    QString rows;
    for (const QString& item : items)
        rows += benchRow(item, QStringLiteral("2,345"), QStringLiteral("04/12/2026"));
    QString page = QStringLiteral("<html><body><p>");
    const QString filler = QStringLiteral("Tassi interbancari del mercato monetario, più sotto la tabella. ");
    while (page.size() + rows.size() < bytes)
        page += filler;
    return page + QStringLiteral("</p><table>") + rows + QStringLiteral("</table></body></html>");
}

void BM_Extract50TenorsFrom1MiB(benchmark::State& state) {
    const QStringList items = tenors(50);
    const QString page = bigPage(items, 1 << 20);
    for (auto _ : state) {
        const quote::Extraction x = quote::extractAll(page, items, QDate(2026, 12, 4), QString(), QString());
        benchmark::DoNotOptimize(x.entries.size());
    }
}
BENCHMARK(BM_Extract50TenorsFrom1MiB)->Unit(benchmark::kMillisecond);

// Start to lblQuote shown: load, activation (fetch over loopback, extraction, recording, list).
void BM_ActivationCycle(benchmark::State& state) {
    const QStringList items = {QStringLiteral("EuRibor 1w"), QStringLiteral("EuRibor 1m"),
                               QStringLiteral("EuRibor 3m"), QStringLiteral("EuRibor 6m"),
                               QStringLiteral("EuRibor 12m")};
    QString rows;
    for (const QString& item : items)
        rows += benchRow(item, QStringLiteral("2,064"), QStringLiteral("04/12/2026"));
    LoopbackHttpServer server({{"/page",
                                {200, "Content-Type: text/html\r\n",
                                 vb::toCp1252(QStringLiteral("<html><body><table>") + rows +
                                              QStringLiteral("</table></body></html>")),
                                 false}}});
    BenchFolder f;
    QFile copy(f.file("Euribor_PORTALEDATI.txt"));
    copy.open(QIODevice::WriteOnly);
    copy.write(vb::toCp1252(items.join(QStringLiteral(" 2,064\r\n")) + QStringLiteral(" 2,064\r\n")));
    copy.close();

    QtPageFetcher fetcher;
    f.ctx.fetcher = &fetcher;
    f.ctx.pageUrl = QString::fromLatin1(server.url("/page"));
    for (auto _ : state) {
        Login_RAS login;
        form1 w(f.ctx, &login);
        w.Form_Load();
        w.Form_Activate();
        if (w.lblQuote->text().isEmpty() || f.shell.boxes != 0)
            state.SkipWithError("the cycle did not show a rate");
    }
}
BENCHMARK(BM_ActivationCycle)->Unit(benchmark::kMillisecond);

} // namespace

EURIBOR_BENCHMARK_MAIN()
