#include "nm_dial_service.h"

#include "nm_bus.h"
#include "ras_texts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr int kCallTimeoutMs = 5000;
// Activation may wait on an authorization prompt.
constexpr int kActivateTimeoutMs = 20000;
// How long pause() lets events run while a reply is awaited.
constexpr int kPauseMs = 10;
// Signals kept for dials that do not know their objects yet.
constexpr std::size_t kHeardMax = 256;

QDBusMessage nmCall(const QString& path, const QString& interface, const QString& method) {
    return QDBusMessage::createMethodCall(nmbus::service(), path, interface, method);
}

QDBusMessage propertyGet(const QString& path, const QString& interface, const QString& name) {
    QDBusMessage m = nmCall(path, nmbus::propertiesInterface(), QStringLiteral("Get"));
    m << interface << name;
    return m;
}

QDBusMessage propertyGetAll(const QString& path, const QString& interface) {
    QDBusMessage m = nmCall(path, nmbus::propertiesInterface(), QStringLiteral("GetAll"));
    m << interface;
    return m;
}

bool failed(const QDBusMessage& reply) {
    return reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty();
}

QStringList paths(const QVariant& value) {
    QStringList out;
    for (const QDBusObjectPath& p : qdbus_cast<QList<QDBusObjectPath>>(value))
        out.append(p.path());
    return out;
}

// A property read with Get comes wrapped in a variant.
QVariant unwrap(const QVariant& value) {
    return value.userType() == qMetaTypeId<QDBusVariant>() ? value.value<QDBusVariant>().variant() : value;
}

} // namespace

// Hands NetworkManager the password of the dial in progress; nothing is stored anywhere else.
class NmSecretAgent : public QDBusVirtualObject {
public:
    explicit NmSecretAgent(NmDialService& owner)
        : m_owner(owner) {}

    QString introspect(const QString&) const override {
        return QStringLiteral(R"(<interface name="org.freedesktop.NetworkManager.SecretAgent">
<method name="GetSecrets"><arg name="connection" type="a{sa{sv}}" direction="in"/>
<arg name="connection_path" type="o" direction="in"/><arg name="setting_name" type="s" direction="in"/>
<arg name="hints" type="as" direction="in"/><arg name="flags" type="u" direction="in"/>
<arg name="secrets" type="a{sa{sv}}" direction="out"/></method>
<method name="CancelGetSecrets"><arg name="connection_path" type="o" direction="in"/>
<arg name="setting_name" type="s" direction="in"/></method>
<method name="SaveSecrets"><arg name="connection" type="a{sa{sv}}" direction="in"/>
<arg name="connection_path" type="o" direction="in"/></method>
<method name="DeleteSecrets"><arg name="connection" type="a{sa{sv}}" direction="in"/>
<arg name="connection_path" type="o" direction="in"/></method>
</interface>
)");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != nmbus::agentInterface())
            return false;
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        QDBusMessage reply;
        if (member == QStringLiteral("GetSecrets") && args.size() == 5) {
            const auto secrets = m_owner.secretsFor(args.at(1).value<QDBusObjectPath>().path(),
                                                    args.at(2).toString(), args.at(4).toUInt());
            reply = secrets ? message.createReply(QVariant::fromValue(*secrets))
                            : message.createErrorReply(
                                  QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.NoSecrets"),
                                  QStringLiteral("no secrets for this connection"));
        } else if (member == QStringLiteral("CancelGetSecrets") || member == QStringLiteral("SaveSecrets") ||
                   member == QStringLiteral("DeleteSecrets")) {
            // Nothing is ever saved, so there is nothing to cancel or delete.
            reply = message.createReply();
        } else {
            return false;
        }
        connection.send(reply);
        return true;
    }

private:
    NmDialService& m_owner;
};

