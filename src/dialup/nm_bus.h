#pragma once
// NetworkManager's names on the system bus, shared by the connection-state query and the dial service.

#include <QString>

namespace nmbus {

inline QString service() {
    return QStringLiteral("org.freedesktop.NetworkManager");
}
inline QString managerPath() {
    return QStringLiteral("/org/freedesktop/NetworkManager");
}
inline QString managerInterface() {
    return QStringLiteral("org.freedesktop.NetworkManager");
}
inline QString settingsPath() {
    return QStringLiteral("/org/freedesktop/NetworkManager/Settings");
}
inline QString settingsInterface() {
    return QStringLiteral("org.freedesktop.NetworkManager.Settings");
}
inline QString profileInterface() {
    return QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
}
inline QString activeInterface() {
    return QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
}
inline QString deviceInterface() {
    return QStringLiteral("org.freedesktop.NetworkManager.Device");
}
inline QString agentManagerPath() {
    return QStringLiteral("/org/freedesktop/NetworkManager/AgentManager");
}
inline QString agentManagerInterface() {
    return QStringLiteral("org.freedesktop.NetworkManager.AgentManager");
}
inline QString agentPath() {
    return QStringLiteral("/org/freedesktop/NetworkManager/SecretAgent");
}
inline QString agentInterface() {
    return QStringLiteral("org.freedesktop.NetworkManager.SecretAgent");
}
inline QString propertiesInterface() {
    return QStringLiteral("org.freedesktop.DBus.Properties");
}
inline QString objectManagerInterface() {
    return QStringLiteral("org.freedesktop.DBus.ObjectManager");
}

} // namespace nmbus
