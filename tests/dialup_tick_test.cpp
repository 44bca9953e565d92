// The dial-up module through a scripted dial service: dial requests, the status tick, the login
// window's buttons and the hang-ups at exit, with every message box recorded by the fake shell.

#include "conn_ras.h"
#include "login_ras.h"
#include "ras_texts.h"
#include "simulated_dial_service.h"

#include "support/dialup_bus.h"
#include "support/fake_shell.h"

#include <gtest/gtest.h>

namespace {

const QString kPassword = QStringLiteral("segreta-42");

DialStatus reading(int state, int error = 0) {
    return {0, state, error};
}

class ConnRasTest : public ::testing::Test {
protected:
    ConnRasTest() {
        QObject::connect(&conn, &Conn_RAS::dialEnded, [this] { ++ended; });
    }

    // A dial the service accepted: the tick is running.
    DialHandle dialAccepted() {
        conn.DialConnection(QStringLiteral("Ufficio"), QStringLiteral("mario"), kPassword);
        EXPECT_TRUE(sim.answerDial());
        EXPECT_TRUE(conn.tickRunning());
        return conn.ConnHandle;
    }
    QString label() const { return login.Label4->text(); }

    FakeShell shell;
    SimulatedDialService sim;
    Login_RAS login;
    Conn_RAS conn{shell, sim, login};
    int ended = 0;
};

TEST_F(ConnRasTest, ProgressTextsFollowTheDialAndRepeatsLeaveTheLabel) {
    sim.readings = {reading(0), reading(1), reading(2), reading(3), reading(7), reading(5)};
    dialAccepted();
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Apertura della porta seriale in corso..."));
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Porta seriale aperta."));
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Chiamata in corso..."));
    login.Label4->setText(QStringLiteral("segno"));
    conn.StatusTick(); // state 3: the same text as before
    EXPECT_EQ(label(), QStringLiteral("segno"));
    conn.StatusTick(); // state 7: no text
    EXPECT_EQ(label(), QStringLiteral("segno"));
    EXPECT_EQ(conn.LastStatusText, QStringLiteral("Chiamata in corso..."));
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Controllo accesso in corso..."));
    EXPECT_TRUE(conn.tickRunning());
    EXPECT_TRUE(conn.dialInProgress());
    EXPECT_TRUE(shell.boxes.isEmpty());
    EXPECT_TRUE(sim.hangUps.isEmpty());
    EXPECT_EQ(ended, 0);
}

TEST_F(ConnRasTest, AnErrorAbove600EndsTheDialWithoutABox) {
    sim.readings = {reading(2, 600), reading(5, 691)};
    const DialHandle h = dialAccepted();
    conn.StatusTick(); // 600 is not above 600: the state speaks
    EXPECT_EQ(label(), QStringLiteral("Chiamata in corso..."));
    EXPECT_TRUE(conn.tickRunning());
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Autenticazione fallita"));
    EXPECT_EQ(conn.LastStatusText, QStringLiteral("Autenticazione fallita"));
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
    EXPECT_TRUE(shell.boxes.isEmpty());
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Failed);
    EXPECT_EQ(ended, 1);
}

TEST_F(ConnRasTest, ConnectedStopsTheTickAndOffersToDisconnect) {
    sim.readings = {reading(ras::Connected)};
    dialAccepted();
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Connessione effettuata."));
    EXPECT_EQ(login.Command2->text(), QStringLiteral("Disconnetti"));
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_TRUE(sim.hangUps.isEmpty());
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Connected);
    EXPECT_EQ(ended, 1);
}

TEST_F(ConnRasTest, DisconnectedNamesTheTextJustShownAndPollsUntilTheQueryFails) {
    sim.readings = {reading(ras::Disconnected)};
    const DialHandle h = dialAccepted();
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Disconnessione effettuata."));
    ASSERT_EQ(shell.boxes.size(), 1);
    EXPECT_EQ(shell.boxes[0].text,
              QStringLiteral("Impossibile effettuare la connessione per Disconnessione effettuata."));
    EXPECT_EQ(shell.boxes[0].title, appTitle());
    EXPECT_EQ(shell.boxes[0].icon, Shell::Icon::None);
    EXPECT_EQ(shell.boxes[0].buttons, Shell::Buttons::Ok);
    EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
    EXPECT_TRUE(conn.tickRunning());
    EXPECT_EQ(ended, 1);

    conn.StatusTick(); // the hung-up handle fails the query
    EXPECT_EQ(label(), QStringLiteral("Errore non previsto (Cod. 6)."));
    EXPECT_EQ(conn.LastStatusText, QStringLiteral("Disconnessione effettuata."));
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_EQ(shell.boxes.size(), 1);
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Failed);
    EXPECT_EQ(ended, 1);
}

