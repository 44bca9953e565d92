// The windowless update's desktop notification: its line, and the real program against python-dbusmock's
// notification service on a private session bus, with --silenzioso and without any bus.

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

namespace {

// A weekday a week ago: the days since are missing from a history that ends there.
QDate aWeekdayAgo() {
    QDate day = QDate::currentDate().addDays(-7);
    while (day.dayOfWeek() > 5)
        day = day.addDays(-1);
    return day;
}

} // namespace

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

    struct Step {
        const char* name;
        bool service, history, silent;
        const char* url;        // empty: the loopback page of today
        const char* busAddress; // empty: the private bus
        int exit;
        const char* notice; // empty: none shown
    };
    const Step steps[] = {{"a bus without the service", false, true, false, "x", "", 2, ""},
                          {"nothing recorded, days missing", true, true, false, "x", "", 2,
                           "Nessuna quotazione registrata: pagina non ricevuta"},
                          {"--silenzioso", true, true, true, "x", "", 2, ""},
                          {"all recorded, nothing missing", true, false, false, "", "", 0, ""},
                          {"no bus at all", true, true, false, "x", "unix:path=/nonexistent/bus", 2, ""}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.service && mock.state() == QProcess::NotRunning) {
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
        if (s.history)
            insertRows(folder.db(), {{S("EuRibor 3m"), aWeekdayAgo().toString(S("yyyyMMdd")), 2.0,
                                      S("EuRibor 3m"), S("")}});
        const qsizetype before = notices().size();
        const Outcome r = runProgram(S(EURIBOR_EXECUTABLE),
                                     QStringList{S("--aggiorna"), S("--cartella"), folder.path(),
                                                 S("--provider"), *s.url ? nowhere : rates} +
                                         (s.silent ? QStringList{S("--silenzioso")} : QStringList()),
                                     {S("XDG_RUNTIME_DIR="), S("DBUS_SESSION_BUS_ADDRESS=") +
                                                                 (*s.busAddress ? S(s.busAddress) : bus)});
        EXPECT_EQ(r.exit, s.exit) << r.err.toStdString();
        // The report of the missing days ends the update on standard error, notification or not.
        EXPECT_EQ(r.err.contains(S("EuRibor 3m: ")), s.history) << r.err.toStdString();
        const QStringList shown = notices().mid(before);
        if (!*s.notice) {
            EXPECT_TRUE(shown.isEmpty()) << shown.join(u'\n').toStdString();
            continue;
        }
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].contains(
            S("\"Quotazioni Euribor\" 0 \"quotazioni-euribor\" \"Quotazioni Euribor\" \"") + S(s.notice)))
            << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(S(". Giorni senza quotazione: EuRibor 3m: ")))
            << shown[0].toStdString();
    }
    QDBusConnection::disconnectFromBus(S("notice-watch"));
    stopChild(mock);
    stopChild(daemon);
}
