// The daily update without a window, and the real executable run as the timer runs it.

#include "console_shell.h"
#include "daily_cycle.h"
#include "data_folder.h"
#include "file_channels.h"
#include "history_db.h"
#include "history_lines.h"
#include "update_command.h"

#include "support/fakes.h"
#include "support/loopback_http.h"
#include "support/sqlite_files.h"
#include "support/text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

const QByteArray kHeader("Data;Quotazione;Valuta;Note\r\n");
const QLocale kItalian(QLocale::Italian, QLocale::Italy);
QString row(const char* name, const char* rate) {
    return pageRow(S(name), S(rate), S("04/12/2026"));
}
const QString kThreeRates =
    ratePage({row("EuRibor 1m", "1,986"), row("EuRibor 3m", "2,064"), row("EuRibor 6m", "2,137")});

Outcome update(const QString& folder, FakeFetcher& fetcher, const QLocale& locale = kItalian) {
    Outcome r;
    QTextStream out(&r.out), err(&r.err);
    r.exit = core::runUpdateCommand({folder, S("http://127.0.0.1:9/p"), locale, QDate(2026, 12, 4), 50},
                                    fetcher, out, err);
    return r;
}

// recordEntries on a folder's files; what it said goes to said.
core::RecordResult record(const Folder& folder, const HistArrays& entries, QString& said) {
    QTextStream err(&said);
    ConsoleShell shell(err);
    HistoryDb db;
    db.open(folder.db());
    FileChannels files;
    return core::recordEntries(db, files, entries, folder.history(), kItalian, shell);
}

HistEntry entry(const char* tenor, double rate) {
    return HistEntry{S(tenor), S("20261204"), rate, S(tenor), {}, false};
}

} // namespace

// Whatever changed between two lists, the kept lines are the lines made afresh.
TEST(TenorLines, AreAlwaysTheLinesMadeAfresh) {
    const auto e = [](const char* type, const char* date, double quote) {
        return HistEntry{S(type), S(date), quote, S("descr"), {}, false};
    };
    const HistArrays start = {e("EuRibor 3m", "20261201", 2.0), e("EuRibor 1m", "20261201", 1.5),
                              e("EuRibor 3m", "", 2.1), e("EuRibor 3m", "20261202", 2.2),
                              e("EuRibor 3m", "20261203", 2.3)};
    HistArrays added = start;
    added.insert(3, e("EuRibor 3m", "20261204", 2.4));
    HistArrays requoted = added;
    requoted[4].quote = 2.25;
    HistArrays changed = requoted;
    changed[0].date = S("20261130");
    changed[5].type = S("EuRibor 6m");
    const QLocale it(QLocale::Italian), en(QLocale::English);
    const std::tuple<const char*, HistArrays, const char*, QLocale> steps[] = {
        {"first", start, "3m", it},
        {"again", start, "3m", it},
        {"a day added", added, "3m", it},
        {"a rate changed", requoted, "3m", it},
        {"dates, tenors", changed, "3m", it},
        {"records gone", changed.mid(2), "3m", it},
        {"back", changed, "3m", it},
        {"another tenor", changed, "6m", it},
        {"nothing", {}, "6m", it},
        {"a third tenor", start, "1m", it},
        {"one record twice", HistArrays(2, start[0]), "3m", it},
        {"thrice", HistArrays(3, start[0]), "3m", it},
        {"another separator", start, "3m", en},
        {"and back", start, "3m", it}};
    core::TenorLines kept;
    for (const auto& [what, entries, tenor, locale] : steps) {
        SCOPED_TRACE(what);
        const QString key = S("EuRibor ") + S(tenor);
        QStringList afresh;
        for (const HistEntry& x : entries)
            if (x.type == key && !x.date.isEmpty())
                afresh.append(history::listLine(x, locale));
        EXPECT_EQ(kept.lines(entries, key, locale), afresh);
    }
}