TEST_F(ConnRasTest, DisconnectedWithAnErrorShowsTheErrorExceptFor602) {
    sim.readings = {reading(ras::Disconnected, 678)};
    dialAccepted();
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Nessuna risposta"));
    EXPECT_EQ(shell.texts(),
              QStringList{QStringLiteral("Impossibile effettuare la connessione per Nessuna risposta")});
    EXPECT_FALSE(conn.tickRunning());

    shell.boxes.clear();
    sim.readings = {reading(ras::Disconnected, ras::ErrorPortAlreadyOpen)};
    const DialHandle h = dialAccepted();
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Porta seriale già aperta"));
    EXPECT_TRUE(shell.boxes.isEmpty());
    EXPECT_TRUE(sim.hangUps.contains(h));
    EXPECT_FALSE(conn.tickRunning());
}

TEST_F(ConnRasTest, AFailedQueryTestsNoState) {
    // What a failed query leaves in the record must not be read as Connected or Disconnected.
    sim.readings = {{668, ras::Connected, 0}};
    const DialHandle h = dialAccepted();
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Nessuna connessione"));
    EXPECT_TRUE(conn.LastStatusText.isEmpty());
    EXPECT_EQ(login.Command2->text(), QStringLiteral("Annulla"));
    EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_TRUE(shell.boxes.isEmpty());

    sim.readings = {{ras::ErrorInvalidHandle, ras::Disconnected, 0}};
    dialAccepted();
    conn.StatusTick();
    EXPECT_TRUE(shell.boxes.isEmpty());
}

TEST_F(ConnRasTest, AnnullaWhileDiallingHangsUpAndTheNextTickEndsThePolling) {
    sim.readings = {reading(2)};
    const DialHandle h = dialAccepted();
    conn.StatusTick();
    login.Command2->click();
    EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
    EXPECT_TRUE(label().isEmpty());
    EXPECT_EQ(login.Command2->text(), QStringLiteral("Annulla"));
    EXPECT_TRUE(conn.tickRunning());
    conn.StatusTick();
    EXPECT_EQ(label(), QStringLiteral("Errore non previsto (Cod. 6)."));
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_TRUE(shell.boxes.isEmpty());
}

TEST_F(ConnRasTest, AnnullaWhileConnectedHangsUpAndRestoresTheButton) {
    sim.readings = {reading(ras::Connected)};
    const DialHandle h = dialAccepted();
    conn.StatusTick();
    ASSERT_EQ(login.Command2->text(), QStringLiteral("Disconnetti"));
    login.Command2->click();
    EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
    EXPECT_EQ(login.Command2->text(), QStringLiteral("Annulla"));
    EXPECT_TRUE(label().isEmpty());
    EXPECT_FALSE(conn.tickRunning());
}

TEST_F(ConnRasTest, ARefusedDialIsReportedAndHungUpTwice) {
    sim.dialResult = 623;
    conn.DialConnection(QStringLiteral("Nessuna"), QStringLiteral("mario"), kPassword);
    EXPECT_TRUE(conn.dialInProgress());
    ASSERT_TRUE(sim.answerDial());
    ASSERT_EQ(shell.boxes.size(), 1);
    EXPECT_EQ(shell.boxes[0].title, QStringLiteral("Accesso al Server"));
    EXPECT_EQ(shell.boxes[0].icon, Shell::Icon::Critical);
    EXPECT_EQ(shell.boxes[0].buttons, Shell::Buttons::Ok);
    EXPECT_EQ(shell.boxes[0].text,
              QStringLiteral("Errore di accesso remoto n. 623:\r\nImpossibile trovare la connessione"));
    EXPECT_EQ(sim.hangUps, (QList<DialHandle>{conn.ConnHandle, conn.ConnHandle}));
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Refused);
    EXPECT_EQ(ended, 1);

    sim.dialResult = ras::ErrorPortAlreadyOpen;
    conn.DialConnection(QStringLiteral("Ufficio"), QStringLiteral("mario"), kPassword);
    ASSERT_TRUE(sim.answerDial());
    EXPECT_EQ(shell.boxes.size(), 1);
    EXPECT_EQ(sim.hangUps.size(), 4);
    EXPECT_EQ(ended, 2);
}

