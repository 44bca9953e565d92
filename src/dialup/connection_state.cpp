#include "connection_state.h"

#include "nm_bus.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QNetworkInterface>
#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>
#include <QUrl>

#include <optional>
#include <utility>

namespace {

// NetworkManager answers a property read at once; a short bound keeps a stuck service from freezing
// the window, which asks again on every pass of its wait for a dial.
constexpr int kBusTimeoutMs = 250;
// NetworkManager's NM_STATE_CONNECTED_SITE: a default route exists. Local-only links do not count.
constexpr uint kConnectedSite = 60;

std::optional<QVariant> nmProperty(const QDBusConnection& bus, const QString& name) {
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(nmbus::service(), nmbus::managerPath(),
                                                       nmbus::propertiesInterface(), QStringLiteral("Get"));
    call << nmbus::managerInterface() << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

} // namespace

bool isDialUpConnectionType(const QString& type) {
    static const QStringList kDialUp = {QStringLiteral("gsm"), QStringLiteral("cdma"),
                                        QStringLiteral("pppoe"), QStringLiteral("adsl"),
                                        QStringLiteral("bluetooth")};
    return kDialUp.contains(type);
}

ConnectionInfo mapNetworkManagerState(uint state, const QString& primaryConnectionType) {
    ConnectionInfo info;
    info.connected = state >= kConnectedSite;
    if (!info.connected || primaryConnectionType.isEmpty())
        return info;
    info.flags = isDialUpConnectionType(primaryConnectionType) ? ConnectionInfo::Modem : ConnectionInfo::Lan;
    return info;
}

ConnectionInfo interfaceConnectionState() {
    ConnectionInfo info;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack) || iface.addressEntries().isEmpty())
            continue;
        info.connected = true;
        info.flags = ConnectionInfo::Lan;
        break;
    }
    return info;
}

NmConnectionState::NmConnectionState(QDBusConnection bus, QString proxyProbeUrl)
    : m_bus(std::move(bus))
    , m_proxyProbeUrl(std::move(proxyProbeUrl)) {}

ConnectionInfo NmConnectionState::query() {
    ConnectionInfo info;
    if (const auto state = nmProperty(m_bus, QStringLiteral("State"))) {
        const auto type = nmProperty(m_bus, QStringLiteral("PrimaryConnectionType"));
        info = mapNetworkManagerState(state->toUInt(), type ? type->toString() : QString());
    } else {
        info = interfaceConnectionState();
    }
    if (info.connected) {
        const QNetworkProxyQuery probe{QUrl(m_proxyProbeUrl)};
        const auto proxies = QNetworkProxyFactory::systemProxyForQuery(probe);
        if (!proxies.isEmpty() && proxies.constFirst().type() != QNetworkProxy::NoProxy)
            info.flags |= ConnectionInfo::Proxy;
    }
    return info;
}
