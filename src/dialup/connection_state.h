#pragma once
// The Internet connection state, asked of NetworkManager over D-Bus; where NetworkManager does not
// answer, read off the network interfaces.

#include "services.h"

#include <QDBusConnection>
#include <QString>

// Onto the four flags from NetworkManager's global state and the type of its primary connection.
ConnectionInfo mapNetworkManagerState(uint state, const QString& primaryConnectionType);

// Whether a NetworkManager connection type is a modem-like (dial-up) link.
bool isDialUpConnectionType(const QString& type);

class NmConnectionState : public ConnectionState {
public:
    // The system bus in production; tests pass a private bus. proxyProbeUrl is the address the
    // system proxy is asked about.
    NmConnectionState(QDBusConnection bus, QString proxyProbeUrl);

    ConnectionInfo query() override;

private:
    QDBusConnection m_bus;
    QString m_proxyProbeUrl;
};

// Connected through the LAN when an interface other than loopback is up, running and has an address.
ConnectionInfo interfaceConnectionState();
