// The main window and the login window with the dial-up module.

#include "conn_ras.h"
#include "ras_texts.h"
#include "simulated_dial_service.h"

#include "support/text.h"
#include "support/window_fixture.h"

#include <QCoreApplication>

class DialWindowTest : public WindowTest {
protected:
    DialWindowTest() {
        context.dialup = &dialup;
        login.attach(&dialup);
        login.Text1->setText(S("Ufficio"));
        login.Text2->setText(S("mario"));
        login.Text3->setText(S("segreta"));
        connection.info = {false, 0};
    }
    SimulatedDialService sim;
    Conn_RAS dialup{shell, sim};
};

TEST_F(DialWindowTest, AnOfflineLoadDialsOnceAndGoesOnWhenRefusedOrConnected) {
    shell.onProcessEvents = [&] {
        if (sim.answerDial() && sim.dialResult == 0)
            dialup.StatusTick();
        QCoreApplication::processEvents();
        if (dialup.phase() == Conn_RAS::Phase::Connected)
            connection.info = {true, ConnectionInfo::Modem};
    };
    sim.dialResult = 623;
    form1& w = loaded();
    EXPECT_EQ(shell.texts(),
              QStringList{S("Errore di accesso remoto n. 623:\r\nImpossibile trovare la connessione")});
    EXPECT_EQ(w.Label6->text(), S("Not Connected to the Internet"));
    EXPECT_LT(shell.waits, 600) << "the refusal ends the wait";
    sim.dialResult = 0;
    sim.readings = {{0, ras::Connected, 0}};
    form1& v = reloaded();
    ASSERT_EQ(sim.dials.size(), 2);
    EXPECT_EQ(QStringList({sim.dials[1].entry, sim.dials[1].user, sim.dials[1].password, v.Label6->text(),
                           login.Label4->text()}),
              QStringList({S("Ufficio"), S("mario"), S("segreta"), S("Connection Via Modem"),
                           S("Connessione effettuata.")}));
    EXPECT_TRUE(shell.boxes.isEmpty() && !shell.busy);
}

TEST_F(DialWindowTest, ADialThatNeverConnectsIsWaitedForABoundedTimeAndNoneWhenConnectedOrUnnamed) {
    form1& w = loaded();
    EXPECT_TRUE(sim.dials.size() == 1 && shell.waits == 600 && !shell.busy);
    EXPECT_EQ(w.Combo1->currentText(), S("EuRibor 3m"));
    connection.info = {true, ConnectionInfo::Lan};
    reloaded();
    connection.info = {false, 0};
    login.Text1->setText(S(" Ufficio"));
    reloaded();
    EXPECT_TRUE(sim.dials.size() == 1 && shell.waits == 600);
}

TEST_F(DialWindowTest, ClosingAsksAndHangsUpDialUpConnectionsOnlyOnOk) {
    sim.openConnections = {7, 9};
    connection.info = {true, ConnectionInfo::Lan};
    form1& w = loaded();
    shell.answers = {Shell::Answer::Cancel};
    w.Form_Unload();
    EXPECT_TRUE(shell.ended);
    ASSERT_EQ(shell.boxes.size(), 1);
    EXPECT_EQ(shell.boxes[0].title + u'|' + shell.boxes[0].text,
              S("Fine programma|Vuoi chiudere la connessione Internet (S/N) ?"));
    EXPECT_TRUE(shell.boxes[0].buttons == Shell::Buttons::OkCancel && sim.hangUps.isEmpty());
    w.Form_Unload(); // a second close while the first one runs
    EXPECT_EQ(shell.boxes.size(), 1);
    reloaded();
    shell.answers = {Shell::Answer::Ok};
    form->Form_Unload();
    EXPECT_TRUE(sim.hangUps.contains(7) && sim.hangUps.contains(9));
    EXPECT_TRUE(shell.ended);
}

TEST_F(DialWindowTest, TheLoginWindowDialsWithItsFieldsFollowsTheDialAndNeverShowsThePassword) {
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { logged.append(message); });
    sim.dialResult = 691;
    login.Command1->click();
    sim.answerDial();
    QCoreApplication::processEvents();
    sim.dialResult = 0;
    sim.readings = {{0, ras::Connected, 0}};
    login.Command1->click();
    sim.answerDial();
    dialup.StatusTick();
    EXPECT_EQ(login.Label4->text() + u'|' + login.Command2->text(), S("Connessione effettuata.|Disconnetti"));
    login.Command2->click();
    EXPECT_TRUE(sim.hangUps.contains(dialup.ConnHandle));
    EXPECT_EQ(login.Label4->text() + u'|' + login.Command2->text(), S("|Annulla"));
    login.Text3->setText(S("segreta") + QString(300, u'x'));
    login.Command1->click();
    qInstallMessageHandler(previous);

    EXPECT_EQ(sim.dials.size(), 2);
    EXPECT_EQ(QStringList({sim.dials.value(1).entry, sim.dials.value(1).user, sim.dials.value(1).password}),
              QStringList({S("Ufficio"), S("mario"), S("segreta")}));
    EXPECT_EQ(shell.boxes.size(), 2); // the refused dial and the over-long password
    for (const QString& text : shell.texts() + logged + QStringList{login.Label4->text()})
        EXPECT_FALSE(text.contains(S("segreta"))) << text.toStdString();
    EXPECT_EQ(login.Text3->echoMode(), QLineEdit::Password);
}
