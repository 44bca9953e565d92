#include "nm_mapping.h"

#include "ras_texts.h"

#include <QStringList>

#include <array>

namespace nm {

namespace {

using S = Source;

// Device states and active-connection states give the progress; device and active-connection reasons
// give the error of a link that fell; call errors give the code a dial is refused with.
constexpr std::array kTable = {
    // Active connection: unknown, activating, activated, deactivating, deactivated.
    Mapping{S::ActiveState, 0, nullptr, 0},
    Mapping{S::ActiveState, 1, nullptr, 2},
    Mapping{S::ActiveState, 2, nullptr, ras::Connected},
    Mapping{S::ActiveState, 3, nullptr, KeepLast},
    Mapping{S::ActiveState, 4, nullptr, ras::Disconnected},
    // Device: prepare, config, need auth, ip config, ip check, secondaries, deactivating, failed.
    Mapping{S::DeviceState, 40, nullptr, 1},
    Mapping{S::DeviceState, 50, nullptr, 2},
    Mapping{S::DeviceState, 60, nullptr, 5},
    Mapping{S::DeviceState, 70, nullptr, 14},
    Mapping{S::DeviceState, 80, nullptr, 18},
    Mapping{S::DeviceState, 90, nullptr, 18},
    Mapping{S::DeviceState, 110, nullptr, KeepLast},
    Mapping{S::DeviceState, 120, nullptr, ras::Disconnected},
    // Device reasons.
    Mapping{S::DeviceReason, 5, nullptr, 738},                           // ip config unavailable
    Mapping{S::DeviceReason, 6, nullptr, 716},                           // ip config expired
    Mapping{S::DeviceReason, 7, nullptr, 691},                           // no secrets
    Mapping{S::DeviceReason, 12, nullptr, 734},                          // ppp start failed
    Mapping{S::DeviceReason, 13, nullptr, 629},                          // ppp disconnect
    Mapping{S::DeviceReason, 14, nullptr, 734},                          // ppp failed
    Mapping{S::DeviceReason, 15, nullptr, 738},                          // dhcp start failed
    Mapping{S::DeviceReason, 16, nullptr, 738},                          // dhcp error
    Mapping{S::DeviceReason, 17, nullptr, 738},                          // dhcp failed
    Mapping{S::DeviceReason, 23, nullptr, 676},                          // modem busy
    Mapping{S::DeviceReason, 24, nullptr, 680},                          // no dial tone
    Mapping{S::DeviceReason, 25, nullptr, 679},                          // no carrier
    Mapping{S::DeviceReason, 26, nullptr, 678},                          // dial timeout
    Mapping{S::DeviceReason, 27, nullptr, 651},                          // dial failed
    Mapping{S::DeviceReason, 28, nullptr, 651},                          // modem init failed
    Mapping{S::DeviceReason, 29, nullptr, 651},                          // gsm apn failed
    Mapping{S::DeviceReason, 30, nullptr, 651},                          // gsm registration not searching
    Mapping{S::DeviceReason, 31, nullptr, 651},                          // gsm registration denied
    Mapping{S::DeviceReason, 32, nullptr, 651},                          // gsm registration timeout
    Mapping{S::DeviceReason, 33, nullptr, 651},                          // gsm registration failed
    Mapping{S::DeviceReason, 34, nullptr, 651},                          // gsm pin check failed
    Mapping{S::DeviceReason, 36, nullptr, 630},                          // device removed
    Mapping{S::DeviceReason, 37, nullptr, 628},                          // sleeping
    Mapping{S::DeviceReason, 38, nullptr, 631},                          // connection removed
    Mapping{S::DeviceReason, 39, nullptr, 631},                          // user requested
    Mapping{S::DeviceReason, 40, nullptr, 628},                          // carrier lost
    Mapping{S::DeviceReason, 43, nullptr, ras::ErrorDeviceDoesNotExist}, // modem not found
    Mapping{S::DeviceReason, 44, nullptr, 651},                          // bluetooth failed
    Mapping{S::DeviceReason, 45, nullptr, 651},                          // sim not inserted
    Mapping{S::DeviceReason, 46, nullptr, 651},                          // sim pin required
    Mapping{S::DeviceReason, 47, nullptr, 651},                          // sim puk required
    Mapping{S::DeviceReason, 48, nullptr, 651},                          // sim wrong
    Mapping{S::DeviceReason, 52, nullptr, ras::ErrorDeviceDoesNotExist}, // modem manager unavailable
    Mapping{S::DeviceReason, 57, nullptr, 651},                          // modem failed
    Mapping{S::DeviceReason, 59, nullptr, 651},                          // sim pin incorrect
    // Active-connection reasons.
    Mapping{S::ActiveReason, 2, nullptr, 631},  // user disconnected
    Mapping{S::ActiveReason, 4, nullptr, 628},  // service stopped
    Mapping{S::ActiveReason, 5, nullptr, 738},  // ip config invalid
    Mapping{S::ActiveReason, 6, nullptr, 638},  // connect timeout
    Mapping{S::ActiveReason, 7, nullptr, 638},  // service start timeout
    Mapping{S::ActiveReason, 9, nullptr, 691},  // no secrets
    Mapping{S::ActiveReason, 10, nullptr, 691}, // login failed
    Mapping{S::ActiveReason, 11, nullptr, 631}, // connection removed
    Mapping{S::ActiveReason, 14, nullptr, 630}, // device removed
    // Call errors.
    Mapping{S::CallError, 0, "org.freedesktop.NetworkManager.UnknownConnection",
            ras::ErrorCannotFindPhonebookEntry},
    Mapping{S::CallError, 0, "org.freedesktop.NetworkManager.ConnectionAlreadyActive",
            ras::ErrorPortAlreadyOpen},
    Mapping{S::CallError, 0, "org.freedesktop.NetworkManager.UnknownDevice", ras::ErrorDeviceDoesNotExist},
    Mapping{S::CallError, 0, "org.freedesktop.NetworkManager.ConnectionNotAvailable", 633},
    Mapping{S::CallError, 0, "org.freedesktop.NetworkManager.PermissionDenied", 649},
    Mapping{S::CallError, 0, "org.freedesktop.NetworkManager.Settings.PermissionDenied", 649},
    Mapping{S::CallError, 0, "org.freedesktop.DBus.Error.AccessDenied", 649},
    Mapping{S::CallError, 0, "org.freedesktop.DBus.Error.ServiceUnknown", ras::ErrorNotInitialized},
    Mapping{S::CallError, 0, "org.freedesktop.DBus.Error.NameHasNoOwner", ras::ErrorNotInitialized},
    Mapping{S::CallError, 0, "org.freedesktop.DBus.Error.NoReply", ras::ErrorNotInitialized},
    Mapping{S::CallError, 0, "org.freedesktop.DBus.Error.Timeout", ras::ErrorNotInitialized},
    Mapping{S::CallError, 0, "org.freedesktop.DBus.Error.TimedOut", ras::ErrorNotInitialized},
    Mapping{S::CallError, 0, "org.freedesktop.DBus.Error.Disconnected", ras::ErrorNotInitialized},
    Mapping{S::CallError, 0, "org.freedesktop.DBus.Error.NoServer", ras::ErrorNotInitialized},
};

// Reasons that say nothing: none and unknown.
bool telling(uint reason) {
    return reason > 1;
}

bool falling(uint deviceState) {
    // unmanaged, unavailable, disconnected, deactivating, failed
    return deviceState <= 30 || deviceState >= 110;
}

const QString kType = QStringLiteral("type");

QString profileType(const NmSettings& settings) {
    return settings.value(QStringLiteral("connection")).value(kType).toString();
}

// The setting that holds a profile's user name and password.
QString credentialsSetting(const NmSettings& settings) {
    const QString type = profileType(settings);
    if (type == QStringLiteral("bluetooth")) {
        for (const QString& s : {QStringLiteral("gsm"), QStringLiteral("cdma")})
            if (settings.contains(s))
                return s;
        return QString();
    }
    return isDialUpType(type) ? type : QString();
}

} // namespace

bool isDialUpType(const QString& type) {
    static const QStringList kDialUp = {QStringLiteral("gsm"),       QStringLiteral("cdma"),
                                        QStringLiteral("pppoe"),     QStringLiteral("adsl"),
                                        QStringLiteral("bluetooth"), QStringLiteral("vpn")};
    return kDialUp.contains(type);
}

std::span<const Mapping> mappingTable() {
    return kTable;
}

std::optional<int> mapped(Source source, uint value) {
    for (const Mapping& m : kTable)
        if (m.source == source && m.value == value && source != Source::CallError)
            return m.ras;
    return std::nullopt;
}

int callErrorCode(const QString& errorName) {
    for (const Mapping& m : kTable)
        if (m.source == Source::CallError && errorName == QLatin1String(m.errorName))
            return m.ras;
    return ras::ErrorUnknown;
}

void noteActiveState(LinkFacts& facts, uint state, uint reason) {
    facts.activeState = state;
    if (state >= 3 && telling(reason) && !telling(facts.activeReason))
        facts.activeReason = reason;
}

void noteDeviceState(LinkFacts& facts, uint state, uint reason) {
    facts.deviceState = state;
    if (state == 120)
        facts.deviceFailed = true;
    if (falling(state) && telling(reason) && !telling(facts.deviceReason))
        facts.deviceReason = reason;
}

int failureCode(const LinkFacts& facts) {
    if (facts.secretsRefused)
        return 691;
    if (telling(facts.deviceReason))
        return mapped(Source::DeviceReason, facts.deviceReason).value_or(ras::ErrorUnknown);
    if (telling(facts.activeReason))
        return mapped(Source::ActiveReason, facts.activeReason).value_or(ras::ErrorUnknown);
    return facts.deviceFailed ? ras::ErrorUnknown : 0;
}

DialStatus linkStatus(const LinkFacts& facts, int lastState) {
    const std::optional<int> fromActive = mapped(Source::ActiveState, facts.activeState);
    const std::optional<int> fromDevice =
        facts.deviceState != 0 ? mapped(Source::DeviceState, facts.deviceState) : std::nullopt;
    if (facts.vanished || fromActive == ras::Disconnected || fromDevice == ras::Disconnected)
        return {0, ras::Disconnected, failureCode(facts)};
    if (fromActive == ras::Connected)
        return {0, ras::Connected, 0};
    if (fromActive == KeepLast || fromDevice == KeepLast)
        return {0, lastState, 0};
    if (fromDevice)
        return {0, *fromDevice, 0};
    return {0, fromActive.value_or(lastState), 0};
}

bool isDialProfile(const NmSettings& settings) {
    if (profileType(settings) == QStringLiteral("bluetooth"))
        return settings.value(QStringLiteral("bluetooth")).value(kType).toString() == QStringLiteral("dun");
    return !credentialsSetting(settings).isEmpty();
}

std::optional<NmSettings> credentialsUpdate(const NmSettings& settings, const QString& user,
                                            bool withPassword) {
    const QString setting = credentialsSetting(settings);
    if (setting.isEmpty())
        return std::nullopt;
    NmSettings updated = settings;
    QVariantMap& values = updated[setting];
    bool changed = false;
    const bool vpn = setting == QStringLiteral("vpn");
    const QString userKey = vpn ? QStringLiteral("user-name") : QStringLiteral("username");
    if (!user.isEmpty() && values.value(userKey).toString() != user) {
        values.insert(userKey, user);
        changed = true;
    }
    // A password kept by NetworkManager itself would be used instead of ours: ask the agents.
    constexpr uint kAgentOwned = 0x1, kNotSaved = 0x2, kNotRequired = 0x4;
    const QString flagsKey = QStringLiteral("password-flags");
    const uint flags = values.value(flagsKey).toUInt();
    if (withPassword && !vpn && (flags & (kAgentOwned | kNotSaved | kNotRequired)) == 0) {
        values.insert(flagsKey, QVariant::fromValue(flags | kNotSaved));
        changed = true;
    }
    if (!changed)
        return std::nullopt;
    return updated;
}

NmSettings secretsReply(const QString& settingName, const QString& password) {
    const QString key = QStringLiteral("password");
    if (settingName == QStringLiteral("vpn")) {
        const QMap<QString, QString> secrets{{key, password}};
        return {{settingName, QVariantMap{{QStringLiteral("secrets"), QVariant::fromValue(secrets)}}}};
    }
    return {{settingName, QVariantMap{{key, password}}}};
}

} // namespace nm
