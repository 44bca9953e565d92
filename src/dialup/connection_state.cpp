#include "connection_state.h"

#include "nm_bus.h"
#include "nm_mapping.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QNetworkInterface>
#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>
#include <QUrl>

#include <utility>

namespace {

// The seed is read before any window exists; a short bound keeps a stuck service from delaying the
// start. Later reads (NetworkManager coming back) do not wait at all.
constexpr int kSeedTimeoutMs = 250;
constexpr int kReseedTimeoutMs = 5000;
// NetworkManager's NM_STATE_CONNECTED_SITE: a default route exists. Local-only links do not count.
constexpr uint kConnectedSite = 60;

const QString kState = QStringLiteral("State");
const QString kPrimaryType = QStringLiteral("PrimaryConnectionType");

QDBusMessage managerGetAll() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        nmbus::service(), nmbus::managerPath(), nmbus::propertiesInterface(), QStringLiteral("GetAll"));
    call << nmbus::managerInterface();
    return call;
}

std::optional<QVariantMap> properties(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return qdbus_cast<QVariantMap>(reply.arguments().constFirst());
}

} // namespace

ConnectionInfo mapNetworkManagerState(uint state, const QString& primaryConnectionType) {
    ConnectionInfo info;
    info.connected = state >= kConnectedSite;
    if (!info.connected || primaryConnectionType.isEmpty())
        return info;
    info.flags = nm::isDialUpType(primaryConnectionType) ? ConnectionInfo::Modem : ConnectionInfo::Lan;
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

NmConnectionState::NmConnectionState(QDBusConnection bus, QString proxyProbeUrl, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_proxyProbeUrl(std::move(proxyProbeUrl)) {
    if (!m_bus.isConnected())
        return;
    // Listen first: a change told while the seed is read is applied after it.
    const QString nm = nmbus::service(), path = nmbus::managerPath();
    m_bus.connect(nm, path, nmbus::propertiesInterface(), QStringLiteral("PropertiesChanged"), this,
                  SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    m_bus.connect(nm, path, nmbus::managerInterface(), QStringLiteral("StateChanged"), this,
                  SLOT(onStateChanged(uint)));
    auto* watcher = new QDBusServiceWatcher(nm, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &NmConnectionState::onOwnerChanged);
    if (const auto seed = properties(m_bus.call(managerGetAll(), QDBus::Block, kSeedTimeoutMs)))
        take(*seed);
}

ConnectionInfo NmConnectionState::query() {
    ConnectionInfo info =
        m_state ? mapNetworkManagerState(*m_state, m_primaryType) : interfaceConnectionState();
    if (info.connected) {
        const QNetworkProxyQuery probe{QUrl(m_proxyProbeUrl)};
        const auto proxies = QNetworkProxyFactory::systemProxyForQuery(probe);
        if (!proxies.isEmpty() && proxies.constFirst().type() != QNetworkProxy::NoProxy)
            info.flags |= ConnectionInfo::Proxy;
    }
    return info;
}

void NmConnectionState::take(const QVariantMap& properties) {
    if (properties.contains(kState))
        m_state = properties.value(kState).toUInt();
    if (properties.contains(kPrimaryType))
        m_primaryType = properties.value(kPrimaryType).toString();
}

void NmConnectionState::forget() {
    m_state.reset();
    m_primaryType.clear();
}

void NmConnectionState::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                            const QStringList&) {
    if (interface == nmbus::managerInterface())
        take(changed);
}

void NmConnectionState::onStateChanged(uint state) {
    m_state = state;
}

// NetworkManager left: the interfaces answer until it is back and has been read again.
void NmConnectionState::onOwnerChanged(const QString&, const QString& oldOwner, const QString& newOwner) {
    if (!oldOwner.isEmpty())
        forget();
    if (newOwner.isEmpty())
        return;
    auto* reply = new QDBusPendingCallWatcher(m_bus.asyncCall(managerGetAll(), kReseedTimeoutMs), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this, reply] {
        reply->deleteLater();
        if (const auto seed = properties(reply->reply()))
            take(*seed);
    });
}
