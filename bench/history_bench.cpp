// LoadHistory of ten years of a dozen tenors with the list filled, and one daily recording.

#include "bench_support.h"
#include "form1.h"
#include "history_db.h"
#include "login_ras.h"

#include <QApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <benchmark/benchmark.h>

namespace {

const QStringList kTenors = {
    QStringLiteral("EuRibor 1w"), QStringLiteral("EuRibor 2w"),  QStringLiteral("EuRibor 3w"),
    QStringLiteral("EuRibor 1m"), QStringLiteral("EuRibor 2m"),  QStringLiteral("EuRibor 3m"),
    QStringLiteral("EuRibor 4m"), QStringLiteral("EuRibor 5m"),  QStringLiteral("EuRibor 6m"),
    QStringLiteral("EuRibor 9m"), QStringLiteral("EuRibor 10m"), QStringLiteral("EuRibor 12m")};

struct Folder : BenchFolder {
    // About 2,080 working days of each tenor.
    void fill(int records) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(dir.filePath(QStringLiteral("EURIBOR.MDB")));
        db.open();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO Storico_Euribor VALUES (?, ?, ?, ?, '')"));
        QDate day(2016, 12, 5);
        for (int i = 0; i < records; ++i) {
            if (i % kTenors.size() == 0)
                day = day.addDays(1);
            const QString& t = kTenors[i % kTenors.size()];
            q.addBindValue(t);
            q.addBindValue(day.toString(QStringLiteral("yyyyMMdd")));
            q.addBindValue(1.0 + (i % 997) / 1000.0);
            q.addBindValue(t);
            q.exec();
        }
        db.commit();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    }
};

// The read of every record from the file, as at start.
void BM_ReadHistory25000(benchmark::State& state) {
    Folder f;
    f.fill(25000);
    for (auto _ : state) {
        HistoryDb db;
        db.open(f.file("EURIBOR.MDB"));
        if (db.load().entries.size() != 25000)
            state.SkipWithError("not everything was loaded");
    }
}
BENCHMARK(BM_ReadHistory25000)->Unit(benchmark::kMillisecond);

// The window's LoadHistory of a start (the database opened and read: /first) and again in the same
// start (activation, "Elenco", a tenor pick: /again): the chosen tenor's arrays, its list and the count.
void BM_LoadHistory25000(benchmark::State& state) {
    const bool first = state.range(0) == 1;
    Folder f;
    f.fill(25000);
    Login_RAS login;
    form1 w(f.ctx, &login);
    w.Combo1->setEditText(QStringLiteral("EuRibor 3m"));
    for (auto _ : state) {
        if (first)
            w.CloseHistoryDb();
        w.LoadHistory();
        if (w.Label15->text() != QStringLiteral("Numero records nel Database: 25000") ||
            w.List1->count() == 0)
            state.SkipWithError("not everything was loaded");
    }
}
BENCHMARK(BM_LoadHistory25000)->ArgName("first")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// One recording after ten years of lines in both history files (each day's lines are looked for in
// them before they are written).
void BM_RecordTwelveTenors(benchmark::State& state) {
    Folder f;
    QByteArray history = "Data;Quotazione;Valuta;Note\r\n";
    QByteArray csv = history;
    QDate past(2016, 1, 1);
    for (int i = 0; i < 25000; ++i) {
        if (i % kTenors.size() == 0)
            past = past.addDays(1);
        const QByteArray t = kTenors[i % kTenors.size()].toLatin1();
        history += past.toString(QStringLiteral("dd-MM-yyyy")).toLatin1() + " - 2,0640 - " + t + "\r\n";
        csv += past.toString(QStringLiteral("dd/MM/yyyy")).toLatin1() + ";2,0640;" + t + ";\r\n";
    }
    for (const auto& [name, bytes] :
         {std::pair{"Storico_Euribor.TXT", history}, std::pair{"Storico_Euribor.CSV", csv}}) {
        QFile file(f.file(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    Login_RAS login;
    form1 w(f.ctx, &login);
    w.Text2->setText(f.dir.filePath(QStringLiteral("Storico_Euribor.TXT")));
    w.LoadHistory();
    int day = 0;
    for (auto _ : state) {
        w.Hist.clear();
        const QString date = QDate(2026, 1, 1).addDays(day++).toString(QStringLiteral("yyyyMMdd"));
        for (const QString& t : kTenors)
            w.Hist.append(HistEntry{t, date, 2.064, t, QString(), false});
        w.lblQuote->setText(QStringLiteral("2,0640"));
        w.RecordToday();
    }
    if (f.shell.boxes != 0)
        state.SkipWithError("the recording reported a failure");
}
BENCHMARK(BM_RecordTwelveTenors)->Unit(benchmark::kMillisecond);

} // namespace

EURIBOR_BENCHMARK_MAIN()