TEST(DataFolder, PortableFolderElseTheUsersSeededOnceNeverOverwritten) {
    QTemporaryDir exe, user, shared;
    writeFile(shared.filePath(S("EURIBOR.MDB")), "db");
    writeFile(shared.filePath(S("Euribor_PORTALEDATI.txt")), "tenors");
    const QString userFolder = user.filePath(S("quotazioni-euribor")),
                  userDb = userFolder + S("/EURIBOR.MDB"),
                  userTenors = userFolder + S("/Euribor_PORTALEDATI.txt");

    EXPECT_EQ(core::chooseDataFolder(exe.path(), {}, userFolder, {exe.path(), shared.path()}).path,
              userFolder);
    EXPECT_EQ(readFile(userDb) + readFile(userTenors), "dbtenors");
    EXPECT_FALSE(QFile::exists(userDb + S(".parziale")));

    writeFile(userDb, "years of rates");
    QFile::remove(userTenors);
    core::chooseDataFolder(exe.path(), {}, userFolder, {shared.path()});
    EXPECT_EQ(readFile(userDb) + readFile(userTenors), "years of ratestenors");

    writeFile(exe.filePath(S("EURIBOR.MDB")), "portable");
    EXPECT_EQ(core::chooseDataFolder(exe.path(), {}, userFolder, {shared.path()}).path,
              QDir(exe.path()).absolutePath());
    const QString chosen = exe.filePath(S("altrove/dati"));
    EXPECT_EQ(core::chooseDataFolder(exe.path(), chosen, userFolder, {shared.path()}).path, chosen);
    EXPECT_EQ(readFile(chosen + S("/EURIBOR.MDB")), "db");

    // A folder that keeps a history lost its database: no empty one hides its days. New files take the umask.
    const QString kept = user.filePath(S("storico"));
    QDir().mkpath(kept);
    writeFile(kept + S("/Storico_Euribor.TXT"), kHeader);
    const mode_t mask = ::umask(027);
    EXPECT_EQ(core::chooseDataFolder(exe.path(), kept, {}, {shared.path()}).path, kept);
    ::umask(mask);
    EXPECT_FALSE(QFile::exists(kept + S("/EURIBOR.MDB")));
    EXPECT_EQ(QFile::permissions(kept + S("/Euribor_PORTALEDATI.txt")) & 0x0777, 0x0640);

    QTemporaryDir empty;
    const core::DataFolder none =
        core::chooseDataFolder(exe.path(), user.filePath(S("nuova")), {}, {empty.path()});
    EXPECT_TRUE(none.path.isEmpty());
    EXPECT_TRUE(none.error.contains(S("Euribor_PORTALEDATI.txt"))) << none.error.toStdString();
}

TEST(Recording, AFailureKeepsWhatCameBeforeAndTheNextRunRecordsTheRest) {
    // trigger: how a trigger refusing the 3m undoes; kept: the records kept, with their lines.
    const std::tuple<const char*, qint64, const char*, bool, int> cases[] = {
        {"not even the headers fit", 0, "", false, 0},
        {"the headers fit, the database's pages not", 1000, "", false, 0},
        {"a store refused, undone alone", -1, "ABORT", false, 1},
        {"a store refused, the batch undone", -1, "ROLLBACK", false, 1},
        {"the commit is refused", -1, "", true, 0}};
    const QByteArray txt[] = {"04-12-2026 - 1,9860 - EuRibor 1m\r\n", "04-12-2026 - 2,0640 - EuRibor 3m\r\n"},
                     csv[] = {"04/12/2026;1,9860;EuRibor 1m;\r\n", "04/12/2026;2,0640;EuRibor 3m;\r\n"};
    const HistArrays day = {entry("EuRibor 1m", 1.986), entry("EuRibor 3m", 2.064)};
    for (const auto& [what, limit, trigger, refuseCommit, kept] : cases) {
        SCOPED_TRACE(what);
        Folder folder;
        if (*trigger)
            execOn(folder.db(),
                   S("CREATE TRIGGER no3m BEFORE INSERT ON Storico_Euribor WHEN NEW.Tipo_Valuta = "
                     "'EuRibor 3m' BEGIN SELECT RAISE(%1, 'rifiutato'); END")
                       .arg(S(trigger)));
        QString said;
        core::RecordResult result;
        {
            const FileSizeLimit full(limit);
            const CommitRefusal refused(refuseCommit);
            result = record(folder, day, said);
        }
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(result.recorded.size(), kept);
        EXPECT_TRUE(limit ? said.startsWith(S("Errore registrazione su DataBase "))
                          : said.contains(S("Disco pieno")))
            << said.toStdString();
        const QByteArray header = limit ? kHeader : QByteArray();
        EXPECT_EQ(readFile(folder.history()), header + (kept ? txt[0] : QByteArray()));
        EXPECT_EQ(readFile(folder.csv()), header + (kept ? csv[0] : QByteArray()));
        EXPECT_EQ(allRows(folder.db()).size(), kept);

        execOn(folder.db(), S("DROP TRIGGER IF EXISTS no3m"));
        said.clear();
        EXPECT_FALSE(record(folder, day, said).stopped);
        EXPECT_TRUE(said.isEmpty()) << said.toStdString();
        EXPECT_EQ(readFile(folder.history()), kHeader + txt[0] + txt[1]);
        EXPECT_EQ(readFile(folder.csv()), kHeader + csv[0] + csv[1]);
        EXPECT_EQ(rowTexts(folder.db()), (QStringList{S("EuRibor 1m|20261204|1.986|EuRibor 1m|"),
                                                      S("EuRibor 3m|20261204|2.064|EuRibor 3m|")}));
    }
}

