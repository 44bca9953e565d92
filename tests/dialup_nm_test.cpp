// The NetworkManager dial service against python-dbusmock's NetworkManager template, on a private bus
// that this test starts. What the template lacks (Update2, the agent manager, slow or failing
// activations, state signals) is added through the mock's own API by tests/fixtures/dialup_nm_mock.py.

#include "conn_ras.h"
#include "connection_state.h"
#include "login_ras.h"
#include "nm_dial_service.h"
#include "ras_texts.h"

#include "support/dialup_bus.h"
#include "support/fake_shell.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

const QString kPassword = QStringLiteral("segreta-42");

// One private bus for the whole run; the program's "system bus" is pointed at it before first use.
class BusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        bus = std::make_unique<PrivateBus>();
        if (bus->running())
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus->address().toUtf8());
    }
    void TearDown() override { bus.reset(); }
    static inline std::unique_ptr<PrivateBus> bus;
};
[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

QString busAddress() {
    return BusEnvironment::bus ? BusEnvironment::bus->address() : QString();
}

// A connection of its own for each test, so nothing carries over.
QDBusConnection freshConnection(QString& name) {
    static int count = 0;
    name = QStringLiteral("dialup-test-%1").arg(++count);
    return QDBusConnection::connectToBus(busAddress(), name);
}

struct Answer {
    bool given = false;
    int result = -1;
};

class NmDialTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(busAddress().isEmpty()) << "dbus-daemon could not be started";
        mock = std::make_unique<NetworkManagerMock>(busAddress());
        ASSERT_TRUE(mock->ready()) << "python-dbusmock's NetworkManager did not come up";
        mock->run(QStringLiteral("add_agent_manager()"));
        bus = freshConnection(busName);
        service = std::make_unique<NmDialService>(bus);
    }
    void TearDown() override {
        service.reset();
        bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(busName);
        mock.reset();
    }

    // Dials and waits for the service's answer.
    DialHandle dial(const QString& entry, Answer& answer, const QString& user = QStringLiteral("mario")) {
        const DialHandle h = service->dial(entry, user, kPassword, [&answer](int result) {
            answer = {true, result};
        });
        EXPECT_FALSE(answer.given) << "answered from inside dial()";
        EXPECT_TRUE(waitUntil([&] { return answer.given; }));
        return h;
    }
    DialStatus statusOnceItReads(DialHandle h, int state) {
        waitUntil([&] { return service->status(h).state == state; });
        return service->status(h);
    }
    QString addProfile(const QString& id, const QString& type, const QString& sections = QString()) {
        return mock->run(
            QStringLiteral("print(add_profile('%1', '%2'%3))")
                .arg(id, type, sections.isEmpty() ? QString() : QStringLiteral(", ") + sections));
    }
    QJsonArray calls(const QString& path, const QString& method) {
        return QJsonDocument::fromJson(
                   mock->run(QStringLiteral("calls('%1', '%2')").arg(path, method)).toUtf8())
            .array();
    }
    QStringList activeConnections() {
        QStringList out;
        for (const QJsonValue& v :
             QJsonDocument::fromJson(mock->run(QStringLiteral("active_connections()")).toUtf8()).array())
            out.append(v.toString());
        return out;
    }
    // A modem device and an activation that stays "activating" on it until the test moves it on.
    QString slowModem() {
        const QString device = mock->run(QStringLiteral("print(add_device('ttyUSB0'))"));
        mock->run(QStringLiteral("activate_slowly('%1')").arg(device));
        return device;
    }
    // Calls the program's secret agent as NetworkManager would.
    QDBusMessage askSecrets(const QString& profile, uint flags) {
        QString controlName;
        QDBusConnection control = freshConnection(controlName);
        QDBusMessage m = QDBusMessage::createMethodCall(
            bus.baseService(), QStringLiteral("/org/freedesktop/NetworkManager/SecretAgent"),
            QStringLiteral("org.freedesktop.NetworkManager.SecretAgent"), QStringLiteral("GetSecrets"));
        m << QVariant::fromValue(NmSettings{}) << QVariant::fromValue(QDBusObjectPath(profile))
          << QStringLiteral("gsm") << QStringList() << flags;
        QDBusPendingCall call = control.asyncCall(m);
        waitUntil([&] { return call.isFinished(); });
        const QDBusMessage reply = call.reply();
        QDBusConnection::disconnectFromBus(controlName);
        return reply;
    }

    std::unique_ptr<NetworkManagerMock> mock;
    QString busName;
    QDBusConnection bus{QString()};
    std::unique_ptr<NmDialService> service;
    const QString manager = QStringLiteral("/org/freedesktop/NetworkManager");
};

