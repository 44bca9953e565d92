// The dial-up texts and the NetworkManager mapping: pure functions, tested at their edges.

#include "nm_mapping.h"
#include "ras_texts.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

QString unexpectedError(int code) {
    return QStringLiteral("Errore non previsto (Cod. %1).").arg(code);
}
QString unexpectedState(int state) {
    return QStringLiteral("Errore. Stato non previsto (Cod. %1).").arg(state);
}

TEST(RasErrorText, CoversExactly601To750) {
    EXPECT_EQ(RasErrorText(600), unexpectedError(600));
    EXPECT_EQ(RasErrorText(601), QStringLiteral("Porta seriale non valida"));
    EXPECT_EQ(RasErrorText(750), QStringLiteral("Modulo errato"));
    EXPECT_EQ(RasErrorText(751), unexpectedError(751));
    EXPECT_EQ(RasErrorText(0), unexpectedError(0));
    EXPECT_EQ(RasErrorText(6), QStringLiteral("Errore non previsto (Cod. 6)."));
    EXPECT_EQ(RasErrorText(-3), QStringLiteral("Errore non previsto (Cod. -3)."));
    for (int code = 601; code <= 750; ++code) {
        const QString text = RasErrorText(code);
        EXPECT_FALSE(text.isEmpty()) << code;
        EXPECT_FALSE(text.startsWith(QStringLiteral("Errore non previsto"))) << code;
    }
}

TEST(RasErrorText, SharesTextsOnlyWhereTheTableDoes) {
    const std::initializer_list<std::pair<int, int>> same = {{660, 678}, {670, 682}, {672, 684}, {673, 687},
                                                             {674, 685}, {675, 686}, {688, 689}};
    for (const auto& [a, b] : same)
        EXPECT_EQ(RasErrorText(a), RasErrorText(b)) << a << " " << b;
    for (int code = 724; code <= 726; ++code)
        EXPECT_EQ(RasErrorText(code), QStringLiteral("Errore IPX"));
    for (int code = 732; code <= 738; ++code)
        EXPECT_EQ(RasErrorText(code), QStringLiteral("Errore PPP"));
    EXPECT_EQ(RasErrorText(723), QStringLiteral("Numero telefonico troppo lungo"));
    EXPECT_EQ(RasErrorText(727), QStringLiteral("Errore nell'accesso a TCPCFG.DLL"));
    EXPECT_EQ(RasErrorText(731), QStringLiteral("Protocollo non configurato"));
    EXPECT_EQ(RasErrorText(739), QStringLiteral("Impossibile usare le credenziali di logon"));
    // Every other code has a text of its own: a shifted or doubled row shows up here.
    QSet<QString> distinct;
    for (int code = 601; code <= 750; ++code)
        distinct.insert(RasErrorText(code));
    EXPECT_EQ(distinct.size(), 135);
}

TEST(RasErrorText, KeepsTheTableSpellingAndCase) {
    EXPECT_EQ(RasErrorText(671), QStringLiteral("errore nel file INI (DeviceType)"));
    EXPECT_EQ(RasErrorText(683), QStringLiteral("Errore nel file INI (DeviceType)"));
    EXPECT_EQ(RasErrorText(648), QStringLiteral("Password scaduta"));
    EXPECT_EQ(RasErrorText(602), QStringLiteral("Porta seriale già aperta"));
    EXPECT_EQ(RasErrorText(605), QStringLiteral("Imposibile impostare la porta seriale"));
    EXPECT_EQ(RasErrorText(631), QStringLiteral("Disconnessione richiesta dall'utente"));
    EXPECT_EQ(RasErrorText(647), QStringLiteral("Account non più abilitato"));
    EXPECT_EQ(RasErrorText(701), QStringLiteral("Velocità non supportata"));
    EXPECT_EQ(RasErrorText(703), QStringLiteral("Modalità interattiva"));
    EXPECT_EQ(RasErrorText(711), QStringLiteral("Gestore delle connessione non inizializzato"));
    EXPECT_EQ(RasErrorText(691), QStringLiteral("Autenticazione fallita"));
    EXPECT_EQ(RasErrorText(623), QStringLiteral("Impossibile trovare la connessione"));
}

