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

#include <optional>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// recordEntries on a folder's files, with what it said.
QString record(const Folder& folder, const HistArrays& entries, core::RecordResult* result = nullptr) {
    QString said;
    QTextStream err(&said);
    ConsoleShell shell(err);
    HistoryDb db;
    db.open(folder.db());
    FileChannels files;
    const core::RecordResult r = core::recordEntries(db, files, entries, folder.history(), kItalian, shell);
    if (result)
        *result = r;
    return said;
}

HistEntry entry(const char* tenor, double rate) {
    return HistEntry{S(tenor), S("20261204"), rate, S(tenor), {}, false};
}

} // namespace

// Whatever changed between two lists (a day added, a rate or a date changed, records gone, another
// tenor, separator or locale), the kept lines are the lines made afresh.
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
        {"first", start, "EuRibor 3m", it},
        {"again", start, "EuRibor 3m", it},
        {"a day added", added, "EuRibor 3m", it},
        {"a rate changed", requoted, "EuRibor 3m", it},
        {"dates, tenors", changed, "EuRibor 3m", it},
        {"records gone", changed.mid(2), "EuRibor 3m", it},
        {"back", changed, "EuRibor 3m", it},
        {"another tenor", changed, "EuRibor 6m", it},
        {"nothing", {}, "EuRibor 6m", it},
        {"a third tenor", start, "EuRibor 1m", it},
        {"one record twice", HistArrays(2, start[0]), "EuRibor 3m", it},
        {"thrice", HistArrays(3, start[0]), "EuRibor 3m", it},
        {"another separator", start, "EuRibor 3m", en},
        {"and back", start, "EuRibor 3m", it}};
    core::TenorLines kept;
    for (const auto& [what, entries, key, locale] : steps) {
        SCOPED_TRACE(what);
        QStringList afresh;
        for (const HistEntry& x : entries)
            if (x.type == S(key) && !x.date.isEmpty())
                afresh.append(history::listLine(x, locale));
        EXPECT_EQ(kept.lines(entries, S(key), locale), afresh);
    }
}

