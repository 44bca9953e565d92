// The page address: its check, the settings file, which address a run uses, the window keeping a typed
// address that gave rates, and the real executable where the process matters.

#include "page_address.h"

#include "support/loopback_http.h"
#include "support/sqlite_files.h"
#include "support/text.h"
#include "support/window_fixture.h"

#include <QFile>
#include <QProcess>

using namespace core;

namespace {
const QString kPage = S("https://www.example.it/MainController?p=1&s=4&t=8&page=lteurb&c=lteurb");
const QString kBuiltIn = S("http://quotazioni.example.invalid/MainController?p=1");
} // namespace

TEST(PageAddress, TheCheckAsksForHttpAHostAndThePage) {
    const QString noPage = S("manca il percorso della pagina delle quotazioni (per esempio "
                             "/MainController?p=1&s=4&t=8&page=lteurb&c=lteurb)");
    const std::pair<QString, QString> cases[] = {
        {kPage, {}},
        {S("  HTTP://127.0.0.1:8080/rates  "), {}},
        {S("ftp://www.example.it/rates"), S("serve un indirizzo http o https")},
        {S("https://www.exa mple.it/rates"), S("serve un indirizzo http o https")},
        {S("https:///rates"), S("manca il nome del sito")},
        {S("https://www.example.it"), noPage},
        {S("https://www.example.it/"), noPage},
        {S(" "), S("l'indirizzo è vuoto")}};
    for (const auto& [address, problem] : cases) {
        SCOPED_TRACE(address.toStdString());
        EXPECT_EQ(addressProblem(address), problem);
    }
}

TEST(PageAddress, TheSettingsFileFollowsXdgConfigHomeWhenAbsolute) {
    const QString file = S("/quotazioni-euribor/quotazioni-euribor.conf");
    EXPECT_EQ(settingsFilePath(S("/xdg/conf/"), S("/home/u")), S("/xdg/conf") + file);
    for (const char* xdg : {"", "relativa"})
        EXPECT_EQ(settingsFilePath(S(xdg), S("/home/u")), S("/home/u/.config") + file) << xdg;
}

TEST(PageAddress, TheRunTakesTheOptionThenTheSavedAddressThenTheBuiltInOne) {
    QTemporaryDir dir;
    const QString file = dir.filePath(S("nuova/quotazioni-euribor.conf"));
    const auto resolved = [&](const QString& option) {
        const PageAddress a = resolvePageAddress(option, file, kBuiltIn);
        return a.url + u'|' + QString::number(int(a.source)) + u'|' + a.warning;
    };
    EXPECT_EQ(resolved({}), kBuiltIn + S("|2|"));

    QString out, err;
    QTextStream o(&out), e(&err);
    writeFile(dir.filePath(S("un-file")), "");
    const QString blocked = dir.filePath(S("un-file/quotazioni-euribor.conf"));
    EXPECT_EQ(runSetAddressCommand(blocked, kPage, o, e), 2);
    EXPECT_EQ(runSetAddressCommand(file, S("ftp://x/y"), o, e), 2);
    EXPECT_EQ(runSetAddressCommand(file, S(" ") + kPage, o, e), 0);
    EXPECT_EQ(err, S("Indirizzo non salvato, impossibile scrivere il file ") + blocked + S(": ") + kPage +
                       S("\nIndirizzo non salvato, serve un indirizzo http o https: ftp://x/y\n"));
    EXPECT_EQ(out, S("Indirizzo della pagina salvato in ") + file + S(":\n") + kPage + u'\n');
    EXPECT_EQ(resolved({}), kPage + S("|1|"));
    EXPECT_EQ(resolved(S("http://127.0.0.1:9/x")), S("http://127.0.0.1:9/x|0|"));

    // Written by hand: read as Qt reads it, and passed over when it is no page.
    writeFile(file, "[pagina]\nindirizzo=https://h/p?a=1,2\n");
    EXPECT_EQ(resolved({}), S("https://h/p?a=1,2|1|"));
    writeFile(file, "[pagina]\nindirizzo=https://h\n");
    EXPECT_EQ(resolved({}), kBuiltIn + S("|2|Indirizzo in ") + file + S(" non valido (") +
                                addressProblem(S("https://h")) + S("): uso quello predefinito."));
}

TEST_F(WindowTest, ATypedAddressIsKeptOnlyOnceRatesFromItWereRecorded) {
    context.settingsFile = dir.filePath(S("config/quotazioni-euribor.conf"));
    const QString page = ratesPage({{"EuRibor 3m", "2,064"}});
    const std::tuple<const char*, QString, bool, bool, QString> cases[] = {
        // name, the address typed, whether it answers, whether the database refuses, what is saved
        {"unchanged", context.pageUrl, true, false, {}},
        {"a typo that gives no page", S("http://127.0.0.1:9/refuso"), false, false, {}},
        {"rates the database refused", S("http://127.0.0.1:9/altra"), true, true, {}},
        {"an address that gave rates", S(" http://127.0.0.1:9/nuova "), true, false,
         S("http://127.0.0.1:9/nuova")}};
    for (const auto& [name, typed, answered, refused, saved] : cases) {
        SCOPED_TRACE(name);
        fetcher.urls.clear();
        fetcher.error = answered ? QString() : S("server non trovato");
        fetcher.page = answered ? page : QString();
        execOn(dbPath(), S("DROP TRIGGER IF EXISTS refused"));
        execOn(dbPath(), S("DELETE FROM Storico_Euribor"));
        if (refused)
            execOn(dbPath(), S("CREATE TRIGGER refused BEFORE INSERT ON Storico_Euribor BEGIN SELECT "
                               "RAISE(ABORT, 'rifiutato'); END"));
        form1& w = reloaded();
        w.Text1->setText(typed);
        w.Form_Activate();
        EXPECT_EQ(fetcher.urls, QStringList{typed.trimmed()});
        EXPECT_EQ(savedPageAddress(context.settingsFile), saved);
    }
}

// The address saved through XDG_CONFIG_HOME reaches the windowless update.
TEST(PageAddressProgram, TheUpdateUsesTheSavedAddress) {
    QTemporaryDir home, data;
    const LoopbackHttpServer server{
        {{"/rates",
          {200, "Content-Type: text/html\r\n",
           samplePage(QDate::currentDate().addDays(-10).toString(S("dd/MM/yyyy"))), false}}}};
    const QString url = QString::fromLatin1(server.url("/rates"));
    ASSERT_TRUE(QFile::copy(S(EURIBOR_SOURCE_DIR "/data/Euribor_PORTALEDATI.txt"),
                            data.filePath(S("Euribor_PORTALEDATI.txt"))));
    createHistoryDatabase(data.filePath(S("EURIBOR.MDB")));

    const auto run = [&](const QStringList& args) {
        return runProgram(S(EURIBOR_EXECUTABLE), args, {S("XDG_CONFIG_HOME=") + home.path()});
    };
    EXPECT_EQ(run({S("--imposta-indirizzo"), url}).exit, 0);
    const Outcome update = run({S("--aggiorna"), S("--cartella"), data.path()});
    EXPECT_EQ(update.exit, 0) << update.err.toStdString();
    EXPECT_FALSE(rowTexts(data.filePath(S("EURIBOR.MDB"))).isEmpty());
}
