// The daily update without a window, and the real executable run as the timer runs it.

#include "console_shell.h"
#include "daily_cycle.h"
#include "data_folder.h"
#include "file_channels.h"
#include "history_db.h"
#include "history_lines.h"
#include "runtime_error.h"
#include "update_command.h"

#include "support/fakes.h"
#include "support/loopback_http.h"
#include "support/sqlite_files.h"
#include "support/text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

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

Outcome update(const Folder& folder, FakeFetcher& fetcher, const QLocale& locale = kItalian,
               int lockMs = 60000) {
    Outcome r;
    QTextStream out(&r.out), err(&r.err);
    r.exit = core::runUpdateCommand(
        {folder.path(), S("http://127.0.0.1:9/p"), locale, QDate(2026, 12, 4), lockMs}, fetcher, out, err);
    return r;
}

// Writes to files beyond limit bytes fail as on a full disk, until the guard ends.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t limit) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit l{limit, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
    rlimit saved{};
};

struct Recorder {
    explicit Recorder(const Folder& f)
        : folder(f) {
        db.open(folder.db());
    }
    core::RecordResult record(const HistArrays& entries, rlim_t limit = RLIM_INFINITY) {
        ConsoleShell shell(err);
        const FileSizeLimit full(limit);
        return core::recordEntries(db, files, entries, folder.history(), kItalian, shell);
    }
    const Folder& folder;
    HistoryDb db;
    FileChannels files;
    QString said;
    QTextStream err{&said};
};

HistEntry entry(const char* tenor, double rate) {
    return HistEntry{S(tenor), S("20261204"), rate, S(tenor), {}, false};
}

// The list's lines made afresh: the entries of the tenor that have a date.
QStringList linesAfresh(const HistArrays& entries, const QString& key, const QLocale& locale) {
    QStringList lines;
    for (const HistEntry& e : entries)
        if (e.type == key && !e.date.isEmpty())
            lines.append(history::listLine(e, locale));
    return lines;
}

} // namespace

// Whatever changed between two lists (a day added, a rate or a date changed, records gone, another
// tenor or separator), the kept lines are the lines made afresh.
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
    const HistArrays twice(2, start[0]), thrice(3, start[0]);
    const std::pair<HistArrays, const char*> steps[] = {
        {start, "EuRibor 3m"},    {start, "EuRibor 3m"},   {added, "EuRibor 3m"},
        {requoted, "EuRibor 3m"}, {changed, "EuRibor 3m"}, {changed.mid(2), "EuRibor 3m"},
        {changed, "EuRibor 3m"},  {changed, "EuRibor 6m"}, {{}, "EuRibor 6m"},
        {start, "EuRibor 1m"},    {twice, "EuRibor 3m"},   {thrice, "EuRibor 3m"}};
    core::TenorLines kept;
    const QLocale italian(QLocale::Italian), english(QLocale::English);
    for (const QLocale& locale : {italian, english})
        for (const auto& [entries, key] : steps)
            EXPECT_EQ(kept.lines(entries, S(key), locale), linesAfresh(entries, S(key), locale))
                << key << " " << entries.size();
    EXPECT_EQ(kept.lines(start, S("EuRibor 3m"), english), linesAfresh(start, S("EuRibor 3m"), english));
    EXPECT_EQ(kept.lines(start, S("EuRibor 3m"), italian), linesAfresh(start, S("EuRibor 3m"), italian));
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