TEST(DataFolder, PortableFolderElseTheUsersSeededOnceNeverOverwritten) {
    QTemporaryDir exe, user, shared;
    writeFile(shared.filePath(S("EURIBOR.MDB")), "db");
    writeFile(shared.filePath(S("Euribor_PORTALEDATI.txt")), "tenors");
    const QString userFolder = user.filePath(S("quotazioni-euribor"));
    const QString userDb = userFolder + S("/EURIBOR.MDB"),
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

    // A folder that keeps a history lost its database: no empty one hides its days. New files take
    // the user's umask, like the history files.
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

// A recording that fails (no room for the headers or the database's pages, a store refused by a trigger
// that undoes that store or the whole batch, a commit SQLite refuses after every store succeeded) keeps
// the records before the failure with their lines and no other, says why, and the next run with room
// records the rest of the day once, headers first.
TEST(Recording, AFailureKeepsWhatCameBeforeAndTheNextRunRecordsTheRest) {
    const struct {
        const char* what;
        qint64 limit = -1;
        const char* trigger = ""; // how a trigger refusing the 3m undoes
        bool refuseCommit = false;
        bool headers = true;
        int kept = 0; // records kept, with their lines
        const char* said = "Errore registrazione su DataBase ";
    } cases[] = {{"not even the headers fit", 0, "", false, false, 0, "Disco pieno"},
                 {"the headers fit, the database's pages not", 1000},
                 {"a store refused, undone alone", -1, "ABORT", false, true, 1},
                 {"a store refused, the batch undone", -1, "ROLLBACK", false, true, 1},
                 {"the commit is refused", -1, "", true}};
    const QByteArray txt[] = {"04-12-2026 - 1,9860 - EuRibor 1m\r\n", "04-12-2026 - 2,0640 - EuRibor 3m\r\n"},
                     csv[] = {"04/12/2026;1,9860;EuRibor 1m;\r\n", "04/12/2026;2,0640;EuRibor 3m;\r\n"};
    const HistArrays day = {entry("EuRibor 1m", 1.986), entry("EuRibor 3m", 2.064)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Folder folder;
        if (*c.trigger)
            execOn(folder.db(),
                   S("CREATE TRIGGER no3m BEFORE INSERT ON Storico_Euribor WHEN NEW.Tipo_Valuta = "
                     "'EuRibor 3m' BEGIN SELECT RAISE(%1, 'rifiutato'); END")
                       .arg(S(c.trigger)));
        core::RecordResult result;
        QString said;
        {
            std::optional<FileSizeLimit> full;
            std::optional<CommitRefusal> refused;
            if (c.limit >= 0)
                full.emplace(c.limit);
            if (c.refuseCommit)
                refused.emplace();
            said = record(folder, day, &result);
        }
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(result.recorded.size(), c.kept);
        EXPECT_TRUE(said.startsWith(S(c.said)) || (!c.headers && said.contains(S(c.said))))
            << said.toStdString();
        const QByteArray header = c.headers ? kHeader : QByteArray();
        EXPECT_EQ(readFile(folder.history()), header + (c.kept ? txt[0] : QByteArray()));
        EXPECT_EQ(readFile(folder.csv()), header + (c.kept ? csv[0] : QByteArray()));
        EXPECT_EQ(allRows(folder.db()).size(), c.kept);

        execOn(folder.db(), S("DROP TRIGGER IF EXISTS no3m"));
        said = record(folder, day, &result);
        EXPECT_TRUE(said.isEmpty() && !result.stopped) << said.toStdString();
        EXPECT_EQ(readFile(folder.history()), kHeader + txt[0] + txt[1]);
        EXPECT_EQ(readFile(folder.csv()), kHeader + csv[0] + csv[1]);
        EXPECT_EQ(rowTexts(folder.db()), (QStringList{S("EuRibor 1m|20261204|1.986|EuRibor 1m|"),
                                                      S("EuRibor 3m|20261204|2.064|EuRibor 3m|")}));
    }
}

// A really full file system (a small one, where the machine lets the tests mount it): SQLite's own
// full disk is "Disco pieno" like the files', nothing is half written, and with room again the day is
// recorded with the files' headers.
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
    EXPECT_EQ(allRows(folder + S("/EURIBOR.MDB")).size(), 3);
    for (const QString& file : {folder + S("/Storico_Euribor.TXT"), folder + S("/Storico_Euribor.CSV")})
        EXPECT_TRUE(readFile(file).startsWith(kHeader) && readFile(file).count("2026") == 3)
            << file.toStdString();
}

// The database took the day and the disk, filling before, inside or after each file's append (each file
// is written in one write, so these limits stand for every byte), refused lines: the files keep whole
// lines only, the summary says so, and a run on another day ends the line a crash tore and writes the
// lines before its own.
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
        Outcome r;
        {
            const FileSizeLimit full(limit);
            r = update(folder.path(), fetcher);
        }
        bool refused = false;
        for (const auto& [file, before] : {std::pair{folder.history(), txt}, std::pair{folder.csv(), csv}}) {
            const QByteArray now = readFile(file);
            refused = refused || now == before;
            EXPECT_TRUE(now == before ||
                        (now.startsWith(before + "\r\n") && now.endsWith("\r\n") && now.count("2026") == 3));
        }
        EXPECT_EQ(r.exit, refused ? core::SomeRecorded : core::AllRecorded);
        EXPECT_EQ(r.out.endsWith(S("su 3 nel database, ma non nei file dello storico (Disco pieno).\n")),
                  refused)
            << r.out.toStdString();
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
        const QByteArray rate(written);
        EXPECT_TRUE(readFile(folder.history()).endsWith("04-12-2026 - " + rate + " - EuRibor 3m\r\n"));
        EXPECT_TRUE(readFile(folder.csv()).endsWith("04/12/2026;" + rate + ";EuRibor 3m;\r\n"));
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
    // The same day again: nothing new is written, nor counted again.
    r = update(folder.path(), fetcher);
    EXPECT_EQ(r.exit, core::AllRecorded);
    EXPECT_EQ(r.out, S("Nessuna quotazione nuova: 3 su 3 già registrate.\n"));
    EXPECT_EQ(readFile(folder.history()).count("\r\n") + readFile(folder.csv()).count("\r\n"), 8);
    EXPECT_EQ(allRows(folder.db()).size(), 3);

    // Rates the page does not give, or gives without a readable day, are said and kept out: no day is
    // guessed, no real rate overwritten.
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
        // The window's box for a cycle that got no rate (the last tenor is not on any of these pages).
        EXPECT_TRUE(r.err.contains(S("Non trovo dati in Internet !!!\nNessuna quotazione registrata")));
    }
    QFile::remove(folder.tenors());
    r = update(folder.path(), fetcher);
    EXPECT_EQ(r.exit, core::NoneRecorded);
    EXPECT_TRUE(r.err.contains(S("non contiene scadenze Euribor"))) << r.err.toStdString();
}