TEST_F(NmDialTest, DialsTheDialUpProfileOfThatIdAndFollowsItToConnected) {
    addProfile(QStringLiteral("Ufficio"), QStringLiteral("802-3-ethernet"));
    const QString gsm = addProfile(QStringLiteral("Ufficio"), QStringLiteral("gsm"),
                                   QStringLiteral("gsm={'username': 'anna'}"));
    addProfile(QStringLiteral("Altro"), QStringLiteral("gsm"));

    Answer answer;
    const DialHandle h = dial(QStringLiteral("Ufficio"), answer);
    EXPECT_EQ(answer.result, 0);
    EXPECT_NE(h, 0u);
    const QJsonArray activations = calls(manager, QStringLiteral("ActivateConnection"));
    ASSERT_EQ(activations.size(), 1);
    EXPECT_EQ(activations[0].toArray()[0].toString(), gsm);
    EXPECT_EQ(statusOnceItReads(h, ras::Connected), (DialStatus{0, ras::Connected, 0}));
    EXPECT_EQ(calls(QStringLiteral("/org/freedesktop/NetworkManager/AgentManager"),
                    QStringLiteral("RegisterWithCapabilities"))
                  .size(),
              1);
}

TEST_F(NmDialTest, TheUserNameGoesIntoTheProfileInMemoryAndThePasswordNowhere) {
    const QString gsm = addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"),
                                   QStringLiteral("gsm={'username': 'anna'}"));
    Answer answer;
    dial(QStringLiteral("Chiavetta"), answer);
    ASSERT_EQ(answer.result, 0);
    const QJsonArray updates = calls(gsm, QStringLiteral("Update2"));
    ASSERT_EQ(updates.size(), 1);
    const QJsonArray args = updates[0].toArray();
    EXPECT_EQ(args[1].toInt(), 0x22); // in memory, no autoconnect
    const QJsonObject section = args[0].toObject().value(QStringLiteral("gsm")).toObject();
    EXPECT_EQ(section.value(QStringLiteral("username")).toString(), QStringLiteral("mario"));
    EXPECT_EQ(section.value(QStringLiteral("password-flags")).toInt(), 2);
    EXPECT_FALSE(section.contains(QStringLiteral("password")));
    EXPECT_FALSE(QJsonDocument(updates).toJson().contains(kPassword.toUtf8()));
    EXPECT_TRUE(calls(gsm, QStringLiteral("Update")).isEmpty());

    // The same user again changes nothing.
    Answer again;
    service->hangUp(1);
    dial(QStringLiteral("Chiavetta"), again);
    EXPECT_EQ(calls(gsm, QStringLiteral("Update2")).size(), 1);
}

TEST_F(NmDialTest, ProgressComesFromTheDeviceSignals) {
    addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));
    const QString device = slowModem();
    Answer answer;
    const DialHandle h = dial(QStringLiteral("Chiavetta"), answer);
    ASSERT_EQ(answer.result, 0);
    EXPECT_EQ(statusOnceItReads(h, 2), (DialStatus{0, 2, 0}));
    const std::initializer_list<std::pair<int, int>> steps = {{40, 1}, {50, 2}, {60, 5}, {70, 14}};
    int old = 100;
    for (const auto& [deviceState, state] : steps) {
        mock->run(QStringLiteral("emit_device('%1', %2, %3, 0)").arg(device).arg(deviceState).arg(old));
        EXPECT_EQ(statusOnceItReads(h, state), (DialStatus{0, state, 0})) << deviceState;
        old = deviceState;
    }
    const QString active = activeConnections().constLast();
    mock->run(QStringLiteral("emit_active('%1', 2, 1)").arg(active));
    EXPECT_EQ(statusOnceItReads(h, ras::Connected), (DialStatus{0, ras::Connected, 0}));
}

