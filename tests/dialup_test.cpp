// The dial-up layer below the window: the texts at their edges, the NetworkManager mappings at each
// state's boundary, and the dial-up module through the simulated dial service.

#include "conn_ras.h"
#include "connection_state.h"
#include "nm_mapping.h"
#include "ras_texts.h"
#include "simulated_dial_service.h"

#include "support/fake_shell.h"
#include "support/text.h"

#include <QCoreApplication>
#include <QSet>

#include <gtest/gtest.h>

#include <vector>

namespace {

// The states' texts are read by the module's tests below; here the error table's edges.
TEST(RasTexts, EdgesOfTheErrorTableAndANegativeState) {
    const QStringList texts = {RasErrorText(600), RasErrorText(601), RasErrorText(750), RasErrorText(751),
                               RasStateText(-1)};
    EXPECT_EQ(texts, QStringList({S("Errore non previsto (Cod. 600)."), S("Porta seriale non valida"),
                                  S("Modulo errato"), S("Errore non previsto (Cod. 751)."),
                                  S("Errore. Stato non previsto (Cod. -1).")}));
}

// A row shadowed by an earlier one, or an error without a text, is a fault of the table.
TEST(NmMapping, EveryRowIsUniqueAndEveryErrorHasAText) {
    QSet<QString> keys;
    for (const nm::Mapping& m : nm::mappingTable()) {
        const QString key = S("%1:%2:").arg(int(m.source)).arg(m.value) + QLatin1String(m.errorName);
        SCOPED_TRACE(key.toStdString());
        EXPECT_FALSE(keys.contains(key));
        keys.insert(key);
        const bool error = m.source != nm::Source::ActiveState && m.source != nm::Source::DeviceState;
        EXPECT_FALSE(error && RasErrorText(m.ras).startsWith(S("Errore non previsto")));
    }
    // Names the table lacks; the table's own names are dialled in dialup_nm_test.
    EXPECT_EQ(nm::callErrorCode(S("org.freedesktop.NetworkManager.Failed")), 635);
    EXPECT_EQ(nm::callErrorCode(QString()), 635);
}

// What the bus told of a dial since it began (d: the device's state:reason, a: the connection's), read as
// the dial's status; the state read before is 5.
TEST(NmMapping, TheLinksStatusAndTheCauseOfItsFall) {
    struct Row {
        const char *name, *notes;
        DialStatus status;
        bool secretsRefused = false, vanished = false;
    };
    const int down = ras::Disconnected;
    const Row rows[] = {
        {"nothing heard from the device", "", {0, 2, 0}},
        {"device prepare", "d40:0", {0, 1, 0}},
        {"activated", "d90:0 a2:1", {0, ras::Connected, 0}},
        {"deactivating repeats the state before", "a3:2", {0, 5, 0}},
        {"device deactivating repeats the state before", "d110:0", {0, 5, 0}},
        {"deactivated by the user", "a3:2 a4:2", {0, down, 631}},
        {"the device's first telling reason wins", "d120:24 d30:36 a4:9", {0, down, 680}},
        {"device failed: unmapped reason", "d120:99", {0, down, 635}},
        {"device failed: reason unknown (1)", "d120:1", {0, down, 635}},
        {"device disconnected: carrier lost", "d30:40 a4:0", {0, down, 628}},
        {"device reason 1 tells nothing", "d30:1 a3:0 a4:10", {0, down, 691}},
        {"told at deactivated only", "d30:0 a3:0 a4:6", {0, down, 638}},
        {"told at deactivating, first", "d30:0 a3:6 a4:2", {0, down, 638}},
        {"no cause told", "d30:0 a3:0 a4:0", {0, down, 0}},
        // Boundaries: a device falls at 30 and from 110 on; a connection tells its cause from 3 on.
        {"device at 40 is not falling", "d40:24 a4:0", {0, down, 0}},
        {"device at 100 is not falling", "d100:24 a4:0", {0, down, 0}},
        {"device at 110 is falling", "d110:24 a4:0", {0, down, 680}},
        {"activated tells no cause", "a2:9 a4:0", {0, down, 0}},
        {"the password refused", "d120:14", {0, down, 691}, true},
        {"the connection vanished", "", {0, down, 0}, false, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        nm::LinkFacts f;
        f.activeState = nm::ActiveActivating;
        f.secretsRefused = r.secretsRefused;
        f.vanished = r.vanished;
        for (const QString& n : S(r.notes).split(u' ', Qt::SkipEmptyParts)) {
            const QStringList v = n.mid(1).split(u':');
            (n[0] == u'd' ? nm::noteDeviceState : nm::noteActiveState)(f, v[0].toUInt(), v.value(1).toUInt());
        }
        EXPECT_EQ(nm::linkStatus(f, 5), r.status);
    }
}

TEST(NmMapping, TheGlobalStateIsOnlineFromConnectedSiteOn) {
    const std::tuple<const char*, uint, const char*, bool, int> rows[] = {
        {"connected local", 50, "gsm", false, 0},
        {"connected site", 60, "gsm", true, ConnectionInfo::Modem},
        {"global over ethernet", 70, "802-3-ethernet", true, ConnectionInfo::Lan},
        {"global over a vpn", 70, "vpn", true, ConnectionInfo::Modem},
        {"no primary connection type", 70, "", true, 0}};
    for (const auto& [name, state, type, connected, flags] : rows) {
        SCOPED_TRACE(name);
        const ConnectionInfo info = mapNetworkManagerState(state, S(type));
        EXPECT_EQ(info.connected, connected);
        EXPECT_EQ(info.flags, flags);
    }
}

const QString kPassword = QStringLiteral("segreta-42");
using Phase = Conn_RAS::Phase;

// The module on the simulated service; what its status line was told, as the login window shows it.
class ConnRasTest : public ::testing::Test {
protected:
    ConnRasTest() {
        QObject::connect(&conn, &Conn_RAS::dialEnded, [this] { ++ended; });
        QObject::connect(&conn, &Conn_RAS::connected, [this] { ++connected; });
        QObject::connect(&conn, &Conn_RAS::statusText, [this](const QString& t) { said.append(t); });
    }
    // Dials "Ufficio" with the given readings; the service accepts and the tick runs.
    DialHandle dialAccepted(std::deque<DialStatus> readings) {
        sim.readings = std::move(readings);
        conn.DialConnection(S("Ufficio"), S("mario"), kPassword);
        EXPECT_TRUE(sim.answerDial());
        EXPECT_TRUE(conn.tickRunning());
        return conn.ConnHandle;
    }
    QString label() const { return said.value(said.size() - 1); }
    // The boxes the module asked for, once the event loop has opened them.
    QStringList boxesShown() {
        QCoreApplication::processEvents();
        return shell.texts();
    }
    FakeShell shell;
    SimulatedDialService sim;
    Conn_RAS conn{shell, sim};
    QStringList said;
    int ended = 0, connected = 0;
};

// Each text is told once until it changes; an error above 600 ends the dial.
TEST_F(ConnRasTest, ProgressTextsAreToldOnceUntilAnErrorAbove600EndsTheDial) {
    // name, the reading, the text after it, whether it was told
    const std::tuple<const char*, DialStatus, const char*, bool> ticks[] = {
        {"opening the port", {0, 0, 0}, "Apertura della porta seriale in corso...", true},
        {"dialling", {0, 2, 0}, "Chiamata in corso...", true},
        {"state 3 repeats the text of 2", {0, 3, 0}, "Chiamata in corso...", false},
        {"state 7 has no text", {0, 7, 0}, "Chiamata in corso...", false},
        {"just below Connected", {0, 8191, 0}, "Errore. Stato non previsto (Cod. 8191).", true},
        {"just above Disconnected", {0, 8194, 0}, "Errore. Stato non previsto (Cod. 8194).", true},
        {"error 600 is not above 600", {0, 5, 600}, "Controllo accesso in corso...", true},
        {"error 601 ends the dial", {0, 5, 601}, "Porta seriale non valida", true}};
    std::deque<DialStatus> readings;
    for (const auto& t : ticks)
        readings.push_back(std::get<1>(t));
    const DialHandle h = dialAccepted(readings);
    for (const auto& [name, reading, last, told] : ticks) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(conn.dialInProgress());
        said.clear();
        conn.StatusTick();
        EXPECT_EQ(conn.LastStatusText, S(last));
        EXPECT_EQ(said, told ? QStringList{S(last)} : QStringList());
    }
    EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
    EXPECT_TRUE(!conn.tickRunning() && conn.phase() == Phase::Failed && ended == 1 && connected == 0);
    EXPECT_TRUE(boxesShown().isEmpty());
}

// Connected stops the tick, a failed query ends the dial testing no state; a hang-up drops the line.
TEST_F(ConnRasTest, OneTickConnectsGoesOnOrFailsOnAFailedQuery) {
    const std::tuple<const char*, DialStatus, Phase> rows[] = {
        {"dialling", {0, 2, 0}, Phase::Dialling},
        {"connected", {0, ras::Connected, 0}, Phase::Connected},
        {"query failed, Connected untested", {668, ras::Connected, 0}, Phase::Failed},
        {"query failed, Disconnected untested", {6, ras::Disconnected, 0}, Phase::Failed}};
    for (const auto& [name, reading, phase] : rows) {
        SCOPED_TRACE(name);
        const DialHandle h = dialAccepted({reading});
        sim.hangUps.clear(); // the earlier round's dial, dropped by this one
        connected = 0;
        conn.StatusTick();
        const QString text = phase == Phase::Connected  ? S("Connessione effettuata.")
                             : phase == Phase::Dialling ? S("Chiamata in corso...")
                                                        : RasErrorText(reading.queryError);
        EXPECT_EQ(label(), text);
        EXPECT_EQ(connected, phase == Phase::Connected ? 1 : 0);
        EXPECT_EQ(conn.tickRunning(), phase == Phase::Dialling);
        EXPECT_EQ(conn.phase(), phase);
        EXPECT_EQ(sim.hangUps.contains(h), phase == Phase::Failed);
        conn.HangUpCurrent();
        EXPECT_TRUE(sim.hangUps.contains(h));
    }
    EXPECT_TRUE(boxesShown().isEmpty());
}

// A refused dial, or Disconnected read by the tick, is boxed from the event loop, except for 602.
TEST_F(ConnRasTest, ARefusalOrAFallIsReportedAfterwardsExceptFor602) {
    // name, the dial's answer, else the error read with Disconnected; the status line, the box
    const struct {
        const char* name;
        int refusal, fall;
        const char *label, *box;
    } cases[] = {
        {"refused: no such entry", 623, 0, nullptr,
         "Errore di accesso remoto n. 623:\r\nImpossibile trovare la connessione"},
        {"refused: port already open", ras::ErrorPortAlreadyOpen, 0, nullptr, nullptr},
        {"fell: port already open", 0, ras::ErrorPortAlreadyOpen, "Porta seriale già aperta", nullptr},
        {"fell: no answer", 0, 678, "Nessuna risposta",
         "Impossibile effettuare la connessione per Nessuna risposta"},
        {"fell without an error", 0, 0, "Disconnessione effettuata.",
         "Impossibile effettuare la connessione per Disconnessione effettuata."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shell.boxes.clear();
        sim.hangUps.clear();
        said.clear();
        sim.dialResult = c.refusal;
        sim.readings = {{0, ras::Disconnected, c.fall}};
        conn.DialConnection(S("Ufficio"), S("mario"), kPassword);
        const DialHandle h = conn.ConnHandle;
        EXPECT_TRUE(sim.answerDial());
        if (!c.refusal)
            conn.StatusTick();
        EXPECT_TRUE(shell.boxes.isEmpty()) << "a box opened inside the dial's answer or the tick";
        EXPECT_EQ(label(), c.label ? S(c.label) : QString());
        EXPECT_EQ(boxesShown(), c.box ? QStringList{S(c.box)} : QStringList());
        EXPECT_TRUE(
            !c.box ||
            (shell.boxes.value(0).title == S(c.refusal ? "Accesso al Server" : "Quotazioni Euribor") &&
             shell.boxes.value(0).icon == (c.refusal ? Shell::Icon::Critical : Shell::Icon::None)));
        if (c.refusal) {
            EXPECT_EQ(sim.hangUps, (QList<DialHandle>{h, h}));
            EXPECT_TRUE(conn.phase() == Phase::Refused && !conn.tickRunning());
            continue;
        }
        EXPECT_EQ(sim.hangUps.value(sim.hangUps.size() - 1), h);
        // Without an error the tick goes on until the hung-up handle fails the query.
        EXPECT_EQ(conn.tickRunning(), c.fall == 0);
        conn.StatusTick();
        EXPECT_FALSE(conn.tickRunning());
    }
    EXPECT_EQ(label(), S("Errore non previsto (Cod. 6)."));
    EXPECT_EQ(ended, 5);
    // Ticks while the Disconnected box is open show no further box.
    shell.boxes.clear();
    dialAccepted({{0, ras::Disconnected, 0}});
    shell.onBox = [&](const FakeShell::Box&) {
        conn.StatusTick();
        QCoreApplication::processEvents();
    };
    conn.StatusTick();
    EXPECT_EQ(boxesShown().size(), 1);
    EXPECT_FALSE(conn.tickRunning());
}

TEST_F(ConnRasTest, ASecondDialStopsTheFirstTickAndItsLateAnswerIsIgnored) {
    dialAccepted({{0, 2, 0}});
    conn.DialConnection(S("Casa"), S("mario"), kPassword);
    conn.DialConnection(S("Ufficio"), S("mario"), kPassword);
    const DialHandle third = conn.ConnHandle;
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_EQ(sim.hangUps.size(), 2) << "each replaced dial is dropped";
    EXPECT_TRUE(sim.answerDial()); // the second request's answer
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_TRUE(sim.answerDial());
    EXPECT_TRUE(conn.tickRunning());
    sim.statusQueries.clear();
    conn.StatusTick();
    EXPECT_EQ(sim.statusQueries, QList<DialHandle>{third});
}

TEST_F(ConnRasTest, ValuesOver256CharactersAreRefusedBeforeDialling) {
    const QString fits(256, u'x'), tooLong(257, u'x');
    const std::tuple<QString, QString, QString, const char*> cases[] = {
        {tooLong, fits, fits, "Nome della connessione troppo lungo"},
        {fits, tooLong, fits, "Nome utente troppo lungo"},
        {fits, fits, tooLong, "Password troppo lunga"},
        {fits, fits, fits, nullptr}};
    for (const auto& [entry, user, password, box] : cases) {
        SCOPED_TRACE(box ? box : "all fit");
        shell.boxes.clear();
        sim.dials.clear();
        conn.DialConnection(entry, user, password);
        EXPECT_EQ(sim.dials.size(), box ? 0 : 1);
        EXPECT_EQ(shell.boxes.size(), box ? 1 : 0);
        EXPECT_TRUE(!box ||
                    (shell.boxes.value(0).text.startsWith(S(box)) &&
                     shell.boxes.value(0).icon == Shell::Icon::Critical && conn.phase() == Phase::Refused));
    }
    EXPECT_EQ(ended, 3);
}

} // namespace
