#include "dialup_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>

namespace {

void startChild(QProcess& process, const QString& program, const QStringList& arguments,
                const QString& busAddress = QString()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress);
    env.insert(QStringLiteral("PYTHONPATH"), QStringLiteral(EURIBOR_SOURCE_DIR "/tests/fixtures"));
    process.setProcessEnvironment(env);
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(program, arguments);
}

} // namespace

bool waitUntil(const std::function<bool()>& condition, int boundMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    if (!condition())
        loop.exec();
    return condition();
}

void stopChild(QProcess& child) {
    child.terminate();
    if (!child.waitForFinished(5000))
        child.kill();
}

QString startPrivateBus(QProcess& daemon) {
    startChild(
        daemon, QStringLiteral("dbus-daemon"),
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    while (!daemon.canReadLine() && daemon.waitForReadyRead(10000)) {
    }
    return QString::fromUtf8(daemon.readLine()).trimmed();
}

bool startNetworkManagerMock(QProcess& mock, const QString& busAddress) {
    mock.setStandardOutputFile(QProcess::nullDevice());
    mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    startChild(mock, QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                QStringLiteral("networkmanager")},
               busAddress);
    const QString watch = QStringLiteral("dialup-mock-watch");
    bool ready = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress, watch);
        ready =
            mock.waitForStarted(10000) && waitUntil([&] {
                return bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.NetworkManager"));
            });
    }
    QDBusConnection::disconnectFromBus(watch);
    return ready;
}

QString runMockScript(const QString& busAddress, const QString& code) {
    QProcess python;
    startChild(python, QStringLiteral("/usr/bin/python3"),
               {QStringLiteral("-c"), QStringLiteral("from dialup_nm_mock import *\n") + code}, busAddress);
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        ADD_FAILURE() << "mock script failed: " << code.toStdString() << "\n"
                      << python.readAllStandardError().toStdString();
        return QString();
    }
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
}
