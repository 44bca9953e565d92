#include "conn_ras.h"

#include "ras_texts.h"

#include <QMetaObject>
#include <QPointer>

#include <memory>

namespace {

const QString kServerTitle = QStringLiteral("Accesso al Server");

// The text refusing a value the dial could not carry whole; empty when all fit.
QString overLongText(const QString& name, const QString& user, const QString& password) {
    if (name.size() > Conn_RAS::kMaxFieldLength)
        return QStringLiteral("Nome della connessione troppo lungo: sono ammessi al massimo 256 caratteri.");
    if (user.size() > Conn_RAS::kMaxFieldLength)
        return QStringLiteral("Nome utente troppo lungo: sono ammessi al massimo 256 caratteri.");
    if (password.size() > Conn_RAS::kMaxFieldLength)
        return QStringLiteral("Password troppo lunga: sono ammessi al massimo 256 caratteri.");
    return QString();
}

} // namespace

Conn_RAS::Conn_RAS(Shell& shell, DialService& service, QObject* parent)
    : QObject(parent)
    , m_shell(shell)
    , m_service(service) {
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &Conn_RAS::StatusTick);
}

void Conn_RAS::DialConnection(const QString& connectionName, const QString& userName,
                              const QString& password) {
    // A new request replaces the dial being followed: one tick at most, late answers are ignored, and
    // a line still being brought up is dropped so it cannot come up untracked.
    stopTick();
    if (dialInProgress())
        HangUpCurrent();
    const quint64 request = ++m_request;
    ConnName = connectionName;
    ConnUser = userName;
    ConnPassword = password;
    setPhase(Phase::Requesting);
    if (const QString tooLong = overLongText(connectionName, userName, password); !tooLong.isEmpty()) {
        m_shell.messageBox(tooLong, kServerTitle, Shell::Icon::Critical, Shell::Buttons::Ok);
        setPhase(Phase::Refused);
        return;
    }
    QPointer<Conn_RAS> self(this);
    ConnHandle = m_service.dial(connectionName, userName, password, [self, request](int result) {
        if (self && self->m_request == request)
            self->dialAnswered(result);
    });
}

void Conn_RAS::dialAnswered(int result) {
    if (result == 0) {
        m_timer.start();
        setPhase(Phase::Dialling);
        return;
    }
    HangUpCurrent();
    if (result != ras::ErrorPortAlreadyOpen)
        showLater(QStringLiteral("Errore di accesso remoto n. ") + QString::number(result) +
                      QStringLiteral(":\r\n") + RasErrorText(result),
                  kServerTitle, Shell::Icon::Critical);
    HangUpCurrent();
    setPhase(Phase::Refused);
}

void Conn_RAS::StatusTick() {
    const DialStatus status = m_service.status(ConnHandle);
    if (status.queryError != 0) {
        // Nothing was read, so no state is tested.
        emit statusText(RasErrorText(status.queryError));
        HangUpCurrent();
        stopTick();
        setPhase(Phase::Failed);
        return;
    }
    QString text;
    const bool failed = status.error > ras::ErrorFirst;
    if (failed) {
        text = RasErrorText(status.error);
        HangUpCurrent();
        stopTick();
    } else {
        text = RasStateText(status.state);
    }
    if (!text.isEmpty() && text != LastStatusText) {
        LastStatusText = text;
        emit statusText(text);
    }
    if (status.state == ras::Connected) {
        stopTick();
        emit connected();
        setPhase(Phase::Connected);
    } else if (status.state == ras::Disconnected) {
        // The box waits in an event loop while the timer runs on; opened from here, the next tick
        // would run inside this one.
        if (status.error != ras::ErrorPortAlreadyOpen)
            showLater(QStringLiteral("Impossibile effettuare la connessione per ") + LastStatusText,
                      appTitle(), Shell::Icon::None);
        HangUpCurrent();
        setPhase(failed ? Phase::Failed : Phase::Disconnected);
    } else if (failed) {
        setPhase(Phase::Failed);
    }
}

void Conn_RAS::HangUpCurrent() {
    m_service.hangUp(ConnHandle);
}

void Conn_RAS::HangUpAll(qint64 handle) {
    struct Listing {
        bool answered = false;
        int result = 0;
        QList<DialHandle> open;
    };
    // The listing may answer after this returns; it then writes into its own record.
    auto listing = std::make_shared<Listing>();
    m_service.enumerate([listing](int result, const QList<DialHandle>& open) {
        *listing = {true, result, open};
    });
    for (int pass = 0; !listing->answered && pass < kMaxHangUpAttempts; ++pass) {
        m_shell.processEvents();
        m_service.pause();
    }
    if (!listing->answered || listing->result != 0)
        return;
    for (const DialHandle h : listing->open) {
        if (handle != kAllConnections && handle != static_cast<qint64>(h))
            continue;
        for (int attempt = 1; attempt <= kMaxHangUpAttempts; ++attempt) {
            m_shell.processEvents();
            if (attempt > 1)
                m_service.pause();
            if (m_service.hangUp(h) == ras::ErrorInvalidHandle)
                break;
        }
    }
}

void Conn_RAS::offerHangUpAtExit() {
    const Shell::Answer answer =
        m_shell.messageBox(QStringLiteral("Vuoi chiudere la connessione Internet (S/N) ?"),
                           QStringLiteral("Fine programma"), Shell::Icon::None, Shell::Buttons::OkCancel);
    if (answer == Shell::Answer::Ok)
        HangUpAll(kAllConnections);
}

void Conn_RAS::showLater(const QString& text, const QString& title, Shell::Icon icon) {
    QMetaObject::invokeMethod(
        this, [this, text, title, icon] { m_shell.messageBox(text, title, icon, Shell::Buttons::Ok); },
        Qt::QueuedConnection);
}

void Conn_RAS::setPhase(Phase phase) {
    const bool wasInProgress = dialInProgress();
    m_phase = phase;
    if (wasInProgress && !dialInProgress())
        emit dialEnded();
}

void Conn_RAS::stopTick() {
    m_timer.stop();
}