TEST_F(ConnRasTest, ValuesOver256CharactersAreRefusedBeforeDialling) {
    const QString fits(256, u'x');
    const QString tooLong(257, u'x');
    conn.DialConnection(tooLong, QStringLiteral("mario"), kPassword);
    conn.DialConnection(QStringLiteral("Ufficio"), tooLong, kPassword);
    conn.DialConnection(QStringLiteral("Ufficio"), QStringLiteral("mario"), tooLong);
    EXPECT_TRUE(sim.dials.isEmpty());
    ASSERT_EQ(shell.boxes.size(), 3);
    for (const FakeShell::Box& box : shell.boxes) {
        EXPECT_EQ(box.title, QStringLiteral("Accesso al Server"));
        EXPECT_EQ(box.icon, Shell::Icon::Critical);
        EXPECT_FALSE(box.text.contains(tooLong));
    }
    EXPECT_TRUE(shell.boxes[0].text.startsWith(QStringLiteral("Nome della connessione troppo lungo")));
    EXPECT_TRUE(shell.boxes[1].text.startsWith(QStringLiteral("Nome utente troppo lungo")));
    EXPECT_TRUE(shell.boxes[2].text.startsWith(QStringLiteral("Password troppo lunga")));
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Refused);
    EXPECT_EQ(ended, 3);

    conn.DialConnection(fits, fits, fits);
    ASSERT_EQ(sim.dials.size(), 1);
    EXPECT_EQ(sim.dials[0].entry, fits);
    EXPECT_EQ(shell.boxes.size(), 3);
}

TEST_F(ConnRasTest, ADialWhilePollingStopsTheEarlierTickAndIgnoresLateAnswers) {
    sim.readings = {reading(2)};
    const DialHandle first = dialAccepted();
    conn.DialConnection(QStringLiteral("Casa"), QStringLiteral("mario"), kPassword);
    const DialHandle second = conn.ConnHandle;
    conn.DialConnection(QStringLiteral("Ufficio"), QStringLiteral("mario"), kPassword);
    const DialHandle third = conn.ConnHandle;
    EXPECT_NE(first, third);
    EXPECT_FALSE(conn.tickRunning());

    ASSERT_TRUE(sim.answerDial()); // the answer to the second request comes late: ignored
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_TRUE(conn.dialInProgress());
    ASSERT_TRUE(sim.answerDial());
    EXPECT_TRUE(conn.tickRunning());
    sim.statusQueries.clear();
    conn.StatusTick();
    EXPECT_EQ(sim.statusQueries, QList<DialHandle>{third});
    EXPECT_NE(second, third);
}

TEST_F(ConnRasTest, ConnettiDialsWithTheLoginFields) {
    login.Text1->setText(QStringLiteral("Ufficio"));
    login.Text2->setText(QStringLiteral("mario"));
    login.Text3->setText(kPassword);
    login.Command1->click();
    ASSERT_EQ(sim.dials.size(), 1);
    EXPECT_EQ(sim.dials[0].entry, QStringLiteral("Ufficio"));
    EXPECT_EQ(sim.dials[0].user, QStringLiteral("mario"));
    EXPECT_EQ(sim.dials[0].password, kPassword);
    EXPECT_EQ(conn.ConnName, QStringLiteral("Ufficio"));
    EXPECT_EQ(conn.ConnUser, QStringLiteral("mario"));
    EXPECT_EQ(conn.ConnPassword, kPassword);
    EXPECT_EQ(conn.ConnHandle, sim.dials[0].handle);

    login.Text1->clear(); // the button passes an empty name on as it is
    login.Command1->click();
    ASSERT_EQ(sim.dials.size(), 2);
    EXPECT_TRUE(sim.dials[1].entry.isEmpty());
}

TEST_F(ConnRasTest, ClosingTheLoginWindowHangsUpTheCurrentConnection) {
    const DialHandle h = dialAccepted();
    login.show();
    login.close();
    EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
}

TEST_F(ConnRasTest, TheTimerDrivesTheTick) {
    sim.answerDialsByThemselves = true;
    sim.readings = {reading(2), reading(ras::Connected)};
    conn.DialConnection(QStringLiteral("Ufficio"), QStringLiteral("mario"), kPassword);
    EXPECT_TRUE(waitUntil([&] { return !conn.dialInProgress(); }));
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Connected);
    EXPECT_EQ(label(), QStringLiteral("Connessione effettuata."));
    EXPECT_EQ(ended, 1);
}

