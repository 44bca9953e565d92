#pragma once
// What NetworkManager says (states, reasons, call errors) turned into the dial-up state and error
// numbers the texts are written for, and the profile rules of a dial. Pure: the backend feeds it what
// the bus said.

#include "dial_service.h"

#include <QMap>
#include <QString>
#include <QVariantMap>

#include <optional>
#include <span>

// A connection profile's settings, D-Bus type a{sa{sv}}.
using NmSettings = QMap<QString, QVariantMap>;

namespace nm {

// NetworkManager's numbers used by name.
inline constexpr uint ActiveActivating = 1;
inline constexpr uint ActiveDeactivated = 4;
inline constexpr uint SecretsRequestNew = 0x2; // the secrets given last time were refused
inline constexpr uint UpdateInMemory = 0x2;    // Update2: keep the change off the disk
inline constexpr uint UpdateBlockAutoconnect = 0x20;

enum class Source { ActiveState, DeviceState, DeviceReason, ActiveReason, CallError };

// A state that repeats the state read before it (the link is going down, its cause not yet known).
inline constexpr int KeepLast = -1;

struct Mapping {
    Source source;
    uint value;            // NetworkManager's number (0 for call errors)
    const char* errorName; // the D-Bus error name (call errors only)
    int ras;
};

// The one table from NetworkManager onto the dial-up numbers.
std::span<const Mapping> mappingTable();

std::optional<int> mapped(Source source, uint value);
// The code a refused call is reported with; unknown names give "Errore sconosciuto".
int callErrorCode(const QString& errorName);

// What the bus told of one active connection and its device since the dial began.
struct LinkFacts {
    uint activeState = 0;
    uint activeReason = 0; // first telling reason of the connection's fall
    uint deviceState = 0;  // 0: nothing heard from the device
    uint deviceReason = 0; // first telling reason of the device's fall
    bool deviceFailed = false;
    bool secretsRefused = false;
    bool vanished = false; // the active connection object is gone
};

void noteActiveState(LinkFacts& facts, uint state, uint reason);
void noteDeviceState(LinkFacts& facts, uint state, uint reason);
// The error of a link that went down: the device's cause first, then the connection's.
int failureCode(const LinkFacts& facts);
// The reading of a live link; lastState is the state the previous reading gave.
DialStatus linkStatus(const LinkFacts& facts, int lastState);

// The kinds of connection a person dials by name, as the entries of a dial-up phone book were: modems
// (gsm, cdma), PPP over DSL (pppoe, adsl), a phone reached over bluetooth, and vpn. One list for what
// may be dialled, what is hung up at exit and what the connection state reports as a modem link.
bool isDialUpType(const QString& type);
// A profile that may be dialled: one of the dial-up types, bluetooth only as dial-up networking.
bool isDialProfile(const NmSettings& settings);
// The profile with the user name put in and the password left to the agent, when that changes it.
std::optional<NmSettings> credentialsUpdate(const NmSettings& settings, const QString& user,
                                            bool withPassword);
// The secret agent's answer for one setting.
NmSettings secretsReply(const QString& settingName, const QString& password);

} // namespace nm