// SQLite's own full disk (EFBIG from a file-size limit is another error to it) is "Disco pieno" too.
TEST(UpdateCommand, ARealFullDiskIsNamedAndLeavesNothingHalfWritten) {
    QTemporaryDir mountPoint;
    const QByteArray at = QFile::encodeName(mountPoint.path());
    if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no small file system can be mounted here";
    const auto unmount = qScopeGuard([&] { ::umount(at.constData()); });
    const QString folder = mountPoint.filePath(S("dati"));
    QDir().mkpath(folder);
    Folder seed;
    for (const QString& name : {S("EURIBOR.MDB"), S("Euribor_PORTALEDATI.txt")})
        ASSERT_TRUE(QFile::copy(seed.path(name), folder + u'/' + name));
    QFile filler(mountPoint.filePath(S("riempitivo")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(512, 'x')) == 512 && filler.flush()) {
    }
    filler.close();
    // Room for the lock, the headers and the pending lines, not the database.
    ASSERT_TRUE(filler.resize(filler.size() - 4 * 4096));
    FakeFetcher fetcher;
    fetcher.page = kThreeRates;
    const Outcome full = update(folder, fetcher);
    EXPECT_EQ(full.exit, core::NoneRecorded);
    EXPECT_TRUE(full.err.contains(S("Errore registrazione su DataBase Disco pieno")))
        << full.err.toStdString();
    EXPECT_TRUE(allRows(folder + S("/EURIBOR.MDB")).isEmpty());
    filler.remove();
    EXPECT_EQ(update(folder, fetcher).exit, core::AllRecorded);
    for (const char* file : {"/Storico_Euribor.TXT", "/Storico_Euribor.CSV"})
        EXPECT_TRUE(readFile(folder + S(file)).startsWith(kHeader) &&
                    readFile(folder + S(file)).count("2026") == 3);
}

// Each file is written in one append, so these limits stand for every byte.
TEST(UpdateCommand, LinesTheDiskRefusedAreSaidAndWrittenWholeByTheNextRun) {
    QByteArray txt = kHeader, csv = kHeader;
    for (int i = 0; i < 700; ++i) {
        txt += "01-01-2020 - 1,0000 - EuRibor " + QByteArray::number(i) + "x\r\n";
        csv += "01/01/2020;1,0000;EuRibor " + QByteArray::number(i) + "x;\r\n";
    }
    txt += "01-01-2020 - 1,0";
    csv += "01/01/2020;1,0";
    const QByteArray txtDays = "\r\n04-12-2026 - 1,9860 - EuRibor 1m\r\n04-12-2026 - 2,0640 - EuRibor 3m\r\n"
                               "04-12-2026 - 2,1370 - EuRibor 6m\r\n07-12-2026 - 1,9900 - EuRibor 1m\r\n",
                     csvDays = "\r\n04/12/2026;1,9860;EuRibor 1m;\r\n04/12/2026;2,0640;EuRibor 3m;\r\n"
                               "04/12/2026;2,1370;EuRibor 6m;\r\n07/12/2026;1,9900;EuRibor 1m;\r\n";
    const qsizetype smaller = std::min(txt.size(), csv.size()), larger = txt.size();
    for (const qsizetype limit : {smaller - 2, smaller, smaller + 1, smaller + 40, larger - 1, larger,
                                  larger + 1, larger + 40, larger + 200}) {
        SCOPED_TRACE(limit);
        Folder folder;
        writeFile(folder.history(), txt);
        writeFile(folder.csv(), csv);
        ASSERT_LT(QFileInfo(folder.db()).size(), smaller);
        FakeFetcher fetcher;
        fetcher.page = kThreeRates;
        const Outcome r = [&] {
            const FileSizeLimit full(limit);
            return update(folder.path(), fetcher);
        }();
        bool refused = false;
        for (const auto& [file, before] : {std::pair{folder.history(), txt}, std::pair{folder.csv(), csv}}) {
            const QByteArray now = readFile(file);
            refused = refused || now == before;
            EXPECT_TRUE(now == before ||
                        (now.startsWith(before + "\r\n") && now.endsWith("\r\n") && now.count("2026") == 3));
        }
        EXPECT_EQ(r.exit, refused ? core::SomeRecorded : core::AllRecorded);
        EXPECT_EQ(r.out.endsWith(S("su 3 nel database, ma non nei file dello storico (Disco pieno).\n")),
                  refused);
        EXPECT_EQ(allRows(folder.db()).size(), 3);

        fetcher.page = ratePage({pageRow(S("EuRibor 1m"), S("1,990"), S("07/12/2026"))});
        EXPECT_EQ(update(folder.path(), fetcher).exit, core::SomeRecorded);
        EXPECT_EQ(readFile(folder.history()), txt + txtDays);
        EXPECT_EQ(readFile(folder.csv()), csv + csvDays);
    }
}