TEST(Recording, FilesAreNeverTornAndNeverAheadOfTheDatabase) {
    QTemporaryDir dir;
    const QString path = dir.filePath(S("h.TXT"));
    const QByteArray before = kHeader + "01-12-2026 - 1,9000 - EuRibor 1m";
    const QString line = S("04-12-2026 - 2,0640 - EuRibor 3m");
    writeFile(path, before);
    FileChannels files;
    files.open(1, path, FileChannels::Mode::Append);
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size() + 20));
        EXPECT_EQ(runtimeErrorOf([&] { files.printLines(1, QStringList(10, line)); }), rt::DiskFull);
    }
    files.closeAll();
    EXPECT_EQ(readFile(path), before);

    files.open(1, path, FileChannels::Mode::Append); // the torn last line is ended first
    files.printLines(1, {line});
    files.closeAll();
    EXPECT_EQ(readFile(path), before + "\r\n" + line.toLatin1() + "\r\n");

    Folder folder;
    Recorder r(folder);
    const core::RecordResult result = r.record({entry("EuRibor 3m", 2.064)}, 1000); // headers fit, pages not
    EXPECT_TRUE(result.stopped && result.recorded.isEmpty());
    EXPECT_EQ(readFile(folder.history()) + readFile(folder.csv()), kHeader + kHeader);
    r.db.close();
    EXPECT_TRUE(allRows(folder.db()).isEmpty());
    EXPECT_TRUE(r.said.startsWith(S("Errore registrazione su DataBase "))) << r.said.toStdString();

    // Not even the headers fit: the files are left empty, and get their headers with their first lines.
    Folder fresh;
    Recorder f(fresh);
    EXPECT_TRUE(f.record({entry("EuRibor 3m", 2.064)}, 0).stopped);
    EXPECT_TRUE(f.said.contains(S("Disco pieno")));
    EXPECT_FALSE(f.record({entry("EuRibor 3m", 2.064)}).stopped);
    EXPECT_EQ(readFile(fresh.history()), kHeader + "04-12-2026 - 2,0640 - EuRibor 3m\r\n");
    EXPECT_EQ(readFile(fresh.csv()), kHeader + "04/12/2026;2,0640;EuRibor 3m;\r\n");
}

// The disk fills before, inside and after each file's append (each file is written in one write, so
// these limits stand for every byte): each run leaves whole lines only, says "Disco pieno", and the
// next run with room completes exactly what is missing.
TEST(Recording, ADiskFillingAtAnyByteOfTheAppendsTearsNoLine) {
    QByteArray earlier = kHeader, earlierCsv = kHeader;
    for (int i = 0; i < 700; ++i) {
        earlier += "01-01-2020 - 1,0000 - EuRibor " + QByteArray::number(i) + "x\r\n";
        earlierCsv += "01/01/2020;1,0000;EuRibor " + QByteArray::number(i) + "x;\r\n";
    }
    const HistArrays entries = {entry("EuRibor 1m", 1.986), entry("EuRibor 3m", 2.064)};
    const qsizetype smaller = std::min(earlier.size(), earlierCsv.size());
    const qsizetype larger = earlier.size();
    for (const qsizetype limit : {smaller - 2, smaller, smaller + 1, smaller + 40, larger - 1, larger,
                                  larger + 1, larger + 40, larger + 79}) {
        SCOPED_TRACE(limit);
        Folder folder;
        writeFile(folder.history(), earlier);
        writeFile(folder.csv(), earlierCsv);
        ASSERT_LT(QFileInfo(folder.db()).size(), smaller);
        Recorder r(folder);
        r.record(entries, static_cast<rlim_t>(limit));
        for (const auto& [file, before] :
             {std::pair{folder.history(), earlier}, std::pair{folder.csv(), earlierCsv}}) {
            const QByteArray now = readFile(file);
            EXPECT_TRUE(now.startsWith(before) && now.endsWith("\r\n")) << limit;
            EXPECT_TRUE(now.size() == before.size() || now.size() > limit || now.count("2026") == 2) << limit;
        }
        EXPECT_TRUE(r.said.isEmpty() || r.said.contains(S("Disco pieno"))) << r.said.toStdString();
        r.record(entries);
        EXPECT_EQ(readFile(folder.history()).count("2026") + readFile(folder.csv()).count("2026"), 4)
            << limit;
    }
}

