#pragma once
// The desktop behind the Shell seam: Qt message boxes, pointer, file dialog and the default printer.

#include "shell.h"

class QPagedPaintDevice;

// Draws an image of the window's client area on the first page of device, scaled to the page.
// Returns false when the device cannot be painted on.
bool paintWindowImage(QWidget* window, QPagedPaintDevice& device);

class QtShell : public Shell {
public:
    Answer messageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    void beep() override;
    void setBusyPointer(bool busy) override;
    void processEvents() override;
    void waitForEvents(int ms) override;
    QString chooseFile(QWidget* parent, const QString& initialFolder) override;
    void printWindow(QWidget* window) override;
    void endProgram() override;

private:
    bool m_busy = false;
};