NmDialService::NmDialService(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_agent(std::make_unique<NmSecretAgent>(*this)) {
    qDBusRegisterMetaType<NmSettings>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
    if (!m_bus.isConnected())
        return;
    m_bus.registerVirtualObject(nmbus::agentPath(), m_agent.get());
    const QString nm = nmbus::service();
    m_bus.connect(nm, QString(), nmbus::activeInterface(), QStringLiteral("StateChanged"), this,
                  SLOT(onActiveStateChanged(uint, uint, QDBusMessage)));
    m_bus.connect(nm, QString(), nmbus::deviceInterface(), QStringLiteral("StateChanged"), this,
                  SLOT(onDeviceStateChanged(uint, uint, uint, QDBusMessage)));
    m_bus.connect(nm, QString(), nmbus::propertiesInterface(), QStringLiteral("PropertiesChanged"), this,
                  SLOT(onPropertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    m_bus.connect(nm, QString(), nmbus::objectManagerInterface(), QStringLiteral("InterfacesRemoved"), this,
                  SLOT(onInterfacesRemoved(QDBusObjectPath, QStringList)));
    auto* watcher = new QDBusServiceWatcher(nm, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &NmDialService::onOwnerChanged);
}

NmDialService::~NmDialService() {
    if (m_bus.isConnected())
        m_bus.unregisterObject(nmbus::agentPath());
}

void NmDialService::send(const QDBusMessage& message, int timeoutMs, ReplyHandler onReply) {
    ++m_inFlight;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, onReply = std::move(onReply)] {
        --m_inFlight;
        const QDBusMessage reply = watcher->reply();
        watcher->deleteLater();
        onReply(reply);
        emit replied();
    });
}

void NmDialService::sendAll(const QList<QDBusMessage>& messages,
                            std::function<void(const QList<QDBusMessage>&)> onReplies) {
    if (messages.isEmpty()) {
        onReplies({});
        return;
    }
    struct Gather {
        QList<QDBusMessage> replies;
        qsizetype left;
        std::function<void(const QList<QDBusMessage>&)> done;
    };
    auto gather = std::make_shared<Gather>(
        Gather{QList<QDBusMessage>(messages.size()), messages.size(), std::move(onReplies)});
    for (qsizetype i = 0; i < messages.size(); ++i)
        send(messages.at(i), kCallTimeoutMs, [gather, i](const QDBusMessage& reply) {
            gather->replies[i] = reply;
            if (--gather->left == 0)
                gather->done(gather->replies);
        });
}

NmDialService::Link* NmDialService::find(DialHandle handle) {
    const auto it = m_links.find(handle);
    return it == m_links.end() ? nullptr : &it->second;
}

DialHandle NmDialService::dial(const QString& entry, const QString& user, const QString& password,
                               DialAnswer answer) {
    const DialHandle handle = m_nextHandle++;
    Link& link = m_links[handle];
    link.dialled = true;
    link.since = m_seq;
    link.entry = entry;
    link.user = user;
    link.password = password;
    link.answer = std::move(answer);
    if (!m_bus.isConnected()) {
        // No bus at all: refused all the same, but never from inside this call.
        QTimer::singleShot(0, this, [this, handle] { refuse(handle, ras::ErrorNotInitialized); });
        return handle;
    }
    // Registering again is harmless and follows a NetworkManager that restarted.
    QDBusMessage reg = nmCall(nmbus::agentManagerPath(), nmbus::agentManagerInterface(),
                              QStringLiteral("RegisterWithCapabilities"));
    reg << QStringLiteral("quotazioni.euribor.dialup") << 0u;
    // NetworkManager adds the agent only once it has answered: the dial waits for that, or its first
    // password request could find no agent and fail as a refused password.
    send(reg, kCallTimeoutMs, [this, handle](const QDBusMessage&) { lookUpProfile(handle); });
    return handle;
}

void NmDialService::answer(DialHandle handle, int result) {
    Link* link = find(handle);
    if (!link || !link->answer)
        return;
    DialAnswer answer = std::move(link->answer);
    link->answer = nullptr;
    answer(result);
}

void NmDialService::refuse(DialHandle handle, int code) {
    Link* link = find(handle);
    if (!link)
        return;
    link->phase = Link::Phase::Refused;
    link->password.clear();
    if (link->drop == Link::Drop::AfterRequest)
        link->drop = Link::Drop::Done;
    forgetHeardWhenIdle();
    answer(handle, code);
    forgetSpent();
}

// NetworkManager has no lookup by name: read every profile and take the first dial-up one of that id.
void NmDialService::lookUpProfile(DialHandle handle) {
    send(nmCall(nmbus::settingsPath(), nmbus::settingsInterface(), QStringLiteral("ListConnections")),
         kCallTimeoutMs, [this, handle](const QDBusMessage& reply) {
             if (failed(reply)) {
                 refuse(handle, nm::callErrorCode(reply.errorName()));
                 return;
             }
             const QStringList profiles = paths(reply.arguments().constFirst());
             QList<QDBusMessage> reads;
             for (const QString& p : profiles)
                 reads.append(nmCall(p, nmbus::profileInterface(), QStringLiteral("GetSettings")));
             sendAll(reads, [this, handle, profiles](const QList<QDBusMessage>& replies) {
                 Link* link = find(handle);
                 if (!link)
                     return;
                 for (qsizetype i = 0; i < replies.size(); ++i) {
                     if (failed(replies.at(i)))
                         continue;
                     const auto settings = qdbus_cast<NmSettings>(replies.at(i).arguments().constFirst());
                     const QString id =
                         settings.value(QStringLiteral("connection")).value(QStringLiteral("id")).toString();
                     if (id == link->entry && nm::isDialProfile(settings)) {
                         link->profilePath = profiles.at(i);
                         link->profile = settings;
                         checkNotActive(handle);
                         return;
                     }
                 }
                 refuse(handle, ras::ErrorCannotFindPhonebookEntry);
             });
         });
}

// A profile already up or coming up is the open port of old: refused with 602.
void NmDialService::checkNotActive(DialHandle handle) {
    send(propertyGet(nmbus::managerPath(), nmbus::managerInterface(), QStringLiteral("ActiveConnections")),
         kCallTimeoutMs, [this, handle](const QDBusMessage& reply) {
             const QStringList active =
                 failed(reply) ? QStringList() : paths(unwrap(reply.arguments().constFirst()));
             QList<QDBusMessage> reads;
             for (const QString& p : active)
                 reads.append(propertyGetAll(p, nmbus::activeInterface()));
             sendAll(reads, [this, handle](const QList<QDBusMessage>& replies) {
                 Link* link = find(handle);
                 if (!link)
                     return;
                 for (const QDBusMessage& r : replies) {
                     if (failed(r))
                         continue;
                     const auto props = qdbus_cast<QVariantMap>(r.arguments().constFirst());
                     const uint state = props.value(QStringLiteral("State")).toUInt();
                     const QString profile =
                         props.value(QStringLiteral("Connection")).value<QDBusObjectPath>().path();
                     if (profile == link->profilePath && state >= 1 && state <= 2) {
                         refuse(handle, ras::ErrorPortAlreadyOpen);
                         return;
                     }
                 }
                 putCredentials(handle);
             });
         });
}

// A hang-up asked for while the dial was still being requested: nothing is brought up.
bool NmDialService::droppedBeforeActivation(DialHandle handle) {
    Link* link = find(handle);
    if (!link || link->drop != Link::Drop::AfterRequest)
        return false;
    link->drop = Link::Drop::Done;
    answer(handle, 0);
    forgetSpent();
    return true;
}

// The user name goes into the profile in memory only; the password only to the secret agent.
void NmDialService::putCredentials(DialHandle handle) {
    Link* link = find(handle);
    if (!link || droppedBeforeActivation(handle))
        return;
    const auto update = nm::credentialsUpdate(link->profile, link->user, !link->password.isEmpty());
    if (!update) {
        activate(handle);
        return;
    }
    QDBusMessage m = nmCall(link->profilePath, nmbus::profileInterface(), QStringLiteral("Update2"));
    m << QVariant::fromValue(*update) << (nm::UpdateInMemory | nm::UpdateBlockAutoconnect) << QVariantMap();
    send(m, kCallTimeoutMs, [this, handle](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage) {
            refuse(handle, nm::callErrorCode(reply.errorName()));
            return;
        }
        activate(handle);
    });
}