TEST(RasStateText, ProgressTextsAndTheirNeighbours) {
    EXPECT_EQ(RasStateText(-1), unexpectedState(-1));
    EXPECT_EQ(RasStateText(0), QStringLiteral("Apertura della porta seriale in corso..."));
    EXPECT_EQ(RasStateText(1), QStringLiteral("Porta seriale aperta."));
    EXPECT_EQ(RasStateText(2), QStringLiteral("Chiamata in corso..."));
    EXPECT_EQ(RasStateText(3), QStringLiteral("Chiamata in corso..."));
    EXPECT_EQ(RasStateText(4), QStringLiteral("Modem rilevato."));
    EXPECT_EQ(RasStateText(5), QStringLiteral("Controllo accesso in corso..."));
    EXPECT_EQ(RasStateText(14), QStringLiteral("Accesso convalidato"));
    EXPECT_EQ(RasStateText(19), QStringLiteral("Accesso al server in corso..."));
    EXPECT_EQ(RasStateText(21), QStringLiteral("Accesso alla rete in corso..."));
    EXPECT_EQ(RasStateText(22), unexpectedState(22));
    EXPECT_EQ(RasStateText(23), unexpectedState(23));
    EXPECT_EQ(RasStateText(599), unexpectedState(599));
    EXPECT_EQ(RasStateText(601), unexpectedState(601));
    EXPECT_EQ(RasStateText(4095), unexpectedState(4095));
    EXPECT_EQ(RasStateText(4099), QStringLiteral("Password scaduta."));
    EXPECT_EQ(RasStateText(4100), unexpectedState(4100));
    EXPECT_EQ(RasStateText(8191), unexpectedState(8191));
    EXPECT_EQ(RasStateText(8192), QStringLiteral("Connessione effettuata."));
    EXPECT_EQ(RasStateText(8193), QStringLiteral("Disconnessione effettuata."));
    EXPECT_EQ(RasStateText(8194), unexpectedState(8194));
}

TEST(RasStateText, SilentStatesGiveTheEmptyText) {
    for (int state : {6, 7, 13, 15, 18, 20, 600, 4096, 4098})
        EXPECT_TRUE(RasStateText(state).isEmpty()) << state;
    // Empty means empty, not a null look-alike with blanks.
    EXPECT_EQ(RasStateText(7), QString());
}

// The NetworkManager mapping.

TEST(NmMapping, TableHasOneRowPerNumber) {
    QSet<QString> keys;
    for (const nm::Mapping& m : nm::mappingTable()) {
        const QString key = QString::number(static_cast<int>(m.source)) + u':' + QString::number(m.value) +
                            u':' + QLatin1String(m.errorName ? m.errorName : "");
        EXPECT_FALSE(keys.contains(key)) << key.toStdString();
        keys.insert(key);
        // Every error the table gives has a text of its own.
        const bool error = m.source == nm::Source::DeviceReason || m.source == nm::Source::ActiveReason ||
                           m.source == nm::Source::CallError;
        if (error) {
            EXPECT_FALSE(RasErrorText(m.ras).startsWith(QStringLiteral("Errore non previsto")))
                << key.toStdString();
        }
    }
}

TEST(NmMapping, CallErrorsOfARefusedDial) {
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.NetworkManager.UnknownConnection")), 623);
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.NetworkManager.UnknownDevice")), 608);
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.NetworkManager.ConnectionNotAvailable")),
              633);
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.NetworkManager.PermissionDenied")), 649);
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.NetworkManager.ConnectionAlreadyActive")),
              602);
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown")), 711);
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.DBus.Error.NoReply")), 711);
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.DBus.Error.Disconnected")), 711);
    EXPECT_EQ(nm::callErrorCode(QStringLiteral("org.freedesktop.NetworkManager.Failed")), 635);
    EXPECT_EQ(nm::callErrorCode(QString()), 635);
}

nm::LinkFacts activating() {
    nm::LinkFacts f;
    f.activeState = 1;
    return f;
}