// A really full file system (a small one, where the machine lets the tests mount it): the database
// says "Disco pieno" like the files, nothing is half written, and with room again the day is recorded
// with the files' headers.
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

    FakeFetcher fetcher;
    fetcher.page =
        ratePage({row("EuRibor 1m", "1,986"), row("EuRibor 3m", "2,064"), row("EuRibor 6m", "2,137")});
    const auto run = [&] {
        Outcome r;
        QTextStream out(&r.out), err(&r.err);
        r.exit = core::runUpdateCommand({folder, S("http://127.0.0.1:9/p"), kItalian, QDate(2026, 12, 4), 50},
                                        fetcher, out, err);
        return r;
    };
    // No room for the lock; then room for the lock, the headers and the pending lines, not the database.
    const std::pair<qint64, const char*> stops[] = {
        {0, "(disco pieno)"}, {4 * 4096, "Errore registrazione su DataBase Disco pieno"}};
    for (const auto& [room, said] : stops) {
        SCOPED_TRACE(room);
        ASSERT_TRUE(filler.resize(filler.size() - room));
        const Outcome full = run();
        EXPECT_EQ(full.exit, core::NoneRecorded);
        EXPECT_TRUE(full.err.contains(S(said))) << full.err.toStdString();
        EXPECT_TRUE(allRows(folder + S("/EURIBOR.MDB")).isEmpty());
    }
    QFile::remove(filler.fileName());
    EXPECT_EQ(run().exit, core::AllRecorded);
    EXPECT_EQ(allRows(folder + S("/EURIBOR.MDB")).size(), 3);
    for (const QString& file : {folder + S("/Storico_Euribor.TXT"), folder + S("/Storico_Euribor.CSV")})
        EXPECT_TRUE(readFile(file).startsWith(kHeader) && readFile(file).count("2026") == 3)
            << file.toStdString();
}

// The database took the day and the disk refused the lines: the summary says so, and a run on another
// day writes them before its own.
TEST(UpdateCommand, LinesTheDiskRefusedAreSaidAndWrittenByTheNextRun) {
    Folder folder;
    QByteArray earlier = kHeader;
    while (earlier.size() < 64 * 1024)
        earlier += "01-01-2020 - 1,0000 - EuRibor 9m\r\n";
    writeFile(folder.history(), earlier);
    ASSERT_LT(QFileInfo(folder.db()).size(), earlier.size());
    FakeFetcher fetcher;
    fetcher.page =
        ratePage({row("EuRibor 1m", "1,986"), row("EuRibor 3m", "2,064"), row("EuRibor 6m", "2,137")});
    Outcome r;
    {
        const FileSizeLimit full(static_cast<rlim_t>(earlier.size() + 10));
        r = update(folder, fetcher);
    }
    EXPECT_EQ(r.exit, core::SomeRecorded);
    EXPECT_TRUE(r.out.endsWith(
        S("Registrate 3 quotazioni su 3 nel database, ma non nei file dello storico (Disco pieno).\n")))
        << r.out.toStdString();
    EXPECT_EQ(readFile(folder.history()), earlier);

    fetcher.page = ratePage({pageRow(S("EuRibor 1m"), S("1,990"), S("07/12/2026"))});
    EXPECT_EQ(update(folder, fetcher).exit, core::SomeRecorded);
    for (const QString& file : {folder.history(), folder.csv()})
        EXPECT_EQ(readFile(file).count("2026"), 4) << file.toStdString();
    EXPECT_EQ(allRows(folder.db()).size(), 4);
}

TEST(Recording, AHistoryKeepsTheDecimalSeparatorItWasStartedWith) {
    const std::tuple<QByteArray, QLocale, const char*> cases[] = {
        {QByteArray(), QLocale::c(), "2.0640"},
        {QByteArray(), kItalian, "2,0640"},
        {kHeader + "03-12-2026 - 2,0500 - EuRibor 3m\r\n", QLocale::c(), "2,0640"},
        {kHeader + "03-12-2026 - 2.0500 - EuRibor 3m\r\n", kItalian, "2.0640"},
        {kHeader, QLocale::c(), "2.0640"}};
    for (const auto& [existing, locale, written] : cases) {
        Folder folder;
        if (!existing.isNull())
            writeFile(folder.history(), existing);
        FakeFetcher fetcher;
        fetcher.page = ratePage({row("EuRibor 3m", "2,064")});
        update(folder, fetcher, locale);
        const QByteArray rate(written);
        EXPECT_TRUE(readFile(folder.history()).endsWith("04-12-2026 - " + rate + " - EuRibor 3m\r\n"))
            << written;
        EXPECT_TRUE(readFile(folder.csv()).endsWith("04/12/2026;" + rate + ";EuRibor 3m;\r\n")) << written;
    }
}

