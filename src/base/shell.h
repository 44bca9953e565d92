#pragma once
// The seam between the program and the desktop: every message box, beep, pointer change, event pass,
// file dialog, print job and the program's end go through here, so tests can script and record them.

#include <QString>

class QWidget;

class Shell {
public:
    enum class Icon { None, Information, Critical };
    enum class Buttons { Ok, OkCancel, RetryCancel };
    enum class Answer { Ok, Cancel, Retry };

    virtual ~Shell() = default;

    virtual Answer messageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) = 0;
    virtual void beep() = 0;
    virtual void setBusyPointer(bool busy) = 0;
    // Lets pending window events run.
    virtual void processEvents() = 0;
    // Lets window events run for up to ms milliseconds, sleeping while none come.
    virtual void waitForEvents(int ms) = 0;
    // The file-open dialog; empty text when the user cancels.
    virtual QString chooseFile(QWidget* parent, const QString& initialFolder) = 0;
    // Prints an image of the window's client area on the default printer; silent when there is none.
    virtual void printWindow(QWidget* window) = 0;
    // Ends the program: its event loop ends once the caller, which stops its own work, returns to
    // it. Files and the database are closed by their owners on the way out.
    virtual void endProgram() = 0;

    // The common case: OK only, no icon, the application's title.
    void message(const QString& text);
};

// The application's title, on the window and on every message box that names no other.
QString appTitle();