TEST(Recording, AHistoryKeepsTheDecimalSeparatorItWasStartedWith) {
    const std::tuple<const char*, QByteArray, QLocale, const char*> cases[] = {
        {"new, C locale", QByteArray(), QLocale::c(), "2.0640"},
        {"new, Italian", QByteArray(), kItalian, "2,0640"},
        {"commas, C locale", kHeader + "03-12-2026 - 2,0500 - EuRibor 3m\r\n", QLocale::c(), "2,0640"},
        {"points, Italian", kHeader + "03-12-2026 - 2.0500 - EuRibor 3m\r\n", kItalian, "2.0640"},
        {"a header only", kHeader, QLocale::c(), "2.0640"}};
    for (const auto& [what, existing, locale, written] : cases) {
        SCOPED_TRACE(what);
        Folder folder;
        if (!existing.isNull())
            writeFile(folder.history(), existing);
        FakeFetcher fetcher;
        fetcher.page = ratePage({row("EuRibor 3m", "2,064")});
        update(folder.path(), fetcher, locale);
        EXPECT_TRUE(
            readFile(folder.history()).endsWith("04-12-2026 - " + QByteArray(written) + " - EuRibor 3m\r\n"));
        EXPECT_TRUE(
            readFile(folder.csv()).endsWith("04/12/2026;" + QByteArray(written) + ";EuRibor 3m;\r\n"));
    }
}