TEST(UpdateCommand, ExitSaysHowMuchWasRecordedAndWhy) {
    Folder folder;
    FakeFetcher fetcher;
    fetcher.page =
        ratePage({row("EuRibor 1m", "1,986"), row("EuRibor 3m", "2,064"), row("EuRibor 6m", "2,137")});
    Outcome r = update(folder, fetcher);
    EXPECT_EQ(r.exit, core::AllRecorded) << r.err.toStdString();
    EXPECT_EQ(r.out + r.err, S("EuRibor 1m  04/12/2026  1,9860\nEuRibor 3m  04/12/2026  2,0640\n"
                               "EuRibor 6m  04/12/2026  2,1370\nRegistrate 3 quotazioni su 3.\n"));
    // The same day again: nothing new is written, nor counted again.
    r = update(folder, fetcher);
    EXPECT_EQ(r.exit, core::AllRecorded);
    EXPECT_EQ(r.out, S("Nessuna quotazione nuova: 3 su 3 già registrate.\n"));
    EXPECT_EQ(readFile(folder.history()).count("\r\n") + readFile(folder.csv()).count("\r\n"), 8);
    EXPECT_EQ(allRows(folder.db()).size(), 3);

    // A rate without a readable day is said and kept out, like one the page does not give.
    fetcher.page = ratePage({row("EuRibor 1m", "1,990"), row("EuRibor 3m", "n.d."),
                             pageRow(S("EuRibor 6m"), S("2,200"), S("7/12/2026"))});
    r = update(folder, fetcher);
    EXPECT_EQ(r.exit, core::SomeRecorded);
    EXPECT_TRUE(r.err.contains(S("Quotazione  EuRibor 3m  non disponibile su Internet !!!")));
    EXPECT_TRUE(
        r.err.contains(S("Data della quotazione  EuRibor 6m  non leggibile nella pagina (\"7/12/2026\")")));
    EXPECT_TRUE(
        r.err.endsWith(S("Non registrate: EuRibor 3m (non disponibile); EuRibor 6m (data non leggibile)\n")))
        << r.err.toStdString();
    EXPECT_FALSE(rowTexts(folder.db()).join(u',').contains(S("2.2"))) << "a day was guessed";

    const std::tuple<QString, QString, const char*> failures[] = {
        {QString(), S("connessione rifiutata"), "pagina non ricevuta: connessione rifiutata"},
        {ratePage({}), QString(), "nessuna tabella delle quotazioni nella pagina"},
        {ratePage({row("EuRibor 1m", "n.d."), row("EuRibor 3m", "-")}), QString(),
         "nessuna quotazione disponibile nella pagina"},
        {ratePage({pageRow(S("EuRibor 1m"), S("1,990"), S("n.d."))}), QString(),
         "nessuna quotazione con una data leggibile nella pagina"}};
    for (const auto& [page, error, cause] : failures) {
        fetcher.page = page;
        fetcher.error = error;
        r = update(folder, fetcher);
        EXPECT_EQ(r.exit, core::NoneRecorded) << cause;
        EXPECT_TRUE(r.err.endsWith(S("Nessuna quotazione registrata: ") + S(cause) + u'\n'))
            << r.err.toStdString();
        // The window's box for a cycle that got no rate (the last tenor is not on any of these pages).
        EXPECT_TRUE(r.err.contains(S("Non trovo dati in Internet !!!\nNessuna quotazione registrata")))
            << r.err.toStdString();
    }

    QFile::remove(folder.tenors());
    r = update(folder, fetcher);
    EXPECT_EQ(r.exit, core::NoneRecorded);
    EXPECT_TRUE(r.err.contains(S("non contiene scadenze Euribor"))) << r.err.toStdString();
}

