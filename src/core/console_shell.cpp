#include "console_shell.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

Shell::Answer ConsoleShell::messageBox(const QString& text, const QString& title, Icon, Buttons buttons) {
    // Boxes use CR and CR LF inside their texts; a terminal line wants neither.
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    while (line.endsWith(u'\n'))
        line.chop(1);
    if (title != appTitle())
        m_err << title << QStringLiteral(": ");
    m_err << line << Qt::endl;
    // "Annulla": no retry for ever, no hang-up nobody asked for.
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

void ConsoleShell::processEvents() {
    QCoreApplication::processEvents();
}

void ConsoleShell::waitForEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