TEST_F(NmDialTest, AFailedDeviceGivesItsCauseOnce) {
    addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));
    const QString device = slowModem();
    Answer answer;
    const DialHandle h = dial(QStringLiteral("Chiavetta"), answer);
    ASSERT_EQ(answer.result, 0);
    mock->run(
        QStringLiteral(
            "emit_device('%1', 50, 40, 0)\nemit_device('%1', 120, 50, 25)\nemit_device('%1', 30, 120, 0)")
            .arg(device));
    const QString active = activeConnections().constLast();
    mock->run(QStringLiteral("emit_active('%1', 4, 3)").arg(active));
    EXPECT_EQ(statusOnceItReads(h, ras::Disconnected), (DialStatus{0, ras::Disconnected, 679}));
}

TEST_F(NmDialTest, AConnectionThatVanishesWithoutACauseReadsDisconnected) {
    addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));
    const QString device = slowModem();
    Answer answer;
    const DialHandle h = dial(QStringLiteral("Chiavetta"), answer);
    ASSERT_EQ(answer.result, 0);
    EXPECT_EQ(statusOnceItReads(h, 2), (DialStatus{0, 2, 0}));
    const QString active = activeConnections().constLast();
    mock->run(QStringLiteral("mock().RemoveActiveConnection('%1', '%2')").arg(device, active));
    EXPECT_EQ(statusOnceItReads(h, ras::Disconnected), (DialStatus{0, ras::Disconnected, 0}));
}

TEST_F(NmDialTest, ACauseHeardBeforeTheActivationReplyIsKept) {
    addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));
    const QString device = mock->run(QStringLiteral("print(add_device('ttyUSB0'))"));
    mock->run(QStringLiteral("activate_and_fail('%1', 23)").arg(device));
    Answer answer;
    const DialHandle h = dial(QStringLiteral("Chiavetta"), answer);
    ASSERT_EQ(answer.result, 0);
    EXPECT_EQ(statusOnceItReads(h, ras::Disconnected), (DialStatus{0, ras::Disconnected, 676}));
}

TEST_F(NmDialTest, TheSecretAgentGivesThePasswordOnlyForTheDialAndTakesARefusalAsAuthentication) {
    const QString gsm = addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));
    const QString other = addProfile(QStringLiteral("Altro"), QStringLiteral("gsm"));
    slowModem();
    Answer answer;
    const DialHandle h = dial(QStringLiteral("Chiavetta"), answer);
    ASSERT_EQ(answer.result, 0);

    const QDBusMessage secrets = askSecrets(gsm, 0x1);
    ASSERT_EQ(secrets.type(), QDBusMessage::ReplyMessage) << secrets.errorMessage().toStdString();
    const auto settings = qdbus_cast<NmSettings>(secrets.arguments().constFirst());
    EXPECT_EQ(settings.value(QStringLiteral("gsm")).value(QStringLiteral("password")), kPassword);

    EXPECT_EQ(askSecrets(other, 0x1).errorName(),
              QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.NoSecrets"));

    // Asked again for a new one: the password was refused.
    EXPECT_EQ(askSecrets(gsm, 0x3).type(), QDBusMessage::ErrorMessage);
    const QString active = activeConnections().constLast();
    mock->run(QStringLiteral("emit_active('%1', 4, 1)").arg(active));
    EXPECT_EQ(statusOnceItReads(h, ras::Disconnected), (DialStatus{0, ras::Disconnected, 691}));
    EXPECT_EQ(askSecrets(gsm, 0x1).type(), QDBusMessage::ErrorMessage);
}

TEST_F(NmDialTest, HangingUpDeactivatesAndSpendsTheHandle) {
    addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));
    Answer answer;
    const DialHandle h = dial(QStringLiteral("Chiavetta"), answer);
    ASSERT_EQ(answer.result, 0);
    const QString active = activeConnections().constLast();
    EXPECT_EQ(service->hangUp(h), 0);
    EXPECT_TRUE(waitUntil([&] { return service->hangUp(h) == ras::ErrorInvalidHandle; }));
    const QJsonArray deactivations = calls(manager, QStringLiteral("DeactivateConnection"));
    ASSERT_EQ(deactivations.size(), 1);
    EXPECT_EQ(deactivations[0].toArray()[0].toString(), active);
    EXPECT_EQ(service->status(h).queryError, ras::ErrorInvalidHandle);
}

TEST_F(NmDialTest, HangingUpBeforeTheAnswerDeactivatesWhenItComes) {
    addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));
    Answer answer;
    const DialHandle h =
        service->dial(QStringLiteral("Chiavetta"), QStringLiteral("mario"), kPassword, [&answer](int result) {
            answer = {true, result};
        });
    EXPECT_EQ(service->hangUp(h), 0);
    ASSERT_TRUE(waitUntil([&] { return answer.given; }));
    EXPECT_TRUE(
        waitUntil([&] { return calls(manager, QStringLiteral("DeactivateConnection")).size() == 1; }));
    EXPECT_EQ(service->status(h).queryError, ras::ErrorInvalidHandle);
}

