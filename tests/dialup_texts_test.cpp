// The dial-up texts and the NetworkManager mapping: pure tables, tested at their edges and odd rows.

#include "nm_mapping.h"
#include "ras_texts.h"
#include "support/text.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

TEST(RasTexts, ErrorTableEdgesAndSharedRows) {
    for (int code : {-3, 0, 600, 751})
        EXPECT_EQ(RasErrorText(code), QStringLiteral("Errore non previsto (Cod. %1).").arg(code));
    // 660 and 678 share a text; 671 differs from 683 only in its case.
    const std::pair<int, const char*> rows[] = {{601, "Porta seriale non valida"},
                                                {750, "Modulo errato"},
                                                {660, "Nessuna risposta"},
                                                {678, "Nessuna risposta"},
                                                {671, "errore nel file INI (DeviceType)"},
                                                {683, "Errore nel file INI (DeviceType)"},
                                                {723, "Numero telefonico troppo lungo"},
                                                {727, "Errore nell'accesso a TCPCFG.DLL"},
                                                {731, "Protocollo non configurato"},
                                                {739, "Impossibile usare le credenziali di logon"}};
    for (const auto& [code, text] : rows)
        EXPECT_EQ(RasErrorText(code), S(text)) << code;
    for (int code = 724; code <= 726; ++code)
        EXPECT_EQ(RasErrorText(code), S("Errore IPX")) << code;
    for (int code = 732; code <= 738; ++code)
        EXPECT_EQ(RasErrorText(code), S("Errore PPP")) << code;
    // Every other code has a text of its own: a shifted, doubled or missing row changes the count.
    QSet<QString> distinct;
    for (int code = 601; code <= 750; ++code)
        distinct.insert(RasErrorText(code));
    EXPECT_EQ(distinct.size(), 135);
}

TEST(RasTexts, StateTableSpecialRows) {
    const auto unexpected = [](int state) {
        return QStringLiteral("Errore. Stato non previsto (Cod. %1).").arg(state);
    };
    // Silent states give the empty text, 22 the fallback; 4099 has the full stop error 648 lacks.
    const std::pair<int, QString> rows[] = {{-1, unexpected(-1)},
                                            {0, S("Apertura della porta seriale in corso...")},
                                            {3, S("Chiamata in corso...")},
                                            {7, QString()},
                                            {4098, QString()},
                                            {22, unexpected(22)},
                                            {4099, S("Password scaduta.")},
                                            {8192, S("Connessione effettuata.")},
                                            {8193, S("Disconnessione effettuata.")},
                                            {8194, unexpected(8194)}};
    for (const auto& [state, text] : rows)
        EXPECT_EQ(RasStateText(state), text) << state;
    EXPECT_EQ(RasErrorText(648), S("Password scaduta"));
}

TEST(NmMapping, EveryRowIsUniqueAndEveryErrorHasAText) {
    QSet<QString> keys;
    for (const nm::Mapping& m : nm::mappingTable()) {
        const QString key = QStringLiteral("%1:%2:%3")
                                .arg(static_cast<int>(m.source))
                                .arg(m.value)
                                .arg(QLatin1String(m.errorName ? m.errorName : ""));
        EXPECT_FALSE(keys.contains(key)) << key.toStdString();
        keys.insert(key);
        const bool error = m.source != nm::Source::ActiveState && m.source != nm::Source::DeviceState;
        EXPECT_FALSE(error && RasErrorText(m.ras).startsWith(S("Errore non previsto"))) << key.toStdString();
    }
    const std::pair<const char*, int> calls[] = {
        {"org.freedesktop.NetworkManager.UnknownConnection", 623},
        {"org.freedesktop.NetworkManager.ConnectionAlreadyActive", 602},
        {"org.freedesktop.DBus.Error.ServiceUnknown", 711},
        {"org.freedesktop.NetworkManager.Failed", 635},
        {"", 635}};
    for (const auto& [name, code] : calls)
        EXPECT_EQ(nm::callErrorCode(S(name)), code) << name;
}

nm::LinkFacts activating() {
    nm::LinkFacts f;
    f.activeState = nm::ActiveActivating;
    return f;
}

TEST(NmMapping, ProgressOfADialAndItsGoingDown) {
    nm::LinkFacts f = activating();
    EXPECT_EQ(nm::linkStatus(f, 0), (DialStatus{0, 2, 0})); // nothing heard from the device yet
    for (const auto& [device, state] : {std::pair{40u, 1}, {50u, 2}, {60u, 5}, {70u, 14}, {90u, 18}}) {
        nm::noteDeviceState(f, device, 0);
        EXPECT_EQ(nm::linkStatus(f, 0), (DialStatus{0, state, 0})) << device;
    }
    nm::noteActiveState(f, 2, 1);
    EXPECT_EQ(nm::linkStatus(f, 18), (DialStatus{0, ras::Connected, 0}));
    // Deactivating repeats the state read before until the cause is known.
    nm::noteActiveState(f, 3, 2);
    EXPECT_EQ(nm::linkStatus(f, 5), (DialStatus{0, 5, 0}));
    nm::noteActiveState(f, 4, 2);
    EXPECT_EQ(nm::linkStatus(f, 5), (DialStatus{0, ras::Disconnected, 631}));
}

TEST(NmMapping, TheCauseOfAFall) {
    // The device's first telling reason wins over what follows and over the connection's.
    nm::LinkFacts f = activating();
    nm::noteDeviceState(f, 120, 24); // no dial tone
    nm::noteDeviceState(f, 30, 36);
    nm::noteActiveState(f, 4, 9);
    EXPECT_EQ(nm::linkStatus(f, 2), (DialStatus{0, ras::Disconnected, 680}));

    // The connection goes deactivating, then deactivated, each step with its reason.
    struct Case {
        uint deviceState, deviceReason, deactivatingReason, deactivatedReason;
        int code;
    };
    const Case cases[] = {
        {120, 7, 0, 0, 691},  {120, 25, 0, 0, 679}, {120, 43, 0, 0, 608},
        {120, 99, 0, 0, 635},                                         // unmapped reason
        {120, 1, 0, 0, 635},                                          // failed, reason unknown
        {30, 40, 0, 0, 628},                                          // disconnected, carrier lost
        {30, 1, 0, 10, 691},  {30, 0, 0, 6, 638},   {30, 0, 0, 0, 0}, // plain disconnection
        {30, 0, 9, 0, 691},   {30, 0, 6, 2, 638},                     // told at deactivating only, or first
    };
    for (const Case& c : cases) {
        nm::LinkFacts g = activating();
        nm::noteDeviceState(g, c.deviceState, c.deviceReason);
        nm::noteActiveState(g, 3, c.deactivatingReason);
        nm::noteActiveState(g, 4, c.deactivatedReason);
        EXPECT_EQ(nm::linkStatus(g, 2), (DialStatus{0, ras::Disconnected, c.code}))
            << c.deviceState << " " << c.deviceReason << " " << c.deactivatingReason << " "
            << c.deactivatedReason;
    }
    nm::LinkFacts refused = activating();
    refused.secretsRefused = true;
    nm::noteDeviceState(refused, 120, 14); // ppp failed, because the password was refused
    EXPECT_EQ(nm::failureCode(refused), 691);
    nm::LinkFacts gone = activating();
    gone.vanished = true;
    EXPECT_EQ(nm::linkStatus(gone, 2), (DialStatus{0, ras::Disconnected, 0}));
}

} // namespace
