// Importing ten years of daily exchange rates (about 2,600 records) into the history table.

#include "bench_support.h"
#include "form1.h"
#include "login_ras.h"
#include "vb.h"

#include <QApplication>
#include <QFile>

#include <benchmark/benchmark.h>

namespace {

void BM_ImportTenYears(benchmark::State& state) {
    BenchFolder f;
    QString text =
        QStringLiteral("Cambi ufficiali\r\nVALUTA SELEZIONATA: Dollaro USA\r\nData,Cambio,Note\r\n");
    QDate day(2016, 12, 5);
    for (int i = 0; i < 2600; ++i, day = day.addDays(1))
        text +=
            day.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(",%1,\r\n").arg(1.0 + i / 10000.0);
    const QString path = f.file("cambi.txt");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(vb::toCp1252(text));
    file.close();

    Login_RAS login;
    form1 w(f.ctx, &login);
    w.LoadHistory();
    w.Text4->setText(path);
    for (auto _ : state)
        w.Command8_Click();
    if (f.shell.boxes != 0 || w.Label15->text() != QStringLiteral("Numero records nel Database: 2600"))
        state.SkipWithError("the import did not store every record");
}
BENCHMARK(BM_ImportTenYears)->Unit(benchmark::kMillisecond);

} // namespace

EURIBOR_BENCHMARK_MAIN()
