// euribor --importa.

#include "history_lines.h"
#include "import_command.h"

#include "support/fakes.h"
#include "support/sqlite_files.h"
#include "support/text.h"

#include <QDate>
#include <QFile>
#include <QLockFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray kHeader("Data;Quotazione;Valuta;Note\r\n");
const QLocale kItalian(QLocale::Italian, QLocale::Italy);

Outcome import(const Folder& folder, const QString& file, const QString& tenor = {}, bool overwrite = false) {
    Outcome r;
    QTextStream out(&r.out), err(&r.err);
    r.exit = core::runImportCommand({folder.path(), {file}, tenor, overwrite, kItalian, 0}, out, err);
    return r;
}

QStringList dataLines(const QString& path) {
    const QStringList lines = QString::fromLatin1(readFile(path)).split(S("\r\n"), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.value(0), history::historyHeader()) << path.toStdString();
    return lines.mid(1);
}

// The command's line for a tenor of file from "tenor imported present conflicts refused [replaced]".
QString countsLine(const QString& file, const QString& counts) {
    const QStringList n = counts.split(u' ');
    return S("%1, EuRibor %2: %3 importati%4, %5 già presenti, %6 in conflitto, %7 scartati\n")
        .arg(file, n[0], n[1], n.size() > 5 ? S(" (%1 sostituiti)").arg(n[5]) : QString(), n[2], n[3], n[4]);
}

// Every record has its line in both files, each once, and every line its record.
void expectFilesAgreeWithDatabase(const Folder& folder) {
    QStringList txt, csv;
    for (const Row& r : allRows(folder.db())) {
        const QString rate = history::fileRateText(r.quote.toDouble(), kItalian);
        txt.append(history::historyFileLine(r.date.toString(), rate, r.descr.toString()));
        csv.append(history::csvLine(r.date.toString(), rate, r.descr.toString()));
    }
    for (auto [path, want] : {std::pair{folder.history(), txt}, std::pair{folder.csv(), csv}}) {
        QStringList have = dataLines(path);
        have.sort();
        want.sort();
        EXPECT_EQ(have, want) << path.toStdString();
    }
}

} // namespace

TEST(ImportCommand, TheMissingDaysAreRecordedAsTheDailyRecordingWritesThem) {
    const QStringList threeM = {S("EuRibor 3m|20261201|2.064|EuRibor 3m|")},
                      both = threeM + QStringList{S("EuRibor 1m|20261202|1.986|EuRibor 1m|")};
    // The formats themselves are the reader's (series_test): here, what the command adds to them.
    const std::tuple<const char*, QByteArray, const char*, QStringList, const char*> cases[] = {
        {"this program's TXT with the other separator",
         kHeader + "01-12-2026 - 2.0640 - EuRibor 3m\r\n02-12-2026 - -100 - EuRibor 1m\r\n", "", threeM,
         "1m 0 0 0 1|3m 1 0 0 0"},
        {"a wide file", "date,1m,3m\n2026-12-01,null,2.064\n2026-12-02,1.986,.\n", "", both,
         "1m 1 0 0 1|3m 1 0 0 1"},
        {"a series named by --tenore", "01/12/2026;2,064\r\n", "EuRibor 3m", threeM, "3m 1 0 0 0"}};
    for (const auto& [name, bytes, tenor, rows, counts] : cases) {
        SCOPED_TRACE(name);
        Folder folder(true);
        const QString file = folder.path(S("serie.txt"));
        writeFile(file, bytes);
        const Outcome r = import(folder, file, S(tenor));
        EXPECT_EQ(r.exit, core::AllImported) << r.err.toStdString();
        QString out;
        for (const QString& c : S(counts).split(u'|'))
            out += countsLine(file, c);
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(rowTexts(folder.db()), rows);
        // Written with the folder's own separator, whatever the file's.
        EXPECT_TRUE(dataLines(folder.csv()).contains(S("01/12/2026;2,0640;EuRibor 3m;")));
        expectFilesAgreeWithDatabase(folder);
    }
}