// A folder held by another copy is left alone; one where no file can be written is no other copy, nor
// is a lock file that no live copy holds (cut by a power failure, garbled, another machine's).
TEST(UpdateCommand, AFolderHeldByAnotherCopyIsLeftAloneAndOneWithoutALockIsNoOtherCopy) {
    Folder folder;
    FakeFetcher fetcher;
    Outcome r;
    {
        const FileSizeLimit full(0);
        r = update(folder.path(), fetcher);
    }
    EXPECT_EQ(r.exit, core::NoneRecorded);
    EXPECT_TRUE(r.err.contains(S("Impossibile scrivere nella cartella dei dati ") + folder.path() +
                               S(" (disco pieno)")))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(S("già in esecuzione")));

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

Outcome runProgram(const QStringList& args, const QStringList& env = {}) {
    return ::runProgram(S(EURIBOR_EXECUTABLE), args, env);
}

QStringList updateArgs(const Folder& folder, const QString& url) {
    return {S("--aggiorna"), S("--cartella"), folder.path(), S("--provider"), url};
}

class ProgramTest : public ::testing::Test {
protected:
    QString url(const char* path = "/rates") const { return QString::fromLatin1(server.url(path)); }
    LoopbackHttpServer server{
        {{"/rates", {200, "Content-Type: text/html\r\n", samplePage(S("04/12/2026")), false}},
         {"/next", {200, "Content-Type: text/html\r\n", samplePage(S("07/12/2026")), false}},
         {"/endless", {200, {}, QByteArray(64 * 1024, 'x'), false, 0, 0, 0, true}}}};
};

} // namespace

// The options themselves are parseCommandLine's (window_test): here, what reaches the streams and the
// exit without a display.
TEST(Program, AnswersItsCommandLineWithoutADisplay) {
    const Outcome version = runProgram({S("--version")});
    EXPECT_EQ(version.exit, 0);
    EXPECT_TRUE(version.out.contains(S("Quotazioni Euribor 1.0")) && version.err.isEmpty());
    const Outcome wrong = runProgram({S("--boh")});
    EXPECT_EQ(wrong.exit, 2);
    EXPECT_EQ(wrong.out + u'|' + wrong.err,
              S("|euribor: opzione sconosciuta: --boh (vedere euribor --help)\n"));
}

// A data folder the user may not write (the tests run as root, for whom every folder is writable, so
// the program runs here as nobody): said with its cause, and left as it was.
TEST(Program, AFolderTheUserCannotWriteIsSaidAndLeftAlone) {
    Folder folder(true);
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadOther | QFile::ExeOther);
    const QStringList before = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden);
    const Outcome r = ::runProgram(
        S("/usr/bin/setpriv"),
        {S("--reuid=65534"), S("--regid=65534"), S("--clear-groups"), S(EURIBOR_EXECUTABLE), S("--aggiorna"),
         S("--silenzioso"), S("--cartella"), folder.path(), S("--provider"), S("http://127.0.0.1:1/rates")});
    EXPECT_EQ(r.exit, core::NoneRecorded);
    EXPECT_TRUE(r.err.contains(S("Impossibile scrivere nella cartella dei dati ") + folder.path() +
                               S(" (permesso negato)")))
        << r.err.toStdString();
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
}