TEST(UpdateCommand, ExitSaysHowMuchWasRecordedAndWhy) {
    Folder folder;
    FakeFetcher fetcher;
    fetcher.page = kThreeRates;
    Outcome r = update(folder.path(), fetcher);
    EXPECT_EQ(r.exit, core::AllRecorded) << r.err.toStdString();
    EXPECT_EQ(r.out + r.err, S("EuRibor 1m  04/12/2026  1,9860\nEuRibor 3m  04/12/2026  2,0640\n"
                               "EuRibor 6m  04/12/2026  2,1370\nRegistrate 3 quotazioni su 3.\n"));
    r = update(folder.path(), fetcher);
    EXPECT_EQ(r.exit, core::AllRecorded);
    EXPECT_EQ(r.out, S("Nessuna quotazione nuova: 3 su 3 già registrate.\n"));
    EXPECT_EQ(readFile(folder.history()).count("\r\n") + readFile(folder.csv()).count("\r\n"), 8);
    EXPECT_EQ(allRows(folder.db()).size(), 3);

    // Rates the page does not give, or without a readable day, are said and kept out: no rate overwritten.
    const std::pair<QString, const char*> partial[] = {
        {ratePage({row("EuRibor 1m", "1,990"), row("EuRibor 3m", "n.d."),
                   pageRow(S("EuRibor 6m"), S("2,200"), S("7/12/2026"))}),
         "Quotazione  EuRibor 3m  non disponibile su Internet !!!|Data della quotazione  EuRibor 6m  non "
         "leggibile nella pagina (\"7/12/2026\")|Non registrate: EuRibor 3m (non disponibile); EuRibor 6m "
         "(data non leggibile)\n"},
        {ratePage({row("EuRibor 1m", "1,990"), row("EuRibor 3m", "2,064")}),
         "Non registrate: EuRibor 6m (non nella pagina)\n"}};
    for (const auto& [page, said] : partial) {
        SCOPED_TRACE(said);
        fetcher.page = page;
        r = update(folder.path(), fetcher);
        EXPECT_EQ(r.exit, core::SomeRecorded);
        for (const QString& part : S(said).split(u'|'))
            EXPECT_TRUE(r.err.contains(part)) << r.err.toStdString();
        EXPECT_TRUE(r.err.endsWith(S(said).section(u'|', -1)));
        EXPECT_EQ(rowTexts(folder.db()).mid(1), (QStringList{S("EuRibor 3m|20261204|2.064|EuRibor 3m|"),
                                                             S("EuRibor 6m|20261204|2.137|EuRibor 6m|")}));
    }

    const std::tuple<QString, QString, const char*> failures[] = {
        {QString(), S("connessione rifiutata"), "pagina non ricevuta: connessione rifiutata"},
        {ratePage({}), QString(), "nessuna tabella delle quotazioni nella pagina"},
        {ratePage({row("EuRibor 1m", "n.d."), row("EuRibor 3m", "-")}), QString(),
         "nessuna quotazione disponibile nella pagina"},
        {ratePage({pageRow(S("EuRibor 1m"), S("1,990"), S("n.d."))}), QString(),
         "nessuna quotazione con una data leggibile nella pagina"}};
    for (const auto& [page, error, cause] : failures) {
        SCOPED_TRACE(cause);
        fetcher.page = page;
        fetcher.error = error;
        r = update(folder.path(), fetcher);
        EXPECT_EQ(r.exit, core::NoneRecorded);
        EXPECT_TRUE(r.err.endsWith(S("Nessuna quotazione registrata: ") + S(cause) + u'\n'))
            << r.err.toStdString();
        // The window's box for a cycle that got no rate.
        EXPECT_TRUE(r.err.contains(S("Non trovo dati in Internet !!!\nNessuna quotazione registrata")));
    }
    EXPECT_EQ(readFile(folder.history()).count("\r\n"), 5) << "a failed update writes nothing";
    QFile::remove(folder.tenors());
    r = update(folder.path(), fetcher);
    EXPECT_EQ(r.exit, core::NoneRecorded);
    EXPECT_TRUE(r.err.contains(S("non contiene scadenze Euribor"))) << r.err.toStdString();
}

// Stale lock files: cut by a power failure, garbled, another machine's.
TEST(UpdateCommand, AFolderHeldByAnotherCopyIsLeftAloneAndOneWithoutALockIsNoOtherCopy) {
    Folder folder;
    FakeFetcher fetcher;
    Outcome r = [&] {
        const FileSizeLimit full(0);
        return update(folder.path(), fetcher);
    }();
    EXPECT_EQ(r.exit, core::NoneRecorded);
    EXPECT_TRUE(r.err.contains(S("Impossibile scrivere nella cartella dei dati ") + folder.path() +
                               S(" (disco pieno)")))
        << r.err.toStdString();

    const QString lock = folder.path(S(".euribor.lock"));
    for (const QByteArray& stale :
         {QByteArray(), QByteArray("\x00\xff garbage"), QByteArray("1\neuribor\n")}) {
        SCOPED_TRACE(stale.toHex().constData());
        writeFile(lock, stale);
        EXPECT_NE(update(folder.path(), fetcher).exit, core::FolderBusy);
        EXPECT_FALSE(QFile::exists(lock));
    }
    EXPECT_EQ(fetcher.urls.size(), 3);

    QLockFile other(lock);
    ASSERT_TRUE(other.tryLock(0));
    r = update(folder.path(), fetcher);
    EXPECT_EQ(r.exit, core::FolderBusy);
    EXPECT_TRUE(r.err.contains(S("già in esecuzione")));
    EXPECT_EQ(fetcher.urls.size(), 3);
    EXPECT_FALSE(QFile::exists(folder.history()));
}

namespace {

QStringList updateArgs(const Folder& folder, const QString& url) {
    return {S("--aggiorna"), S("--cartella"), folder.path(), S("--provider"), url};
}

class ProgramTest : public ::testing::Test {
protected:
    QString url(const char* path = "/rates") const { return QString::fromLatin1(server.url(path)); }
    LoopbackHttpServer server{
        {{"/rates", {200, "Content-Type: text/html\r\n", samplePage(S("04/12/2026")), false}},
         {"/next", {200, "Content-Type: text/html\r\n", samplePage(S("07/12/2026")), false}}}};
};

} // namespace

