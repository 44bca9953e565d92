#pragma once
// A Shell that never opens anything: it records every box and answers from a script. A box that
// offers a choice and has no scripted answer fails the test. Widget-free: printing is only counted
// here; the window's fixture grabs the window.

#include "shell.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <deque>
#include <functional>

class FakeShell : public Shell {
public:
    struct Box {
        QString text, title;
        Icon icon;
        Buttons buttons;
    };

    Answer messageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    void beep() override { ++beeps; }
    void setBusyPointer(bool busy) override { this->busy = busy; }
    void processEvents() override {
        ++eventPasses;
        if (onProcessEvents)
            onProcessEvents();
    }
    void waitForEvents(int) override {
        ++waits;
        if (onProcessEvents)
            onProcessEvents();
    }
    QString chooseFile(QWidget*, const QString& initialFolder) override {
        dialogFolders.append(initialFolder);
        return nextFile;
    }
    void printWindow(QWidget*) override { ++prints; }
    void endProgram() override { ended = true; }

    QStringList texts() const;

    std::deque<Answer> answers; // for boxes with a choice
    QVector<Box> boxes;
    int beeps = 0, eventPasses = 0, waits = 0, prints = 0;
    bool busy = false;
    bool ended = false;
    QString nextFile;
    QStringList dialogFolders;
    std::function<void()> onProcessEvents;
    std::function<void(const Box&)> onBox;
};
