#pragma once
// The Shell of the windowless update: nobody is there to answer, so every message goes to standard
// error (the same Italian text a box would show) and every question takes its cautious answer.

#include "shell.h"

#include <QTextStream>

class ConsoleShell : public Shell {
public:
    explicit ConsoleShell(QTextStream& err)
        : m_err(err) {}

    Answer messageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    void beep() override {}
    void setBusyPointer(bool) override {}
    void processEvents() override;
    void waitForEvents(int ms) override;
    QString chooseFile(QWidget*, const QString&) override { return {}; }
    void printWindow(QWidget*) override {}
    void endProgram() override { m_ended = true; }

    bool ended() const { return m_ended; }

private:
    QTextStream& m_err;
    bool m_ended = false;
};
