// The NetworkManager dial service and state against tests/fixtures/dialup_nm_mock.py on a private bus.

#include "conn_ras.h"
#include "connection_state.h"
#include "nm_dial_service.h"
#include "ras_texts.h"

#include "support/dialup_bus.h"
#include "support/fake_shell.h"
#include "support/text.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>

// The proxy flag depends on the machine.
bool operator==(const ConnectionInfo& a, const ConnectionInfo& b) {
    const int kinds = ConnectionInfo::Modem | ConnectionInfo::Lan;
    return a.connected == b.connected && (a.flags & kinds) == (b.flags & kinds);
}

std::ostream& operator<<(std::ostream& out, const ConnectionInfo& info) {
    return out << "{" << info.connected << ", " << info.flags << "}";
}

namespace {

const QString kPassword = QStringLiteral("segreta-42");
const QString kManager = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kActive = kManager + QStringLiteral("/ActiveConnection/");

// Dials and waits for the answer, which never comes from inside dial(); the handle and the result.
std::pair<DialHandle, int> dial(DialService& service, const QString& entry) {
    auto result = std::make_shared<std::optional<int>>();
    const DialHandle h = service.dial(entry, S("mario"), kPassword, [result](int r) { *result = r; });
    EXPECT_FALSE(result->has_value()) << "answered from inside dial()";
    EXPECT_TRUE(waitUntil([&] { return result->has_value(); }));
    return {h, result->value_or(-1)};
}

// A service on a connection of its own to the private bus, so nothing carries over between tests; the
// NetworkManager mock runs unless the test stops it.
class NmDialTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { address = startPrivateBus(*(daemon = new QProcess)); }
    static void TearDownTestSuite() {
        stopChild(*daemon);
        delete daemon;
    }
    static inline QProcess* daemon = nullptr;
    static inline QString address;
    void SetUp() override {
        ASSERT_TRUE(startNetworkManagerMock(mock, address)) << "no private bus or no mock on it";
        static int count = 0;
        busName = QStringLiteral("dialup-test-%1").arg(++count);
        bus = QDBusConnection::connectToBus(address, busName);
        service = std::make_unique<NmDialService>(bus);
    }
    void TearDown() override {
        service.reset();
        bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(busName);
        stopChild(mock);
    }
    QString run(const QString& code) { return runMockScript(address, code); }
    QString addProfile(const QString& id, const QString& type, const QString& sections = QString()) {
        return run(S("print(add_profile('%1', '%2'%3))")
                       .arg(id, type, sections.isEmpty() ? QString() : S(", ") + sections));
    }
    QJsonArray calls(const QString& path, const QString& method) {
        return QJsonDocument::fromJson(run(S("calls('%1', '%2')").arg(path, method)).toUtf8()).array();
    }
    QStringList firstArguments(const QString& path, const QString& method) {
        QStringList out;
        for (const QJsonValue& call : calls(path, method))
            out.append(call.toArray()[0].toString());
        return out;
    }
    QString busName;
    QDBusConnection bus{QString()};
    std::unique_ptr<NmDialService> service;
    QProcess mock;
};

TEST_F(NmDialTest, DialsTheDialUpProfileOfThatIdAndFollowsItToActivated) {
    addProfile(S("Ufficio"), S("802-3-ethernet"));
    const QString gsm = addProfile(S("Ufficio"), S("gsm"), S("gsm={'username': 'anna'}"));
    addProfile(S("Altro"), S("gsm"));
    run(S("dial_slowly('ttyUSB0')"));
    const auto [h, result] = dial(*service, S("Ufficio"));
    ASSERT_EQ(result, 0);
    EXPECT_EQ(firstArguments(kManager, S("ActivateConnection")), QStringList{gsm});

    // The user name goes into the profile in memory only, the password nowhere but to the agent.
    const QJsonArray updates = calls(gsm, S("Update2"));
    ASSERT_EQ(updates.size(), 1);
    EXPECT_EQ(updates[0].toArray()[1].toInt(), 0x22);
    EXPECT_EQ(updates[0].toArray()[0].toObject()[S("gsm")].toObject()[S("username")].toString(), S("mario"));
    EXPECT_FALSE(QJsonDocument(updates).toJson().contains(kPassword.toUtf8()));

    const auto reads = [&](int state) {
        waitUntil([&] { return service->status(h).state == state; });
        return service->status(h);
    };
    EXPECT_EQ(reads(2), (DialStatus{0, 2, 0}));
    run(S("emit_device('ttyUSB0', 60)")); // the device's states map as the mapping's own test shows
    EXPECT_EQ(reads(5), (DialStatus{0, 5, 0}));
    run(S("emit_active('Dial', 2, 1)"));
    EXPECT_EQ(reads(ras::Connected), (DialStatus{0, ras::Connected, 0}));
}