TEST(NmMapping, ProgressOfAModemDial) {
    nm::LinkFacts f = activating();
    EXPECT_EQ(nm::linkStatus(f, 0), (DialStatus{0, 2, 0})); // no device yet
    const std::initializer_list<std::pair<uint, int>> steps = {{40, 1},  {50, 2},  {60, 5},
                                                               {70, 14}, {80, 18}, {90, 18}};
    for (const auto& [device, state] : steps) {
        nm::noteDeviceState(f, device, 0);
        EXPECT_EQ(nm::linkStatus(f, 0), (DialStatus{0, state, 0})) << device;
    }
    nm::noteActiveState(f, 2, 1);
    EXPECT_EQ(nm::linkStatus(f, 18), (DialStatus{0, 8192, 0}));
}

TEST(NmMapping, GoingDownRepeatsTheLastStateUntilItIsDown) {
    nm::LinkFacts f = activating();
    nm::noteDeviceState(f, 60, 0);
    nm::noteActiveState(f, 3, 2);
    EXPECT_EQ(nm::linkStatus(f, 5), (DialStatus{0, 5, 0}));
    nm::noteActiveState(f, 4, 2);
    EXPECT_EQ(nm::linkStatus(f, 5), (DialStatus{0, 8193, 631}));
}

TEST(NmMapping, TheDeviceCauseWinsAndIsKeptOnceKnown) {
    nm::LinkFacts f = activating();
    nm::noteDeviceState(f, 50, 0);
    nm::noteDeviceState(f, 120, 24); // no dial tone
    EXPECT_EQ(nm::linkStatus(f, 2), (DialStatus{0, 8193, 680}));
    nm::noteDeviceState(f, 30, 0); // later it settles with no reason
    nm::noteActiveState(f, 4, 3);  // and the connection blames the device
    EXPECT_EQ(nm::linkStatus(f, 8193), (DialStatus{0, 8193, 680}));

    const std::initializer_list<std::pair<uint, int>> causes = {{7, 691},  {23, 676}, {25, 679}, {26, 678},
                                                                {27, 651}, {34, 651}, {43, 608}, {36, 630},
                                                                {13, 629}, {14, 734}, {99, 635}};
    for (const auto& [reason, code] : causes) {
        nm::LinkFacts g = activating();
        nm::noteDeviceState(g, 120, reason);
        EXPECT_EQ(nm::failureCode(g), code) << reason;
    }
}

TEST(NmMapping, ConnectionReasonsWhenTheDeviceSaysNothing) {
    const std::initializer_list<std::pair<uint, int>> causes = {{9, 691}, {10, 691}, {2, 631},
                                                                {4, 628}, {6, 638},  {3, 635}};
    for (const auto& [reason, code] : causes) {
        nm::LinkFacts f = activating();
        nm::noteDeviceState(f, 30, 1); // "unknown" tells nothing
        nm::noteActiveState(f, 4, reason);
        EXPECT_EQ(nm::linkStatus(f, 2), (DialStatus{0, 8193, code})) << reason;
    }
    // Gone without any cause: a plain disconnection.
    nm::LinkFacts gone = activating();
    gone.vanished = true;
    EXPECT_EQ(nm::linkStatus(gone, 2), (DialStatus{0, 8193, 0}));
    // A device that failed without a telling reason still failed.
    nm::LinkFacts failed = activating();
    nm::noteDeviceState(failed, 120, 1);
    EXPECT_EQ(nm::failureCode(failed), 635);
}

TEST(NmMapping, ARefusedPasswordIsAnAuthenticationFailure) {
    nm::LinkFacts f = activating();
    f.secretsRefused = true;
    nm::noteDeviceState(f, 120, 14); // ppp failed, because of the password
    EXPECT_EQ(nm::linkStatus(f, 5), (DialStatus{0, 8193, 691}));
}

NmSettings profile(const QString& type) {
    return {{QStringLiteral("connection"),
             {{QStringLiteral("id"), QStringLiteral("Ufficio")}, {QStringLiteral("type"), type}}}};
}