TEST_F(ConnRasTest, ThePasswordIsNeverShownNorLogged) {
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { logged.append(message); });
    sim.dialResult = 691;
    conn.DialConnection(QStringLiteral("Ufficio"), QStringLiteral("mario"), kPassword);
    sim.answerDial();
    sim.dialResult = 0;
    sim.readings = {reading(5, 691)};
    dialAccepted();
    conn.StatusTick();
    conn.DialConnection(QStringLiteral("Ufficio"), QStringLiteral("mario"), kPassword + QString(300, u'x'));
    qInstallMessageHandler(previous);

    EXPECT_EQ(shell.boxes.size(), 2);
    for (const QString& text : shell.texts())
        EXPECT_FALSE(text.contains(kPassword));
    for (const QString& message : logged)
        EXPECT_FALSE(message.contains(kPassword));
    EXPECT_FALSE(label().contains(kPassword));
    EXPECT_EQ(login.Text3->echoMode(), QLineEdit::Password);
}

// Hang-ups at exit.

TEST_F(ConnRasTest, HangUpAllDropsEveryListedConnectionLettingEventsRunBeforeEachAttempt) {
    sim.openConnections = {7, 8, 9};
    sim.hangUpsToDrop[8] = 3;
    conn.HangUpAll(Conn_RAS::kAllConnections);
    EXPECT_EQ(sim.hangUps, (QList<DialHandle>{7, 7, 8, 8, 8, 8, 9, 9}));
    EXPECT_EQ(shell.eventPasses, sim.hangUps.size());
}

TEST_F(ConnRasTest, HangUpAllWithAHandleDropsOnlyThatOne) {
    sim.openConnections = {7, 8, 9};
    conn.HangUpAll(8);
    EXPECT_EQ(sim.hangUps, (QList<DialHandle>{8, 8}));
}

TEST_F(ConnRasTest, HangUpAllGivesUpOnALineAfter1000Attempts) {
    sim.openConnections = {7, 8};
    sim.hangUpsToDrop[7] = SimulatedDialService::kNeverDrops;
    conn.HangUpAll(Conn_RAS::kAllConnections);
    EXPECT_EQ(sim.hangUps.count(7), Conn_RAS::kMaxHangUpAttempts);
    EXPECT_EQ(sim.hangUps.count(8), 2);
}

TEST_F(ConnRasTest, HangUpAllDropsNothingWhenTheListingFailsOrNeverComes) {
    sim.openConnections = {7};
    sim.listingResult = ras::ErrorBufferTooSmall;
    conn.HangUpAll(Conn_RAS::kAllConnections);
    EXPECT_TRUE(sim.hangUps.isEmpty());

    sim.listingResult = 0;
    sim.holdListing = true;
    conn.HangUpAll(Conn_RAS::kAllConnections);
    EXPECT_TRUE(sim.hangUps.isEmpty());
    EXPECT_EQ(sim.pauses, Conn_RAS::kMaxHangUpAttempts);
    EXPECT_TRUE(sim.answerListing()); // answered too late: nothing happens
    EXPECT_TRUE(sim.hangUps.isEmpty());

    // A listing answered while events run is waited for.
    shell.onProcessEvents = [this] { sim.answerListing(); };
    conn.HangUpAll(Conn_RAS::kAllConnections);
    EXPECT_EQ(sim.hangUps, (QList<DialHandle>{7, 7}));
}

TEST_F(ConnRasTest, TheExitQuestionHangsUpOnOkOnly) {
    sim.openConnections = {7};
    shell.answers = {Shell::Answer::Cancel};
    conn.offerHangUpAtExit();
    ASSERT_EQ(shell.boxes.size(), 1);
    EXPECT_EQ(shell.boxes[0].text, QStringLiteral("Vuoi chiudere la connessione Internet (S/N) ?"));
    EXPECT_EQ(shell.boxes[0].title, QStringLiteral("Fine programma"));
    EXPECT_EQ(shell.boxes[0].icon, Shell::Icon::None);
    EXPECT_EQ(shell.boxes[0].buttons, Shell::Buttons::OkCancel);
    EXPECT_EQ(sim.listings, 0);
    EXPECT_TRUE(sim.hangUps.isEmpty());

    shell.answers = {Shell::Answer::Ok};
    conn.offerHangUpAtExit();
    EXPECT_EQ(sim.hangUps, (QList<DialHandle>{7, 7}));
}

} // namespace