TEST_F(NmDialTest, ExitHangsUpOnlyDialUpConnections) {
    const QString setup = QStringLiteral("eth = add_profile('Rete', '802-3-ethernet')\n"
                                         "activate(eth, 'Eth', 2, [add_device('eth0')])\n"
                                         "activate(add_profile('Casa', '802-11-wireless'), 'Wifi')\n"
                                         "activate(add_profile('Chiavetta', 'gsm'), 'Gsm')\n"
                                         "activate(add_profile('Adsl', 'pppoe'), 'Pppoe')\n"
                                         "activate(add_profile('Lavoro', 'vpn'), 'Vpn')\n");
    mock->run(setup);
    const QString prefix = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/");

    std::optional<QList<DialHandle>> listed;
    service->enumerate([&](int result, const QList<DialHandle>& open) {
        EXPECT_EQ(result, 0);
        listed = open;
    });
    ASSERT_TRUE(waitUntil([&] { return listed.has_value(); }));
    EXPECT_EQ(listed->size(), 3);

    FakeShell shell;
    shell.onProcessEvents = [] { QCoreApplication::processEvents(); };
    Login_RAS login;
    Conn_RAS conn(shell, *service, login);
    shell.answers = {Shell::Answer::Ok};
    conn.offerHangUpAtExit();
    QStringList dropped;
    for (const QJsonValue& call : calls(manager, QStringLiteral("DeactivateConnection")))
        dropped.append(call.toArray()[0].toString());
    EXPECT_EQ(dropped, (QStringList{prefix + QStringLiteral("Gsm"), prefix + QStringLiteral("Pppoe"),
                                    prefix + QStringLiteral("Vpn")}));
    EXPECT_EQ(activeConnections(),
              (QStringList{prefix + QStringLiteral("Eth"), prefix + QStringLiteral("Wifi")}));
}

TEST_F(NmDialTest, RefusedDialsAreReportedWithTheirCodes) {
    addProfile(QStringLiteral("Rete"), QStringLiteral("802-3-ethernet"));
    const QString gsm = addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));

    FakeShell shell;
    Login_RAS login;
    Conn_RAS conn(shell, *service, login);
    const auto dialAndWait = [&](const QString& entry) {
        conn.DialConnection(entry, QStringLiteral("mario"), kPassword);
        EXPECT_TRUE(waitUntil([&] { return !conn.dialInProgress(); }));
    };
    dialAndWait(QStringLiteral("Nessuna"));
    dialAndWait(QStringLiteral("Rete")); // not a dial-up profile
    EXPECT_EQ(shell.texts(),
              QStringList(2, QStringLiteral(
                                 "Errore di accesso remoto n. 623:\r\nImpossibile trovare la connessione")));
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Refused);
    EXPECT_TRUE(calls(manager, QStringLiteral("ActivateConnection")).isEmpty());

    mock->run(QStringLiteral("refuse_activation('org.freedesktop.NetworkManager.UnknownDevice')"));
    dialAndWait(QStringLiteral("Chiavetta"));
    ASSERT_EQ(shell.boxes.size(), 3);
    EXPECT_EQ(shell.boxes[2].text,
              QStringLiteral("Errore di accesso remoto n. 608:\r\nIl dispositivo non esiste"));
    EXPECT_EQ(shell.boxes[2].title, QStringLiteral("Accesso al Server"));

    // A profile already up is the port already open: hung up without a word.
    mock->run(QStringLiteral("activate('%1', 'Gsm')").arg(gsm));
    Answer answer;
    dial(QStringLiteral("Chiavetta"), answer);
    EXPECT_EQ(answer.result, ras::ErrorPortAlreadyOpen);
}