TEST_F(NmDialTest, AFinishedDialKeepsNoRecordOnceItsEndIsTold) {
    addProfile(S("Ufficio"), S("gsm"));
    const auto dialOn = [&](const char* device, const char* name) {
        run(QStringLiteral("dial_slowly('%1', '%2')").arg(S(device), S(name)));
        const auto [h, result] = dial(*service, S("Ufficio"));
        EXPECT_EQ(result, 0) << name;
        EXPECT_TRUE(waitUntil([&] { return service->status(h).state == 2; })) << name;
        return h;
    };

    // Falling while dialling: the fall and its cause are read once, then the handle is a hung-up one.
    const DialHandle fell = dialOn("ttyUSB1", "Dial1");
    run(S("emit_device('ttyUSB1', 120, 24)\nemit_active('Dial1', 4, 0)"));
    std::optional<DialStatus> fall;
    EXPECT_TRUE(waitUntil([&] {
        if (const DialStatus s = fall ? *fall : service->status(fell); s.state != 2)
            fall = s;
        return fall.has_value();
    }));
    EXPECT_EQ(fall, (DialStatus{0, ras::Disconnected, 680}));
    EXPECT_EQ(service->records(), 0u);
    EXPECT_EQ(service->hangUp(fell), ras::ErrorInvalidHandle);

    // Connected was read: its later fall is awaited by nobody.
    const DialHandle up = dialOn("ttyUSB2", "Dial2");
    run(S("emit_active('Dial2', 2, 1)"));
    EXPECT_TRUE(waitUntil([&] { return service->status(up).state == ras::Connected; }));
    EXPECT_EQ(service->records(), 1u);
    run(S("emit_active('Dial2', 4, 2)"));
    EXPECT_TRUE(waitUntil([&] { return service->records() == 0; }));

    // Hung up while dialling: gone once NetworkManager has answered the deactivation.
    const DialHandle dropped = dialOn("ttyUSB3", "Dial3");
    EXPECT_EQ(service->hangUp(dropped), 0);
    EXPECT_TRUE(waitUntil([&] { return service->records() == 0; }));
    EXPECT_EQ(firstArguments(kManager, S("DeactivateConnection")), QStringList{kActive + S("Dial3")});
    EXPECT_EQ(service->status(dropped).queryError, ras::ErrorInvalidHandle);
}

TEST_F(NmDialTest, HangingUpAllDropsOnlyDialUpConnections) {
    run(S("for name, ptype in [('Eth', '802-3-ethernet'), ('Wifi', '802-11-wireless'), ('Gsm', 'gsm'),\n"
          "                    ('Pppoe', 'pppoe'), ('Vpn', 'vpn')]:\n"
          "    activate(add_profile(name, ptype), name)\n"
          "activate(add_profile('Dun', 'bluetooth', bluetooth={'type': 'dun'}), 'Dun')\n"
          "activate(add_profile('Pan', 'bluetooth', bluetooth={'type': 'panu'}), 'Pan')\n"));
    FakeShell shell;
    shell.onProcessEvents = [] { QCoreApplication::processEvents(); };
    Conn_RAS conn(shell, *service);
    conn.HangUpAll(Conn_RAS::kAllConnections);
    EXPECT_EQ(
        firstArguments(kManager, S("DeactivateConnection")),
        (QStringList{kActive + S("Gsm"), kActive + S("Pppoe"), kActive + S("Vpn"), kActive + S("Dun")}));
    EXPECT_TRUE(waitUntil([&] { return service->records() == 0; }));
}

