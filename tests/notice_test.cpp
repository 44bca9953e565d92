// The windowless update's desktop notification, the real program against python-dbusmock's service.

#include "desktop_notice.h"

#include "support/dialup_bus.h"
#include "support/fakes.h"
#include "support/loopback_http.h"
#include "support/sqlite_files.h"
#include "support/text.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>

TEST(UpdateNotice, OneLineSayingWhyNothingWasRecordedAndWhichDaysAreMissing) {
    const std::tuple<bool, const char*, const char*, const char*> cases[] = {
        {false, "", "", ""},
        {true, "pagina non ricevuta", "", "Nessuna quotazione registrata: pagina non ricevuta."},
        {true, "", "", "Nessuna quotazione registrata."},
        {false, "", "EuRibor 1w: 24/12/2025; EuRibor 3m: 02/03/2026-06/03/2026 (5)",
         "Giorni senza quotazione: EuRibor 1w: 24/12/2025; EuRibor 3m: 02/03/2026-06/03/2026 (5)."},
        {true, "pagina non ricevuta",
         "EuRibor 1w: 07/12/2026; EuRibor 1m: 04/12/2026, 07/12/2026; EuRibor 3m: 07/12/2026",
         "Nessuna quotazione registrata: pagina non ricevuta. Giorni senza quotazione: EuRibor 1w, EuRibor "
         "3m: 07/12/2026; EuRibor 1m: 04/12/2026, 07/12/2026."}};
    for (const auto& [none, cause, gaps, text] : cases) {
        SCOPED_TRACE(std::string(text) + "/" + cause);
        EXPECT_EQ(core::updateNoticeText(none, S(cause), S(gaps)), S(text));
    }
}

TEST(UpdateNotice, TheProgramNotifiesThroughTheSessionBusOnlyWhenSomethingIsWrong) {
    QProcess daemon, mock;
    const QString bus = startPrivateBus(daemon);
    ASSERT_FALSE(bus.isEmpty());
    LoopbackHttpServer server{{{"/rates",
                                {200, "Content-Type: text/html\r\n",
                                 samplePage(QDate::currentDate().toString(S("dd/MM/yyyy"))), false}}}};
    const QString rates = QString::fromLatin1(server.url("/rates")), nowhere = S("http://127.0.0.1:1/rates");
    QTemporaryDir dir;
    const QString log = dir.filePath(S("notifiche.log"));
    const auto notices = [&] { return QString::fromUtf8(readFile(log)).split(u'\n').filter(S(" Notify ")); };
    QDate weekAgo = QDate::currentDate().addDays(-7);
    while (weekAgo.dayOfWeek() > 5)
        weekAgo = weekAgo.addDays(-1);

    // bus: empty for the private one; well: a history up to date and the page given, else one that ends a
    // week ago and a page that fails.
    const std::tuple<const char*, const char*, bool, bool, bool, bool> steps[] = {
        // name, bus, service, silent, well, notice shown
        {"a bus without the service", "", false, false, false, false},
        {"nothing recorded, days missing", "", true, false, false, true},
        {"--silenzioso", "", true, true, false, false},
        {"all recorded, nothing missing", "", true, false, true, false},
        {"no bus at all", "unix:path=/nonexistent/bus", true, false, false, false}};
    for (const auto& [name, busAddress, service, silent, well, notice] : steps) {
        SCOPED_TRACE(name);
        if (service && mock.state() == QProcess::NotRunning) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(S("DBUS_SESSION_BUS_ADDRESS"), bus);
            mock.setProcessEnvironment(env);
            mock.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
            mock.start(S("/usr/bin/python3"), {S("-m"), S("dbusmock"), S("--session"), S("--template"),
                                               S("notification_daemon"), S("-l"), log});
            QDBusConnection watch = QDBusConnection::connectToBus(bus, S("notice-watch"));
            ASSERT_TRUE(waitUntil([&] {
                return watch.interface()->isServiceRegistered(S("org.freedesktop.Notifications")).value();
            }));
        }
        Folder folder(true);
        if (!well)
            insertRows(folder.db(),
                       {{S("EuRibor 3m"), weekAgo.toString(S("yyyyMMdd")), 2.0, S("EuRibor 3m"), S("")}});
        const qsizetype before = notices().size();
        const Outcome r = runEuribor(
            QStringList{S("--aggiorna"), S("--cartella"), folder.path(), S("--provider"),
                        well ? rates : nowhere} +
                QStringList(silent, S("--silenzioso")),
            {S("XDG_RUNTIME_DIR="), S("DBUS_SESSION_BUS_ADDRESS=") + (*busAddress ? S(busAddress) : bus)});
        EXPECT_EQ(r.exit, well ? 0 : 2) << r.err.toStdString();
        // The report of the missing days ends the update on standard error, notification or not.
        EXPECT_EQ(r.err.contains(S("EuRibor 3m: ")), !well) << r.err.toStdString();
        const QStringList shown = notices().mid(before);
        EXPECT_EQ(shown.size(), notice ? 1 : 0) << shown.join(u'\n').toStdString();
        for (const char* part : {"\"Quotazioni Euribor\" 0 \"quotazioni-euribor\" \"Quotazioni Euribor\" "
                                 "\"Nessuna quotazione registrata: pagina non ricevuta",
                                 ". Giorni senza quotazione: EuRibor 3m: "})
            EXPECT_TRUE(!notice || shown.value(0).contains(S(part))) << shown.value(0).toStdString();
    }
    QDBusConnection::disconnectFromBus(S("notice-watch"));
    stopChild(mock);
    stopChild(daemon);
}