// A folder held by another copy is left alone; one where no file can be written is no other copy.
TEST(UpdateCommand, AFolderHeldByAnotherCopyIsLeftAloneAndOneWithoutALockIsNoOtherCopy) {
    Folder folder;
    FakeFetcher fetcher;
    Outcome r;
    {
        const FileSizeLimit none(0);
        r = update(folder, fetcher, kItalian, 50);
    }
    EXPECT_EQ(r.exit, core::NoneRecorded);
    EXPECT_TRUE(r.err.contains(S("Impossibile scrivere nella cartella dei dati ") + folder.path() +
                               S(" (disco pieno)")))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(S("già in esecuzione")));

    // A lock file that no live copy holds (cut by a power failure, garbled, another machine's) is taken.
    for (const QByteArray& stale :
         {QByteArray(), QByteArray("\x00\xff garbage"), QByteArray("1\neuribor\n")}) {
        writeFile(folder.path(S(".euribor.lock")), stale);
        EXPECT_NE(update(folder, fetcher, kItalian, 50).exit, core::FolderBusy) << stale.toHex().constData();
        EXPECT_FALSE(QFile::exists(folder.path(S(".euribor.lock"))));
    }
    EXPECT_EQ(fetcher.urls.size(), 3);

    QLockFile other(folder.path(S(".euribor.lock")));
    ASSERT_TRUE(other.tryLock(0));
    r = update(folder, fetcher, kItalian, 50);
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

TEST(Program, AnswersItsCommandLineWithoutADisplay) {
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{S("--help")}, 0, "--aggiorna"},
        {{S("--version")}, 0, "Quotazioni Euribor 1.0"},
        {{S("--boh")}, 2, "euribor: opzione sconosciuta: --boh (vedere euribor --help)\n"}};
    for (const auto& [args, exit, text] : cases) {
        const Outcome r = runProgram(args);
        EXPECT_EQ(r.exit, exit) << args.join(u' ').toStdString();
        EXPECT_TRUE((exit == 0 ? r.out : r.err).contains(S(text))) << args.join(u' ').toStdString();
        EXPECT_TRUE((exit == 0 ? r.err : r.out).isEmpty()) << args.join(u' ').toStdString();
    }
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
// and lets go of the folder; failed updates after it touch nothing.
TEST_F(ProgramTest, TheWindowsStartRecordsWhatTheUpdateRecordsAndFailuresTouchNothing) {
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

    for (const QString& to : {url("/nowhere"), S("http://127.0.0.1:1/rates")}) {
        const Outcome failed = runProgram(updateArgs(folder, to));
        EXPECT_EQ(failed.exit, 2);
        EXPECT_TRUE(failed.err.contains(S("Nessuna quotazione registrata: pagina non ricevuta")))
            << failed.err.toStdString();
    }
    EXPECT_EQ(readFile(folder.history()), history);
}

// Killed anywhere in the recording, then run on the next working day: the files hold a line for every
// record, each once, whatever day the cut one was.
TEST_F(ProgramTest, AKillAtAnyStepOfTheRecordingIsCompletedByTheNextDaysRun) {
    for (const char* point : {"before-commit", "after-commit", "between-files"}) {
        SCOPED_TRACE(point);
        Folder folder(true);
        EXPECT_EQ(runProgram(updateArgs(folder, url()), {S("EURIBOR_TEST_KILL_AT=") + S(point)}).exit, -1);
        // A run whose page fails still completes the files; then the next day's.
        for (const char* page : {"/nowhere", "/next"}) {
            SCOPED_TRACE(page);
            const Outcome next = runProgram(updateArgs(folder, url(page)));
            EXPECT_EQ(next.exit, page[1] == 'n' && page[2] == 'o' ? 2 : 0) << next.err.toStdString();
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