TEST_F(NmDialTest, TheModuleFollowsARealDialToConnectedAndHangsItUp) {
    addProfile(QStringLiteral("Chiavetta"), QStringLiteral("gsm"));
    FakeShell shell;
    Login_RAS login;
    Conn_RAS conn(shell, *service, login);
    conn.DialConnection(QStringLiteral("Chiavetta"), QStringLiteral("mario"), kPassword);
    ASSERT_TRUE(waitUntil([&] { return !conn.dialInProgress(); }));
    EXPECT_EQ(conn.phase(), Conn_RAS::Phase::Connected);
    EXPECT_EQ(login.Label4->text(), QStringLiteral("Connessione effettuata."));
    EXPECT_EQ(login.Command2->text(), QStringLiteral("Disconnetti"));
    EXPECT_TRUE(shell.boxes.isEmpty());

    login.Command2->click();
    EXPECT_TRUE(
        waitUntil([&] { return calls(manager, QStringLiteral("DeactivateConnection")).size() == 1; }));
    EXPECT_EQ(login.Command2->text(), QStringLiteral("Annulla"));
}

TEST_F(NmDialTest, TheFactoryTalksToTheSystemBus) {
    const auto system = createSystemDialService();
    bool given = false;
    int result = -1;
    system->dial(QStringLiteral("Nessuna"), QString(), QString(), [&](int r) {
        given = true;
        result = r;
    });
    ASSERT_TRUE(waitUntil([&] { return given; }));
    EXPECT_EQ(result, ras::ErrorCannotFindPhonebookEntry); // answered by the mock, not "no manager"
}

TEST_F(NmDialTest, TheConnectionStateReadsTheGlobalStateAndThePrimaryType) {
    mock->run(QStringLiteral("mock(MANAGER).AddProperty(NM, 'PrimaryConnectionType', 'gsm')"));
    NmConnectionState state(bus, QStringLiteral("http://127.0.0.1:9/"));
    ConnectionInfo info = state.query();
    EXPECT_TRUE(info.connected);
    EXPECT_TRUE(info.flags & ConnectionInfo::Modem);
    EXPECT_FALSE(info.flags & ConnectionInfo::Lan);

    mock->run(QStringLiteral("mock().SetProperty(MANAGER, NM, 'PrimaryConnectionType', '802-3-ethernet')"));
    info = state.query();
    EXPECT_TRUE(info.flags & ConnectionInfo::Lan);
    EXPECT_FALSE(info.flags & ConnectionInfo::Modem);

    mock->run(QStringLiteral("mock().SetGlobalConnectionState(20)"));
    info = state.query();
    EXPECT_FALSE(info.connected);
    EXPECT_FALSE(info.flags & (ConnectionInfo::Modem | ConnectionInfo::Lan));
}

// No NetworkManager at all.

TEST(NmDialWithoutManager, ADialIsRefusedWith711AndNothingHangs) {
    ASSERT_FALSE(busAddress().isEmpty()) << "dbus-daemon could not be started";
    QString name;
    QDBusConnection bus = freshConnection(name);
    {
        NmDialService service(bus);
        FakeShell shell;
        Login_RAS login;
        Conn_RAS conn(shell, service, login);
        conn.DialConnection(QStringLiteral("Ufficio"), QStringLiteral("mario"), kPassword);
        ASSERT_TRUE(waitUntil([&] { return !conn.dialInProgress(); }));
        EXPECT_EQ(shell.texts(),
                  QStringList{QStringLiteral(
                      "Errore di accesso remoto n. 711:\r\nGestore delle connessione non inizializzato")});
        EXPECT_EQ(service.status(conn.ConnHandle).queryError, ras::ErrorInvalidHandle);

        std::optional<int> listing;
        service.enumerate([&](int result, const QList<DialHandle>& open) {
            EXPECT_TRUE(open.isEmpty());
            listing = result;
        });
        ASSERT_TRUE(waitUntil([&] { return listing.has_value(); }));
        EXPECT_EQ(*listing, ras::ErrorNotInitialized);
    }
    QDBusConnection::disconnectFromBus(name);
}

TEST(NmDialWithoutManager, NoBusAtAllIsRefusedTheSameWay) {
    const QString name = QStringLiteral("dialup-nowhere");
    QDBusConnection nowhere =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/dialup-bus"), name);
    ASSERT_FALSE(nowhere.isConnected());
    {
        NmDialService service(nowhere);
        Answer answer;
        service.dial(QStringLiteral("Ufficio"), QString(), QString(), [&](int r) { answer = {true, r}; });
        EXPECT_FALSE(answer.given);
        ASSERT_TRUE(waitUntil([&] { return answer.given; }));
        EXPECT_EQ(answer.result, ras::ErrorNotInitialized);
    }
    QDBusConnection::disconnectFromBus(name);
}

} // namespace
