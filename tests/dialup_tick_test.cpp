// The dial-up module through the simulated dial service: the status tick, the login window, its buttons
// and what is refused before dialling. Boxes about the dial open from the event loop.

#include "conn_ras.h"
#include "login_ras.h"
#include "ras_texts.h"
#include "simulated_dial_service.h"

#include "support/fake_shell.h"
#include "support/text.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

const QString kPassword = QStringLiteral("segreta-42");

class ConnRasTest : public ::testing::Test {
protected:
    ConnRasTest() {
        login.attach(&conn);
        QObject::connect(&conn, &Conn_RAS::dialEnded, [this] { ++ended; });
    }

    // Dials "Ufficio" with the given readings; the service accepts and the tick runs.
    DialHandle dialAccepted(std::deque<DialStatus> readings) {
        sim.readings = std::move(readings);
        conn.DialConnection(S("Ufficio"), S("mario"), kPassword);
        EXPECT_TRUE(sim.answerDial());
        EXPECT_TRUE(conn.tickRunning());
        return conn.ConnHandle;
    }
    QString label() const { return login.Label4->text(); }
    // The boxes the module asked for, once the event loop has opened them.
    QStringList boxesShown() {
        QCoreApplication::processEvents();
        return shell.texts();
    }

    FakeShell shell;
    SimulatedDialService sim;
    Login_RAS login;
    Conn_RAS conn{shell, sim};
    int ended = 0;
};

TEST_F(ConnRasTest, ProgressTextsShowOnceUntilAnErrorAbove600EndsTheDial) {
    const DialHandle h = dialAccepted({{0, 0, 0}, {0, 2, 0}, {0, 3, 0}, {0, 7, 0}, {0, 5, 600}, {0, 5, 691}});
    // The text each tick reads, and the label after it when the tick leaves it alone (it is reset to
    // "segno" after each): state 3 repeats the text of 2, state 7 has none, error 600 is not above 600.
    const std::pair<const char*, const char*> ticks[] = {
        {"Apertura della porta seriale in corso...", nullptr},
        {"Chiamata in corso...", nullptr},
        {"Chiamata in corso...", "segno"},
        {"Chiamata in corso...", "segno"},
        {"Controllo accesso in corso...", nullptr},
        {"Autenticazione fallita", nullptr}};
    for (const auto& [last, shown] : ticks) {
        SCOPED_TRACE(last);
        EXPECT_TRUE(conn.dialInProgress());
        conn.StatusTick();
        EXPECT_EQ(conn.LastStatusText, S(last));
        EXPECT_EQ(label(), S(shown ? shown : last));
        login.Label4->setText(S("segno"));
    }
    EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Failed);
    EXPECT_TRUE(boxesShown().isEmpty());
    EXPECT_EQ(ended, 1);
}

TEST_F(ConnRasTest, ConnectedStopsTheTickAndAnnullaHangsUpWhileDiallingAndWhileConnected) {
    for (int state : {2, ras::Connected}) {
        SCOPED_TRACE(state);
        const DialHandle h = dialAccepted({{0, state, 0}});
        sim.hangUps.clear(); // the earlier round's dial, dropped by this one
        conn.StatusTick();
        const bool up = state == ras::Connected;
        EXPECT_EQ(label(), up ? S("Connessione effettuata.") : S("Chiamata in corso..."));
        EXPECT_EQ(login.Command2->text(), up ? S("Disconnetti") : S("Annulla"));
        EXPECT_EQ(conn.tickRunning(), !up);
        EXPECT_EQ(conn.phase(), up ? Conn_RAS::Phase::Connected : Conn_RAS::Phase::Dialling);
        EXPECT_TRUE(sim.hangUps.isEmpty());
        login.Command2->click();
        EXPECT_EQ(sim.hangUps, QList<DialHandle>{h});
        EXPECT_EQ(login.Command2->text(), S("Annulla"));
        EXPECT_TRUE(label().isEmpty());
    }
}

