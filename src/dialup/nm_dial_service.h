#pragma once
// Dialling through NetworkManager over D-Bus (the system bus in the program, a private bus in tests).
// Every call is asynchronous: the user-interface thread never waits on the bus. NetworkManager drops
// an active connection right after it goes down and tells a failure's cause only once, on the device's
// signal, so the state of each dial is kept from the signals and the status tick reads that. A dial's
// record goes once it has nothing more to tell: refused, hung up, or its fall read (or no longer
// awaited); its handle then reads as a hung-up one.

#include "dial_service.h"
#include "nm_mapping.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QDBusMessage;
class QDBusObjectPath;
class NmSecretAgent;

class NmDialService : public QObject, public DialService {
    Q_OBJECT
public:
    explicit NmDialService(QDBusConnection bus, QObject* parent = nullptr);
    ~NmDialService() override;

    DialHandle dial(const QString& entry, const QString& user, const QString& password,
                    DialAnswer answer) override;
    DialStatus status(DialHandle handle) override;
    int hangUp(DialHandle handle) override;
    void enumerate(ListAnswer answer) override;
    void pause() override;

    // What the secret agent hands NetworkManager for a profile being dialled; nothing for others.
    std::optional<NmSettings> secretsFor(const QString& profilePath, const QString& settingName, uint flags);

    // How many dials and listed connections are kept.
    std::size_t records() const { return m_links.size(); }

signals:
    void replied();

private slots:
    void onActiveStateChanged(uint state, uint reason, const QDBusMessage& message);
    void onDeviceStateChanged(uint newState, uint oldState, uint reason, const QDBusMessage& message);
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated, const QDBusMessage& message);
    void onInterfacesRemoved(const QDBusObjectPath& path, const QStringList& interfaces);
    void onOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    struct Link {
        enum class Phase { Requesting, Up, Refused };
        enum class Drop { None, AfterRequest, InFlight, Done };
        Phase phase = Phase::Requesting;
        Drop drop = Drop::None;
        bool released = false; // hung up: the handle names nothing any more
        bool dialled = false;  // made by dial(), not found by a listing
        bool fallTold = false; // a status read has reported its Disconnected
        bool learning = false; // the active connection's properties are being read
        quint64 since = 0;     // signals after this one concern the dial
        QString entry, user, password;
        DialAnswer answer;
        QString profilePath;
        NmSettings profile;
        QString activePath;
        QStringList devices;
        nm::LinkFacts facts;
        int lastState = 0;
    };
    // A signal kept while some dial does not know its objects yet.
    struct Heard {
        quint64 seq;
        QString path;
        bool device;
        uint state, reason;
    };
    using ReplyHandler = std::function<void(const QDBusMessage&)>;

    void send(const QDBusMessage& message, int timeoutMs, ReplyHandler onReply);
    void sendAll(const QList<QDBusMessage>& messages,
                 std::function<void(const QList<QDBusMessage>&)> onReplies);
    Link* find(DialHandle handle);
    void answer(DialHandle handle, int result);
    void refuse(DialHandle handle, int code);

    void lookUpProfile(DialHandle handle);
    void checkNotActive(DialHandle handle);
    void putCredentials(DialHandle handle);
    bool droppedBeforeActivation(DialHandle handle);
    void activate(DialHandle handle);
    void learn(DialHandle handle);
    void deactivate(DialHandle handle);
    DialHandle handleFor(const QString& activePath, const QVariantMap& properties);

    void heard(const QString& path, bool device, uint state, uint reason);
    void apply(Link& link, const Heard& h);
    void forgetHeardWhenIdle();
    bool spent(const Link& link) const;
    void forgetSpent();

    QDBusConnection m_bus;
    std::unique_ptr<NmSecretAgent> m_agent;
    std::map<DialHandle, Link> m_links;
    DialHandle m_nextHandle = 1;
    quint64 m_seq = 0;
    std::deque<Heard> m_heard;
    int m_inFlight = 0;
};

// The dial service of the desktop: NetworkManager on the system bus.
std::unique_ptr<DialService> createSystemDialService();
