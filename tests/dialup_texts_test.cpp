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
    QStringList texts;
    for (int code : {601, 750, 660, 678, 671, 683, 648})
        texts << RasErrorText(code);
    EXPECT_EQ(texts.join(u'|'), S("Porta seriale non valida|Modulo errato|Nessuna risposta|Nessuna risposta|"
                                  "errore nel file INI (DeviceType)|Errore nel file INI (DeviceType)|"
                                  "Password scaduta"));
    for (int code : {724, 725, 726, 732, 733, 734, 735, 736, 737, 738})
        EXPECT_EQ(RasErrorText(code), S(code <= 726 ? "Errore IPX" : "Errore PPP")) << code;
    // Every other code has a text of its own: a shifted, doubled or missing row changes the count.
    QSet<QString> distinct;
    for (int code = 601; code <= 750; ++code)
        distinct.insert(RasErrorText(code));
    EXPECT_EQ(distinct.size(), 135);
}

TEST(RasTexts, StateTableSpecialRows) {
    // Silent states give the empty text, 22 the fallback; 4099 has the full stop error 648 lacks.
    QStringList texts;
    for (int state : {-1, 0, 3, 7, 4098, 22, 4099, 8192, 8193, 8194})
        texts << RasStateText(state);
    EXPECT_EQ(texts.join(u'|'),
              S("Errore. Stato non previsto (Cod. -1).|Apertura della porta seriale in corso...|"
                "Chiamata in corso...|||Errore. Stato non previsto (Cod. 22).|Password scaduta.|"
                "Connessione effettuata.|Disconnessione effettuata.|"
                "Errore. Stato non previsto (Cod. 8194)."));
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
    const std::pair<const char*, int> calls[] = {{"NetworkManager.UnknownConnection", 623},
                                                 {"NetworkManager.ConnectionAlreadyActive", 602},
                                                 {"DBus.Error.ServiceUnknown", 711},
                                                 {"NetworkManager.Failed", 635}};
    for (const auto& [name, code] : calls)
        EXPECT_EQ(nm::callErrorCode(S("org.freedesktop.") + S(name)), code) << name;
    EXPECT_EQ(nm::callErrorCode(QString()), 635);
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

    struct Case {
        uint deviceState, deviceReason, deactivatingReason, deactivatedReason;
        int code;
    };
    // Unmapped reason, reason unknown, carrier lost, plain disconnection; told at deactivating only, or
    // first.
    const Case cases[] = {{120, 7, 0, 0, 691},  {120, 25, 0, 0, 679}, {120, 43, 0, 0, 608},
                          {120, 99, 0, 0, 635}, {120, 1, 0, 0, 635},  {30, 40, 0, 0, 628},
                          {30, 1, 0, 10, 691},  {30, 0, 0, 6, 638},   {30, 0, 0, 0, 0},
                          {30, 0, 9, 0, 691},   {30, 0, 6, 2, 638}};
    for (const Case& c : cases) {
        nm::LinkFacts g = activating();
        nm::noteDeviceState(g, c.deviceState, c.deviceReason);
        nm::noteActiveState(g, 3, c.deactivatingReason);
        nm::noteActiveState(g, 4, c.deactivatedReason);
        EXPECT_EQ(nm::linkStatus(g, 2), (DialStatus{0, ras::Disconnected, c.code}))
            << c.deviceState << " " << c.deviceReason << " " << c.deactivatingReason;
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