// The options themselves are parseCommandLine's (window_test).
TEST(Program, AnswersItsCommandLineWithoutADisplay) {
    const Outcome version = runEuribor({S("--version")}), wrong = runEuribor({S("--boh")});
    EXPECT_EQ(version.exit, 0);
    EXPECT_TRUE(version.out.contains(S("Quotazioni Euribor 1.0")) && version.err.isEmpty());
    EXPECT_EQ(QString::number(wrong.exit) + wrong.out + u'|' + wrong.err,
              S("2|euribor: opzione sconosciuta: --boh (vedere euribor --help)\n"));
}

// The tests run as root, for whom every folder is writable: the program runs as nobody.
TEST(Program, AFolderTheUserCannotWriteIsSaidAndLeftAlone) {
    Folder folder(true);
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadOther | QFile::ExeOther);
    const QStringList before = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden);
    const Outcome r = runProgram(S("/usr/bin/setpriv"),
                                 QStringList{S("--reuid=65534"), S("--regid=65534"), S("--clear-groups"),
                                             S(EURIBOR_EXECUTABLE), S("--silenzioso")} +
                                     updateArgs(folder, S("http://127.0.0.1:1/rates")));
    EXPECT_EQ(r.exit, core::NoneRecorded);
    EXPECT_TRUE(r.err.contains(S("Impossibile scrivere nella cartella dei dati ") + folder.path() +
                               S(" (permesso negato)")))
        << r.err.toStdString();
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
}

TEST_F(ProgramTest, TheWindowsStartRecordsWhatTheUpdateRecords) {
    Folder window(true), folder(true);
    const Outcome shown = runEuribor({S("--cartella"), window.path(), S("--provider"), url()},
                                     {S("QT_QPA_PLATFORM=offscreen"), S("EURIBOR_QUIT_AFTER_CYCLE=1")});
    ASSERT_EQ(shown.exit, 0) << shown.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(window.path() + S("/.euribor.lock")));
    const Outcome r = runEuribor(updateArgs(folder, url()));
    EXPECT_TRUE(r.exit == 0 && r.out.endsWith(S("Registrate 8 quotazioni su 8.\n"))) << r.out.toStdString();
    const QByteArray history = readFile(folder.history());
    EXPECT_TRUE(history.startsWith(kHeader + "04-12-2026 - 1,9120 - EuRibor 1w\r\n")) << history.constData();
    EXPECT_EQ(history.count("\r\n"), 9);
    EXPECT_EQ(readFile(window.history()), history);
    EXPECT_EQ(readFile(window.csv()), readFile(folder.csv()));
    EXPECT_EQ(rowTexts(window.db()), rowTexts(folder.db()));
}

TEST_F(ProgramTest, AKillAtAnyStepOfTheRecordingIsCompletedByTheNextDaysRun) {
    for (const char* point : {"before-commit", "after-commit", "between-files"}) {
        SCOPED_TRACE(point);
        Folder folder(true);
        EXPECT_EQ(runEuribor(updateArgs(folder, url()), {S("EURIBOR_TEST_KILL_AT=") + S(point)}).exit, -1);
        for (const auto& [page, exit] : {std::pair{"/nowhere", 2}, std::pair{"/next", 0}}) {
            SCOPED_TRACE(page);
            const Outcome next = runEuribor(updateArgs(folder, url(page)));
            EXPECT_EQ(next.exit, exit) << next.err.toStdString();
            EXPECT_EQ(integrityCheck(folder.db()), S("ok"));
            const QString rows = rowTexts(folder.db()).join(u'\n');
            const QByteArray history = readFile(folder.history()), csv = readFile(folder.csv());
            for (const char* day : {"04", "07"}) {
                const qsizetype records = rows.count(S("202612") + S(day));
                EXPECT_EQ(history.count(day + QByteArray("-12-2026 - ")), records) << day;
                EXPECT_EQ(csv.count(day + QByteArray("/12/2026;")), records) << day;
            }
            EXPECT_EQ(rows.count(S("20261204")), QByteArray(point) == "before-commit" ? 0 : 8);
            for (const QByteArray& file : {history, csv})
                EXPECT_TRUE(file.isEmpty() || (file.startsWith(kHeader) && file.endsWith("\r\n")));
        }
        EXPECT_EQ(rowTexts(folder.db()).join(u'\n').count(S("20261207")), 8);
    }
}