TEST(NmProfiles, OnlyDialUpKindsAreDialled) {
    for (const char* type : {"gsm", "cdma", "pppoe", "adsl", "vpn"})
        EXPECT_TRUE(nm::isDialProfile(profile(QLatin1String(type)))) << type;
    for (const char* type : {"802-3-ethernet", "802-11-wireless", "bridge", "bluetooth", ""})
        EXPECT_FALSE(nm::isDialProfile(profile(QLatin1String(type)))) << type;
    NmSettings dun = profile(QStringLiteral("bluetooth"));
    dun[QStringLiteral("bluetooth")][QStringLiteral("type")] = QStringLiteral("dun");
    EXPECT_TRUE(nm::isDialProfile(dun));
    NmSettings pan = profile(QStringLiteral("bluetooth"));
    pan[QStringLiteral("bluetooth")][QStringLiteral("type")] = QStringLiteral("panu");
    EXPECT_FALSE(nm::isDialProfile(pan));

    EXPECT_TRUE(nm::isDialUpLinkType(QStringLiteral("gsm")));
    EXPECT_TRUE(nm::isDialUpLinkType(QStringLiteral("vpn")));
    EXPECT_FALSE(nm::isDialUpLinkType(QStringLiteral("802-3-ethernet")));
    EXPECT_FALSE(nm::isDialUpLinkType(QStringLiteral("802-11-wireless")));
    EXPECT_FALSE(nm::isDialUpLinkType(QStringLiteral("vlan")));
}

TEST(NmProfiles, CredentialsGoIntoTheProfileOnlyWhenTheyChangeIt) {
    NmSettings gsm = profile(QStringLiteral("gsm"));
    gsm[QStringLiteral("gsm")] = {{QStringLiteral("username"), QStringLiteral("mario")},
                                  {QStringLiteral("password-flags"), 1u}};
    EXPECT_FALSE(nm::credentialsUpdate(gsm, QStringLiteral("mario"), true));
    EXPECT_FALSE(nm::credentialsUpdate(gsm, QString(), true)); // no user name: the profile's stays

    const auto renamed = nm::credentialsUpdate(gsm, QStringLiteral("luigi"), true);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->value(QStringLiteral("gsm")).value(QStringLiteral("username")),
              QStringLiteral("luigi"));
    EXPECT_EQ(renamed->value(QStringLiteral("connection")), gsm.value(QStringLiteral("connection")));
    EXPECT_FALSE(renamed->value(QStringLiteral("gsm")).contains(QStringLiteral("password")));

    // A password NetworkManager keeps itself would be used instead of ours: it is left to the agents.
    NmSettings pppoe = profile(QStringLiteral("pppoe"));
    pppoe[QStringLiteral("pppoe")] = {{QStringLiteral("username"), QStringLiteral("mario")}};
    const auto asked = nm::credentialsUpdate(pppoe, QStringLiteral("mario"), true);
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->value(QStringLiteral("pppoe")).value(QStringLiteral("password-flags")).toUInt(), 2u);
    EXPECT_FALSE(asked->value(QStringLiteral("pppoe")).contains(QStringLiteral("password")));
    EXPECT_FALSE(nm::credentialsUpdate(pppoe, QStringLiteral("mario"), false));

    const auto vpn = nm::credentialsUpdate(profile(QStringLiteral("vpn")), QStringLiteral("mario"), true);
    ASSERT_TRUE(vpn);
    EXPECT_EQ(vpn->value(QStringLiteral("vpn")).value(QStringLiteral("user-name")), QStringLiteral("mario"));
    EXPECT_FALSE(
        nm::credentialsUpdate(profile(QStringLiteral("802-3-ethernet")), QStringLiteral("mario"), true));
}

TEST(NmProfiles, SecretsAnswerTheSettingAsked) {
    const NmSettings gsm = nm::secretsReply(QStringLiteral("gsm"), QStringLiteral("segreta"));
    EXPECT_EQ(gsm.value(QStringLiteral("gsm")).value(QStringLiteral("password")), QStringLiteral("segreta"));
    const NmSettings vpn = nm::secretsReply(QStringLiteral("vpn"), QStringLiteral("segreta"));
    const auto secrets =
        vpn.value(QStringLiteral("vpn")).value(QStringLiteral("secrets")).value<QMap<QString, QString>>();
    EXPECT_EQ(secrets.value(QStringLiteral("password")), QStringLiteral("segreta"));
}

} // namespace
