#pragma once
// A private D-Bus daemon started by the test, and python-dbusmock's NetworkManager template on it.

#include <QProcess>
#include <QString>

#include <functional>

// Runs the event loop until the condition holds or the bound passes; the condition's last value.
// The bound only keeps a broken test from hanging.
bool waitUntil(const std::function<bool()>& condition, int boundMs = 15000);

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

class NetworkManagerMock {
public:
    explicit NetworkManagerMock(const QString& busAddress);
    ~NetworkManagerMock();
    NetworkManagerMock(const NetworkManagerMock&) = delete;
    NetworkManagerMock& operator=(const NetworkManagerMock&) = delete;

    bool ready() const { return m_ready; }
    // Runs Python against the mock with the helpers of tests/fixtures/dialup_nm_mock.py imported;
    // returns its standard output, trimmed. A failing script fails the test.
    QString run(const QString& code) const;

private:
    QString m_address;
    QProcess m_mock;
    bool m_ready = false;
};