// A refused dial, or Disconnected read by the tick, is boxed from the event loop, except for 602.
TEST_F(ConnRasTest, ARefusalOrAFallIsReportedAfterwardsExceptFor602) {
    struct Case {
        int refusal, fall; // the dial's answer, else the error read with Disconnected
        const char* label;
        const char* box; // nullptr: no box
    };
    const Case cases[] = {
        {623, 0, "", "Errore di accesso remoto n. 623:\r\nImpossibile trovare la connessione"},
        {691, 0, "", "Errore di accesso remoto n. 691:\r\nAutenticazione fallita"},
        {ras::ErrorPortAlreadyOpen, 0, "", nullptr},
        {0, ras::ErrorPortAlreadyOpen, "Porta seriale già aperta", nullptr},
        {0, 678, "Nessuna risposta", "Impossibile effettuare la connessione per Nessuna risposta"},
        {0, 0, "Disconnessione effettuata.",
         "Impossibile effettuare la connessione per Disconnessione effettuata."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.refusal << " / " << c.fall);
        shell.boxes.clear();
        sim.hangUps.clear();
        sim.dialResult = c.refusal;
        sim.readings = {{0, ras::Disconnected, c.fall}};
        conn.DialConnection(S("Ufficio"), S("mario"), kPassword);
        const DialHandle h = conn.ConnHandle;
        EXPECT_TRUE(sim.answerDial());
        if (!c.refusal)
            conn.StatusTick();
        EXPECT_TRUE(shell.boxes.isEmpty()) << "a box opened inside the dial's answer or the tick";
        EXPECT_EQ(label(), S(c.label));
        EXPECT_EQ(boxesShown(), c.box ? QStringList{S(c.box)} : QStringList());
        EXPECT_TRUE(
            !c.box ||
            (shell.boxes.value(0).title == S(c.refusal ? "Accesso al Server" : "Quotazioni Euribor") &&
             shell.boxes.value(0).icon == (c.refusal ? Shell::Icon::Critical : Shell::Icon::None)));
        EXPECT_EQ(sim.hangUps.constLast(), h);
        if (c.refusal) {
            EXPECT_EQ(sim.hangUps, (QList<DialHandle>{h, h}));
            EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Refused);
            EXPECT_FALSE(conn.tickRunning());
            continue;
        }
        // Without an error the tick goes on until the hung-up handle fails the query.
        EXPECT_EQ(conn.tickRunning(), c.fall == 0);
        conn.StatusTick();
        EXPECT_FALSE(conn.tickRunning());
    }
    EXPECT_EQ(label(), S("Errore non previsto (Cod. 6)."));
    EXPECT_EQ(ended, 6);
}

TEST_F(ConnRasTest, TicksWhileTheDisconnectedBoxIsOpenShowNoFurtherBox) {
    dialAccepted({{0, ras::Disconnected, 0}});
    shell.onBox = [&](const FakeShell::Box&) {
        conn.StatusTick();
        QCoreApplication::processEvents();
    };
    conn.StatusTick();
    EXPECT_EQ(boxesShown().size(), 1);
    EXPECT_FALSE(conn.tickRunning());
}

TEST_F(ConnRasTest, AFailedQueryTestsNoState) {
    for (const DialStatus& failed :
         {DialStatus{668, ras::Connected, 0}, DialStatus{6, ras::Disconnected, 0}}) {
        SCOPED_TRACE(failed.queryError);
        const DialHandle h = dialAccepted({failed});
        conn.StatusTick();
        EXPECT_EQ(label(), RasErrorText(failed.queryError));
        EXPECT_EQ(login.Command2->text(), S("Annulla"));
        EXPECT_TRUE(sim.hangUps.contains(h));
        EXPECT_FALSE(conn.tickRunning());
        EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Failed);
    }
    EXPECT_TRUE(boxesShown().isEmpty());
}

TEST_F(ConnRasTest, ASecondDialStopsTheFirstTickAndItsLateAnswerIsIgnored) {
    dialAccepted({{0, 2, 0}});
    conn.DialConnection(S("Casa"), S("mario"), kPassword);
    conn.DialConnection(S("Ufficio"), S("mario"), kPassword);
    const DialHandle third = conn.ConnHandle;
    EXPECT_FALSE(conn.tickRunning());
    EXPECT_EQ(sim.hangUps.size(), 2) << "each replaced dial is dropped";
    ASSERT_TRUE(sim.answerDial()); // the second request's answer
    EXPECT_FALSE(conn.tickRunning());
    ASSERT_TRUE(sim.answerDial());
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
        {fits, fits, tooLong, "Password troppo lunga"}};
    for (const auto& [entry, user, password, box] : cases) {
        conn.DialConnection(entry, user, password);
        EXPECT_TRUE(shell.boxes.constLast().text.startsWith(S(box)) &&
                    shell.boxes.constLast().icon == Shell::Icon::Critical)
            << box;
    }
    EXPECT_TRUE(sim.dials.isEmpty() && shell.boxes.size() == 3);
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Refused);
    EXPECT_EQ(ended, 3);

    conn.DialConnection(fits, fits, fits);
    EXPECT_EQ(sim.dials.size(), 1);
}

TEST_F(ConnRasTest, ConnettiDialsWithTheFieldsAndThePasswordIsNeverShownNorLogged) {
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { logged.append(message); });
    login.Text1->setText(S("Ufficio"));
    login.Text2->setText(S("mario"));
    login.Text3->setText(kPassword);
    sim.dialResult = 691;
    login.Command1->click();
    sim.answerDial();
    QCoreApplication::processEvents();
    sim.dialResult = 0;
    login.Command1->click();
    sim.answerDial();
    sim.readings = {{0, 5, 691}};
    conn.StatusTick();
    login.Text3->setText(kPassword + QString(300, u'x'));
    login.Command1->click();
    qInstallMessageHandler(previous);

    ASSERT_EQ(sim.dials.size(), 2);
    EXPECT_EQ(QStringList({sim.dials[0].entry, sim.dials[0].user, sim.dials[0].password}),
              QStringList({S("Ufficio"), S("mario"), kPassword}));
    EXPECT_EQ(shell.boxes.size(), 2); // the refused dial and the over-long password
    for (const QString& text : shell.texts() + logged + QStringList{label()})
        EXPECT_FALSE(text.contains(kPassword)) << text.toStdString();
    EXPECT_EQ(login.Text3->echoMode(), QLineEdit::Password);
}

} // namespace
