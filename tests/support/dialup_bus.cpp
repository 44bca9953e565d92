#include "dialup_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>

#ifndef EURIBOR_SOURCE_DIR
#error "EURIBOR_SOURCE_DIR must be defined by the build"
#endif

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QString fixtures() {
    return QStringLiteral(EURIBOR_SOURCE_DIR "/tests/fixtures");
}

// A child of the test ends with it, even when the test crashes.
void endWithTheTest(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

QProcessEnvironment mockEnvironment(const QString& address) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
    env.insert(QStringLiteral("PYTHONPATH"), fixtures());
    return env;
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, int boundMs) {
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

PrivateBus::PrivateBus() {
    endWithTheTest(m_daemon);
    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
}

NetworkManagerMock::NetworkManagerMock(const QString& busAddress)
    : m_address(busAddress) {
    endWithTheTest(m_mock);
    m_mock.setProcessEnvironment(mockEnvironment(busAddress));
    m_mock.setStandardOutputFile(QProcess::nullDevice());
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_mock.start(kPython, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                           QStringLiteral("networkmanager")});
    if (!m_mock.waitForStarted(10000))
        return;
    const QString watch = QStringLiteral("dialup-mock-watch");
    {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress, watch);
        m_ready = waitUntil([&] {
            return bus.interface()
                ->isServiceRegistered(QStringLiteral("org.freedesktop.NetworkManager"))
                .value();
        });
    }
    QDBusConnection::disconnectFromBus(watch);
}

NetworkManagerMock::~NetworkManagerMock() {
    m_mock.terminate();
    if (!m_mock.waitForFinished(5000))
        m_mock.kill();
}

QString NetworkManagerMock::run(const QString& code) const {
    QProcess python;
    endWithTheTest(python);
    python.setProcessEnvironment(mockEnvironment(m_address));
    python.start(kPython, {QStringLiteral("-c"), QStringLiteral("from dialup_nm_mock import *\n") + code});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        ADD_FAILURE() << "mock script failed: " << code.toStdString() << "\n"
                      << python.readAllStandardError().toStdString();
        return QString();
    }
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
}
