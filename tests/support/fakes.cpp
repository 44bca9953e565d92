#include "fakes.h"

#include "runtime_error.h"
#include "vb.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

FileSizeLimit::FileSizeLimit(qint64 limit) {
    ::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit l = m_saved;
    if (limit >= 0)
        l.rlim_cur = static_cast<rlim_t>(limit);
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &l), 0);
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
}

int runtimeErrorOf(const std::function<void()>& f) {
    try {
        f();
        return 0;
    } catch (const rt::RuntimeError& e) {
        return e.number();
    }
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray cp1252Lines(const QStringList& lines, bool finalBreak) {
    return vb::toCp1252(lines.join(QStringLiteral("\r\n")) +
                        (finalBreak ? QStringLiteral("\r\n") : QString()));
}

QString pageRow(const QString& name, const QString& rate, const QString& date) {
    return QStringLiteral("<tr>\r\n<td align=\"left\" class=\"xplanecella\">") + name +
           QStringLiteral("</td>\r\n<td align=\"right\" class=\"xplanerigatabella\">  ") + rate +
           QStringLiteral("</td>\r\n<td align=\"right\" class=\"xplanerigatabella\">  ") + date +
           QStringLiteral("</td>\r\n</tr>\r\n");
}

QString ratePage(const QStringList& rows) {
    return QStringLiteral(
               "<html><head><title>Tassi</title></head><body>\r\n<h1>Dettaglio tassi Euribor</h1>\r\n"
               "<table>\r\n") +
           rows.join(QString()) + QStringLiteral("</table>\r\n</body></html>\r\n");
}

Outcome runProgram(const QString& exe, const QStringList& args, const QStringList& env) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        e.remove(QString::fromLatin1(name));
    e.insert(QStringLiteral("LC_ALL"), QStringLiteral("it_IT.UTF-8"));
    for (const QString& kv : env)
        kv.endsWith(u'=') ? e.remove(kv.chopped(1)) : e.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
    p.setProcessEnvironment(e);
    p.start(exe, args);
    EXPECT_TRUE(p.waitForFinished(120000)) << exe.toStdString();
    return {p.exitStatus() == QProcess::CrashExit ? -1 : p.exitCode(),
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QByteArray samplePage(const QString& day) {
    QFile f(QStringLiteral(EURIBOR_SOURCE_DIR "/data/sample/provider_page.html"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll().replace("{{DATA}}", day.toLatin1());
}
