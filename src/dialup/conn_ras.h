#pragma once
// Conn_RAS: the dial-up module. Dials an entry when the machine is offline, follows the dial every
// 500 ms, hangs the current connection up on request and every dial-up connection at exit. It owns no
// widget: the login window shows what its signals tell. Messages go through the Shell; the dialling
// itself through a DialService.

#include "dial_service.h"
#include "shell.h"

#include <QObject>
#include <QString>
#include <QTimer>

class Conn_RAS : public QObject {
    Q_OBJECT
public:
    // Where the last dial stands.
    enum class Phase { Idle, Requesting, Dialling, Connected, Refused, Failed, Disconnected };
    static constexpr qint64 kAllConnections = -1;
    static constexpr int kTickMs = 500;
    static constexpr int kMaxHangUpAttempts = 1000;
    static constexpr int kMaxFieldLength = 256;

    Conn_RAS(Shell& shell, DialService& service, QObject* parent = nullptr);

    // Starts a dial and the status tick, or reports why the dial was refused. Returns at once.
    void DialConnection(const QString& connectionName, const QString& userName, const QString& password);
    // The timer's work: read the dial's status, tell its text, act on Connected and Disconnected. It
    // never opens a box itself: the Disconnected box opens once the tick has returned.
    void StatusTick();
    // Asks the current connection to drop; never waits for it.
    void HangUpCurrent();
    // Hangs up every open dial-up connection (kAllConnections) or the one with that handle, each with
    // at most kMaxHangUpAttempts attempts, letting events run before each.
    void HangUpAll(qint64 handle);
    // The question at exit; on OK every dial-up connection is hung up.
    void offerHangUpAtExit();

    Phase phase() const { return m_phase; }
    // True from the dial request until it connects, fails, is refused or reads Disconnected.
    bool dialInProgress() const { return m_phase == Phase::Requesting || m_phase == Phase::Dialling; }
    // Whether the status tick is scheduled (the timer id of old is non-zero).
    bool tickRunning() const { return m_timer.isActive(); }

    QString ConnName, ConnUser, ConnPassword;
    DialHandle ConnHandle = 0;
    QString LastStatusText;

signals:
    // The status line's new text: the dial's progress or why it failed.
    void statusText(const QString& text);
    // The line is up: the cancel button now disconnects.
    void connected();
    // The dial connected, failed, was refused or read Disconnected.
    void dialEnded();

private:
    void dialAnswered(int result);
    // Opens the box from the event loop, after the caller (the tick, a dial's answer) has returned.
    void showLater(const QString& text, const QString& title, Shell::Icon icon);
    void setPhase(Phase phase);
    void stopTick();

    Shell& m_shell;
    DialService& m_service;
    QTimer m_timer;
    Phase m_phase = Phase::Idle;
    quint64 m_request = 0; // answers to an earlier request are ignored
};
