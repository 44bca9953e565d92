#pragma once
// The Internet connection state as NetworkManager last told it over D-Bus; where NetworkManager is not
// on the bus, read off the network interfaces.

#include "services.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class QDBusMessage;

// Onto the four flags from NetworkManager's global state and the type of its primary connection.
ConnectionInfo mapNetworkManagerState(uint state, const QString& primaryConnectionType);

// The window asks on every pass of its wait for a dial, so query() never calls the bus: the state and
// the primary connection's type are read once at construction and then kept from NetworkManager's
// signals.
class NmConnectionState : public QObject, public ConnectionState {
    Q_OBJECT
public:
    // The system bus in production; tests pass a private bus. proxyProbeUrl is the address the
    // system proxy is asked about.
    NmConnectionState(QDBusConnection bus, QString proxyProbeUrl, QObject* parent = nullptr);

    ConnectionInfo query() override;

private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&);
    void onStateChanged(uint state);
    void onOwnerChanged(const QString&, const QString& oldOwner, const QString& newOwner);

private:
    void take(const QVariantMap& properties);
    void forget();

    QDBusConnection m_bus;
    QString m_proxyProbeUrl;
    std::optional<uint> m_state; // empty: NetworkManager has not told it
    QString m_primaryType;
};

// Connected through the LAN when an interface other than loopback is up, running and has an address.
ConnectionInfo interfaceConnectionState();