void NmDialService::activate(DialHandle handle) {
    Link* link = find(handle);
    if (!link || droppedBeforeActivation(handle))
        return;
    link->since = m_seq;
    QDBusMessage m =
        nmCall(nmbus::managerPath(), nmbus::managerInterface(), QStringLiteral("ActivateConnection"));
    const QDBusObjectPath any(QStringLiteral("/"));
    m << QVariant::fromValue(QDBusObjectPath(link->profilePath)) << QVariant::fromValue(any)
      << QVariant::fromValue(any);
    send(m, kActivateTimeoutMs, [this, handle](const QDBusMessage& reply) {
        Link* link = find(handle);
        if (!link)
            return;
        if (failed(reply)) {
            refuse(handle, nm::callErrorCode(reply.errorName()));
            return;
        }
        link->phase = Link::Phase::Up;
        link->activePath = reply.arguments().constFirst().value<QDBusObjectPath>().path();
        link->facts.activeState = nm::ActiveActivating;
        learn(handle);
        if (link->drop == Link::Drop::AfterRequest)
            deactivate(handle);
        answer(handle, 0);
    });
}

// Reads the new active connection: its state now and its devices; then the signals that came before
// the reply are applied.
void NmDialService::learn(DialHandle handle) {
    Link* link = find(handle);
    if (!link)
        return;
    link->learning = true;
    send(propertyGetAll(link->activePath, nmbus::activeInterface()), kCallTimeoutMs,
         [this, handle](const QDBusMessage& reply) {
             Link* link = find(handle);
             if (!link)
                 return;
             link->learning = false;
             std::optional<uint> stateNow;
             if (failed(reply)) {
                 if (reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.UnknownObject") ||
                     reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"))
                     link->facts.vanished = true;
             } else {
                 const auto props = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
                 link->devices = paths(props.value(QStringLiteral("Devices")));
                 stateNow = props.value(QStringLiteral("State")).toUInt();
             }
             for (const Heard& h : m_heard)
                 if (h.seq > link->since)
                     apply(*link, h);
             // Everything heard so far is older than the reply.
             if (stateNow)
                 nm::noteActiveState(link->facts, *stateNow, 0);
             forgetHeardWhenIdle();
             forgetSpent();
         });
}

void NmDialService::deactivate(DialHandle handle) {
    Link* link = find(handle);
    if (!link)
        return;
    link->drop = Link::Drop::InFlight;
    QDBusMessage m =
        nmCall(nmbus::managerPath(), nmbus::managerInterface(), QStringLiteral("DeactivateConnection"));
    m << QVariant::fromValue(QDBusObjectPath(link->activePath));
    // Whatever the answer (ConnectionNotActive included), the handle is spent.
    send(m, kCallTimeoutMs, [this, handle](const QDBusMessage&) {
        if (Link* link = find(handle))
            link->drop = Link::Drop::Done;
        forgetSpent();
    });
}

DialStatus NmDialService::status(DialHandle handle) {
    Link* link = find(handle);
    if (!link || link->released || link->phase == Link::Phase::Refused)
        return {ras::ErrorInvalidHandle, 0, 0};
    if (link->phase == Link::Phase::Requesting)
        return {0, 0, 0};
    const DialStatus s = nm::linkStatus(link->facts, link->lastState);
    link->lastState = s.state;
    if (s.state == ras::Connected || s.state == ras::Disconnected)
        link->password.clear();
    if (s.state == ras::Disconnected)
        link->fallTold = true;
    forgetSpent();
    return s;
}

int NmDialService::hangUp(DialHandle handle) {
    Link* link = find(handle);
    if (!link)
        return ras::ErrorInvalidHandle;
    link->released = true;
    link->password.clear();
    int result = 0;
    switch (link->drop) {
    case Link::Drop::AfterRequest:
    case Link::Drop::InFlight:
        break;
    case Link::Drop::Done:
        result = ras::ErrorInvalidHandle;
        break;
    case Link::Drop::None:
        if (link->phase == Link::Phase::Requesting) {
            link->drop = Link::Drop::AfterRequest;
        } else if (link->phase == Link::Phase::Refused || link->activePath.isEmpty() ||
                   link->facts.vanished || link->facts.activeState == nm::ActiveDeactivated) {
            link->drop = Link::Drop::Done;
            result = ras::ErrorInvalidHandle;
        } else {
            deactivate(handle);
        }
        break;
    }
    forgetSpent();
    return result;
}

void NmDialService::enumerate(ListAnswer answer) {
    if (!m_bus.isConnected()) {
        answer(ras::ErrorNotInitialized, {});
        return;
    }
    send(propertyGet(nmbus::managerPath(), nmbus::managerInterface(), QStringLiteral("ActiveConnections")),
         kCallTimeoutMs, [this, answer](const QDBusMessage& reply) {
             if (failed(reply)) {
                 answer(nm::callErrorCode(reply.errorName()), {});
                 return;
             }
             const QStringList active = paths(unwrap(reply.arguments().constFirst()));
             QList<QDBusMessage> reads;
             for (const QString& p : active)
                 reads.append(propertyGetAll(p, nmbus::activeInterface()));
             sendAll(reads, [this, active, answer](const QList<QDBusMessage>& replies) {
                 QList<DialHandle> open;
                 // A bluetooth link is dial-up only when its profile says so: a network tether is not.
                 QList<std::pair<QString, QVariantMap>> bluetooth;
                 QList<QDBusMessage> profiles;
                 for (qsizetype i = 0; i < replies.size(); ++i) {
                     if (failed(replies.at(i)))
                         continue;
                     const auto props = qdbus_cast<QVariantMap>(replies.at(i).arguments().constFirst());
                     const QString type = props.value(QStringLiteral("Type")).toString();
                     if (type == QStringLiteral("bluetooth")) {
                         bluetooth.append({active.at(i), props});
                         profiles.append(
                             nmCall(props.value(QStringLiteral("Connection")).value<QDBusObjectPath>().path(),
                                    nmbus::profileInterface(), QStringLiteral("GetSettings")));
                     } else if (nm::isDialUpType(type)) {
                         open.append(handleFor(active.at(i), props));
                     }
                 }
                 if (bluetooth.isEmpty()) {
                     answer(0, open);
                     return;
                 }
                 sendAll(profiles,
                         [this, bluetooth, open, answer](const QList<QDBusMessage>& settings) mutable {
                             for (qsizetype i = 0; i < settings.size(); ++i)
                                 if (!failed(settings.at(i)) && nm::isDialProfile(qdbus_cast<NmSettings>(
                                                                    settings.at(i).arguments().constFirst())))
                                     open.append(handleFor(bluetooth.at(i).first, bluetooth.at(i).second));
                             answer(0, open);
                         });
             });
         });
}

// The handle of an active connection: the dial's own while it is followed, a new one otherwise.
DialHandle NmDialService::handleFor(const QString& activePath, const QVariantMap& properties) {
    for (auto& [handle, link] : m_links)
        if (link.activePath == activePath && link.phase == Link::Phase::Up && !link.released)
            return handle;
    const DialHandle handle = m_nextHandle++;
    Link& link = m_links[handle];
    link.phase = Link::Phase::Up;
    link.since = m_seq;
    link.activePath = activePath;
    link.devices = paths(properties.value(QStringLiteral("Devices")));
    link.facts.activeState = properties.value(QStringLiteral("State")).toUInt();
    return handle;
}

void NmDialService::pause() {
    if (m_inFlight == 0)
        return;
    QEventLoop loop;
    connect(this, &NmDialService::replied, &loop, &QEventLoop::quit);
    QTimer::singleShot(kPauseMs, &loop, &QEventLoop::quit);
    loop.exec();
}

std::optional<NmSettings> NmDialService::secretsFor(const QString& profilePath, const QString& settingName,
                                                    uint flags) {
    for (auto& [handle, link] : m_links) {
        if (link.profilePath != profilePath || link.released || link.phase == Link::Phase::Refused ||
            link.password.isEmpty())
            continue;
        if (flags & nm::SecretsRequestNew) {
            // Asked again: the password was refused. The dial fails as an authentication error.
            link.facts.secretsRefused = true;
            link.password.clear();
            return std::nullopt;
        }
        return nm::secretsReply(settingName, link.password);
    }
    return std::nullopt;
}

void NmDialService::apply(Link& link, const Heard& h) {
    if (h.device) {
        if (link.devices.contains(h.path))
            nm::noteDeviceState(link.facts, h.state, h.reason);
    } else if (h.path == link.activePath) {
        nm::noteActiveState(link.facts, h.state, h.reason);
    }
}

void NmDialService::heard(const QString& path, bool device, uint state, uint reason) {
    const Heard h{++m_seq, path, device, state, reason};
    bool someoneLearning = false;
    for (auto& [handle, link] : m_links) {
        if (link.released || link.phase == Link::Phase::Refused)
            continue;
        if (link.phase == Link::Phase::Requesting || link.learning)
            someoneLearning = true;
        else
            apply(link, h);
    }
    if (someoneLearning) {
        m_heard.push_back(h);
        if (m_heard.size() > kHeardMax)
            m_heard.pop_front();
    }
    forgetSpent();
}

bool NmDialService::spent(const Link& link) const {
    // Still owed its answer, being read, or being brought down.
    if (link.answer || link.learning || link.drop == Link::Drop::AfterRequest ||
        link.drop == Link::Drop::InFlight)
        return false;
    if (link.phase == Link::Phase::Refused || link.released)
        return true;
    if (link.phase != Link::Phase::Up)
        return false;
    // A dial's fall is kept until a status read has told it, the way the dial ended; nobody awaits it
    // once Connected was read, nor the fall of a connection a listing found.
    const bool fallen = nm::linkStatus(link.facts, link.lastState).state == ras::Disconnected;
    return fallen && (link.fallTold || link.lastState == ras::Connected || !link.dialled);
}

void NmDialService::forgetSpent() {
    std::erase_if(m_links, [this](const auto& entry) { return spent(entry.second); });
}

void NmDialService::forgetHeardWhenIdle() {
    const bool someoneLearning = std::any_of(m_links.begin(), m_links.end(), [](const auto& entry) {
        return entry.second.phase == Link::Phase::Requesting || entry.second.learning;
    });
    if (!someoneLearning)
        m_heard.clear();
}

void NmDialService::onActiveStateChanged(uint state, uint reason, const QDBusMessage& message) {
    heard(message.path(), false, state, reason);
}

void NmDialService::onDeviceStateChanged(uint newState, uint, uint reason, const QDBusMessage& message) {
    heard(message.path(), true, newState, reason);
}

// The state without its reason, and a device list that changed.
void NmDialService::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                        const QStringList&, const QDBusMessage& message) {
    if (interface != nmbus::activeInterface())
        return;
    for (auto& [handle, link] : m_links) {
        if (link.activePath != message.path() || link.learning)
            continue;
        if (changed.contains(QStringLiteral("Devices")))
            link.devices = paths(changed.value(QStringLiteral("Devices")));
        if (changed.contains(QStringLiteral("State")))
            nm::noteActiveState(link.facts, changed.value(QStringLiteral("State")).toUInt(), 0);
    }
    forgetSpent();
}

void NmDialService::onInterfacesRemoved(const QDBusObjectPath& path, const QStringList& interfaces) {
    if (!interfaces.contains(nmbus::activeInterface()))
        return;
    for (auto& [handle, link] : m_links)
        if (link.activePath == path.path())
            link.facts.vanished = true;
    forgetSpent();
}

// NetworkManager left the bus: every connection it held is gone with it.
void NmDialService::onOwnerChanged(const QString&, const QString& oldOwner, const QString&) {
    if (oldOwner.isEmpty())
        return;
    for (auto& [handle, link] : m_links)
        if (link.phase == Link::Phase::Up)
            link.facts.vanished = true;
    forgetSpent();
}

std::unique_ptr<DialService> createSystemDialService() {
    return std::make_unique<NmDialService>(QDBusConnection::systemBus());
}