// One history, imported into again and again.
TEST(ImportCommand, DaysAlreadyRecordedConflictsAndRefusalsDecideTheExit) {
    // out: the 3m counts; err: F for the file; first: the rate recorded for 01/12/2026 after the step.
    const QByteArray base = "2026-12-01,3m,2.064\n2026-12-02,3m,2.070\n";
    const QString kept =
                      S("F, riga 1: EuRibor 3m del %1: registrato %2, nel file %3 (tenuto il registrato)\n"),
                  none = S("F: nessuna quotazione importata: ");
    const std::tuple<const char*, QByteArray, bool, int, const char*, QString, const char*> steps[] = {
        {"first import", base, false, 0, "2 0 0 0", {}, "2.064"},
        {"the same file again", base, false, 0, "0 2 0 0", {}, "2.064"},
        {"the same rate at the file's precision", "2026-12-01,3m,2.06\n", false, 0, "0 1 0 0", {}, "2.064"},
        {"a conflict keeps the recorded rate", "2026-12-01,3m,2.065\n2026-12-03,3m,2.080\n", false, 1,
         "1 0 1 0", kept.arg(S("01/12/2026"), S("2,064"), S("2,065")), "2.064"},
        {"only conflicts import nothing", "2026-12-02,3m,2.15\n", false, 2, "0 0 1 0",
         kept.arg(S("02/12/2026"), S("2,07"), S("2,15")), "2.064"},
        {"--sovrascrivi takes the file's rate", "2026-12-01,3m,2.065\n2026-12-03,3m,2.080\n", true, 0,
         "1 1 0 0 1",
         S("F, riga 1: EuRibor 3m del 01/12/2026: registrato 2,064, nel file 2,065 (sostituito)\n"), "2.065"},
        {"placeholders are counted",
         "2026-12-04,3m,n.d.\n2026-12-07,3m,-\n2026-12-08,3m,2.1\n",
         false,
         0,
         "1 0 0 2",
         {},
         "2.065"},
        {"unreadable lines are told, the others imported",
         "2026-12-09,3m,2.1\n2026-13-45,3m,2.2\n2026-12-10,3m,abc\n", false, 1, "1 0 0 0",
         S("F, riga 2: data non valida: 2026-13-45\nF, riga 3: quotazione non valida: abc\n"), "2.065"},
        {"a binary file", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), false, 2, "",
         none + S("il file non è un testo (contiene dati binari).\n"), "2.065"},
        {"a page", "<!DOCTYPE html>\n<html><body>2026-12-11,3m,2.1</body></html>\n", false, 2, "",
         none + S("il file è una pagina web, non una serie di quotazioni.\n"), "2.065"},
        {"one word", "Euribor\n", false, 2, "", none + S("nessuna riga con una data e una quotazione.\n"),
         "2.065"}};
    Folder folder(true);
    const QString file = folder.path(S("serie.csv"));
    for (const auto& [name, bytes, overwrite, exit, out, err, first] : steps) {
        SCOPED_TRACE(name);
        writeFile(file, bytes);
        const Outcome r = import(folder, file, {}, overwrite);
        EXPECT_EQ(r.exit, exit);
        EXPECT_EQ(r.out, *out ? countsLine(file, S("3m ") + S(out)) : QString());
        EXPECT_EQ(r.err, QString(err).replace(S("F"), file));
        const QStringList rows = rowTexts(folder.db());
        EXPECT_EQ(rows.value(0), S("EuRibor 3m|20261201|") + S(first) + S("|EuRibor 3m|"));
        EXPECT_EQ(QSet<QString>(rows.begin(), rows.end()).size(), rows.size()) << "a record doubled";
    }
    EXPECT_EQ(rowTexts(folder.db()).size(), 5);
    // The day overwritten keeps its old line: lines are only ever added.
    const QStringList txt = dataLines(folder.history());
    EXPECT_EQ(txt.size(), 6);
    EXPECT_EQ(txt.filter(S("01-12-2026 - ")),
              (QStringList{S("01-12-2026 - 2,0640 - EuRibor 3m"), S("01-12-2026 - 2,0650 - EuRibor 3m")}));
    EXPECT_EQ(dataLines(folder.csv()).size(), 6);

    QLockFile window(folder.path(S(".euribor.lock")));
    ASSERT_TRUE(window.tryLock(0));
    const Outcome busy = import(folder, file);
    EXPECT_EQ(busy.exit, core::ImportBusy);
    EXPECT_TRUE(busy.err.contains(S("già in esecuzione"))) << busy.err.toStdString();
}

// The kill points of the recording are the update's (update_test).
TEST(ImportProgram, AKillInTheMiddleOfALongImportIsCompletedByTheNext) {
    QByteArray series = kHeader;
    for (QDate day(2020, 1, 1); day < QDate(2020, 2, 20); day = day.addDays(1)) // 50 days
        for (const char* t : {"1w", "2w", "1m", "2m", "3m", "6m", "9m", "12m"})
            series += day.toString(S("dd/MM/yyyy")).toLatin1() + ";2," +
                      QByteArray::number(day.dayOfYear() + 1000) + ";EuRibor " + t + ";\r\n";
    QTemporaryDir in;
    const QString file = in.filePath(S("Storico_Euribor.CSV"));
    writeFile(file, series);
    Folder folder(true);
    const QStringList args = {S("--importa"), file, S("--cartella"), folder.path()};
    EXPECT_EQ(runEuribor(args, {S("EURIBOR_TEST_KILL_AT=after-commit")}).exit, -1);
    const Outcome again = runEuribor(args);
    EXPECT_EQ(again.exit, core::AllImported);
    EXPECT_EQ(again.out.count(S(": 0 importati, 50 già presenti, 0 in conflitto")), 8)
        << again.out.toStdString();
    EXPECT_EQ(integrityCheck(folder.db()), S("ok"));
    const QStringList rows = rowTexts(folder.db());
    EXPECT_EQ(rows.size(), series.count('\n') - 1);
    EXPECT_EQ(QSet<QString>(rows.begin(), rows.end()).size(), rows.size());
    expectFilesAgreeWithDatabase(folder);
}