TEST_F(NmDialTest, UnknownAndNonDialProfilesAndOneAlreadyUpAreRefused) {
    addProfile(S("Rete"), S("802-3-ethernet"));
    run(S("activate(add_profile('Chiavetta', 'gsm'), 'Gsm')"));
    for (const auto& [entry, code] : {std::pair{"Nessuna", 623}, {"Rete", 623}, {"Chiavetta", 602}}) {
        SCOPED_TRACE(entry);
        const auto [h, result] = dial(*service, S(entry));
        EXPECT_EQ(result, code);
        EXPECT_EQ(service->status(h).queryError, ras::ErrorInvalidHandle);
    }
    EXPECT_EQ(service->records(), 0u);
    EXPECT_TRUE(calls(kManager, S("ActivateConnection")).isEmpty());
}

TEST_F(NmDialTest, WithoutNetworkManagerOrWithoutABusDialsAndListingsAreRefusedWith711) {
    stopChild(mock);
    service = std::make_unique<NmDialService>(bus);
    const QString nowhere = S("dialup-nowhere");
    NmDialService offBus(QDBusConnection::connectToBus(S("unix:path=/nonexistent/dialup-bus"), nowhere));
    for (NmDialService* s : {service.get(), &offBus}) {
        SCOPED_TRACE(s == &offBus ? "without a bus" : "without NetworkManager");
        EXPECT_EQ(dial(*s, S("Ufficio")).second, ras::ErrorNotInitialized);
        auto listing = std::make_shared<std::optional<int>>();
        s->enumerate([listing](int result, const QList<DialHandle>& open) {
            EXPECT_TRUE(open.isEmpty());
            *listing = result;
        });
        EXPECT_TRUE(waitUntil([&] { return listing->has_value(); }));
        EXPECT_EQ(listing->value_or(0), ras::ErrorNotInitialized);
    }
    QDBusConnection::disconnectFromBus(nowhere);
}

TEST_F(NmDialTest, TheConnectionStateFollowsTheGlobalStateAndThePrimaryTypeWithoutAsking) {
    // Read once at construction, then kept from the signals; the mapping itself is dialup_test's.
    run(S("mock(MANAGER).AddProperty(NM, 'PrimaryConnectionType', 'gsm')"));
    NmConnectionState state(bus, S("http://127.0.0.1:9/"));
    const ConnectionInfo modem{true, ConnectionInfo::Modem}, lan{true, ConnectionInfo::Lan};
    EXPECT_EQ(state.query(), modem);

    const std::pair<const char*, ConnectionInfo> steps[] = {
        {"mock().SetGlobalConnectionState(20)", {false, 0}},
        {"emit_global_state(70)", modem}, // the signal alone: the State property still reads 20
        {"mock().SetProperty(MANAGER, NM, 'PrimaryConnectionType', '802-3-ethernet')", lan}};
    for (const auto& [script, expected] : steps) {
        SCOPED_TRACE(script);
        run(S(script));
        EXPECT_TRUE(waitUntil([&] { return state.query() == expected; })) << state.query();
    }

    // NetworkManager stuck: the window still reads the last state told, at once.
    ASSERT_EQ(::kill(static_cast<pid_t>(mock.processId()), SIGSTOP), 0);
    const ConnectionInfo whileStuck = state.query();
    ::kill(static_cast<pid_t>(mock.processId()), SIGCONT);
    EXPECT_EQ(whileStuck, lan);

    // Gone, the interfaces answer; back, it is read again.
    stopChild(mock);
    EXPECT_TRUE(waitUntil([&] { return state.query() == interfaceConnectionState(); }));
    ASSERT_TRUE(startNetworkManagerMock(mock, address));
    EXPECT_TRUE(waitUntil([&] { return state.query() == ConnectionInfo{true, 0}; })) << state.query();
}

} // namespace
