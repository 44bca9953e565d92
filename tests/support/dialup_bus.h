#pragma once
// A private D-Bus daemon the test starts, and python-dbusmock's NetworkManager template on it.

#include <QProcess>
#include <QString>

#include <functional>

// Runs the event loop until the condition holds; the bound only keeps a broken test from hanging.
bool waitUntil(const std::function<bool()>& condition, int boundMs = 15000);

// Children of the test end with it, even when it crashes; stopChild ends one politely.
void stopChild(QProcess& child);

// Starts dbus-daemon as a child of the test; its address, or empty when it did not start.
QString startPrivateBus(QProcess& daemon);

// Starts the NetworkManager template on the bus; true once it owns its name.
bool startNetworkManagerMock(QProcess& mock, const QString& busAddress);

// Runs Python against the mock with tests/fixtures/dialup_nm_mock.py imported; returns its output,
// trimmed. A failing script fails the test.
QString runMockScript(const QString& busAddress, const QString& code);