// The window's start, ended once its cycle has run, records the same bytes as the windowless update
// and lets go of the folder; a failed update after it touches nothing.
TEST_F(ProgramTest, TheWindowsStartRecordsWhatTheUpdateRecordsAndAFailureTouchesNothing) {
    Folder window(true), folder(true);
    const Outcome shown = runProgram({S("--cartella"), window.path(), S("--provider"), url()},
                                     {S("QT_QPA_PLATFORM=offscreen"), S("EURIBOR_QUIT_AFTER_CYCLE=1")});
    ASSERT_EQ(shown.exit, 0) << shown.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(window.path() + S("/.euribor.lock")));
    const Outcome r = runProgram(updateArgs(folder, url()));
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(S("Registrate 8 quotazioni su 8.\n"))) << r.out.toStdString();
    const QByteArray history = readFile(folder.history());
    EXPECT_TRUE(history.startsWith(kHeader + "04-12-2026 - 1,9120 - EuRibor 1w\r\n")) << history.constData();
    EXPECT_EQ(history.count("\r\n"), 9);
    EXPECT_EQ(readFile(window.history()), history);
    EXPECT_EQ(readFile(window.csv()), readFile(folder.csv()));
    EXPECT_EQ(rowTexts(window.db()), rowTexts(folder.db()));

    const Outcome failed = runProgram(updateArgs(folder, S("http://127.0.0.1:1/rates")));
    EXPECT_EQ(failed.exit, 2);
    EXPECT_TRUE(failed.err.contains(S("Nessuna quotazione registrata: pagina non ricevuta")))
        << failed.err.toStdString();
    EXPECT_EQ(readFile(folder.history()), history);
}

// Killed anywhere in the recording, then run again with a page that fails and on the next working day:
// the files hold a line for every record, each once, whatever day the cut one was.
TEST_F(ProgramTest, AKillAtAnyStepOfTheRecordingIsCompletedByTheNextDaysRun) {
    for (const char* point : {"before-commit", "after-commit", "between-files"}) {
        SCOPED_TRACE(point);
        Folder folder(true);
        EXPECT_EQ(runProgram(updateArgs(folder, url()), {S("EURIBOR_TEST_KILL_AT=") + S(point)}).exit, -1);
        for (const auto& [page, exit] : {std::pair{"/nowhere", 2}, std::pair{"/next", 0}}) {
            SCOPED_TRACE(page);
            const Outcome next = runProgram(updateArgs(folder, url(page)));
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

// However fast and long the page, the fetch stops at its size limit with little memory.
TEST_F(ProgramTest, AnEndlessPageIsCutWithoutFillingMemory) {
    Folder folder(true);
    const auto peakKiB = [&](const QString& page) {
        const QByteArray exe(EURIBOR_EXECUTABLE), dir = QFile::encodeName(folder.path()), to = page.toUtf8();
        const char* argv[] = {exe.constData(), "--aggiorna",   "--cartella", dir.constData(),
                              "--provider",    to.constData(), nullptr};
        // The sanitizer keeps freed blocks aside; here they would count as the fetch's own.
        const char* envp[] = {"ASAN_OPTIONS=intercept_tls_get_addr=0:quarantine_size_mb=0:detect_leaks=0",
                              "LC_ALL=C.UTF-8", "QT_LOGGING_RULES=*.debug=false", nullptr};
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execve(argv[0], const_cast<char* const*>(argv), const_cast<char* const*>(envp));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        EXPECT_EQ(::wait4(pid, &status, 0, &usage), pid);
        return usage.ru_maxrss;
    };
    const long small = peakKiB(url("/next")), endless = peakKiB(url("/endless"));
    EXPECT_LT(endless - small, 48 * 1024) << small << " KiB, endless " << endless << " KiB";
}
