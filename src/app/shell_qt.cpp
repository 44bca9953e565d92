#include "shell_qt.h"

#include "log.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>

Shell::Answer QtShell::messageBox(const QString& text, const QString& title, Icon icon, Buttons buttons) {
    QString logged = text;
    logged.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ');
    qCWarning(lcMessages).noquote() << title << u'|' << logged;
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(icon == Icon::Information ? QMessageBox::Information
                : icon == Icon::Critical  ? QMessageBox::Critical
                                          : QMessageBox::NoIcon);
    QPushButton* ok = nullptr;
    QPushButton* retry = nullptr;
    QPushButton* cancel = nullptr;
    switch (buttons) {
    case Buttons::Ok:
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        break;
    case Buttons::OkCancel:
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        cancel = box.addButton(QStringLiteral("Annulla"), QMessageBox::RejectRole);
        break;
    case Buttons::RetryCancel:
        retry = box.addButton(QStringLiteral("Riprova"), QMessageBox::AcceptRole);
        cancel = box.addButton(QStringLiteral("Annulla"), QMessageBox::RejectRole);
        break;
    }
    box.setDefaultButton(ok ? ok : retry);
    if (cancel)
        box.setEscapeButton(cancel);
    // The message must be readable over the hourglass.
    const bool wasBusy = m_busy;
    if (wasBusy)
        setBusyPointer(false);
    box.exec();
    if (wasBusy)
        setBusyPointer(true);
    if (box.clickedButton() == retry && retry)
        return Answer::Retry;
    if (box.clickedButton() == ok && ok)
        return Answer::Ok;
    return Answer::Cancel;
}

void QtShell::beep() {
    QApplication::beep();
}

void QtShell::setBusyPointer(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtShell::processEvents() {
    QCoreApplication::processEvents();
}

void QtShell::waitForEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString QtShell::chooseFile(QWidget* parent, const QString& initialFolder) {
    const bool wasBusy = m_busy;
    if (wasBusy)
        setBusyPointer(false);
    const QString file = QFileDialog::getOpenFileName(parent, QString(), initialFolder);
    if (wasBusy)
        setBusyPointer(true);
    return file;
}

bool paintWindowImage(QWidget* window, QPagedPaintDevice& device) {
    if (!window)
        return false;
    const QImage image = window->grab().toImage();
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRect page = painter.viewport();
    QSize size = image.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(image.rect());
    painter.drawImage(0, 0, image);
    return painter.end();
}

void QtShell::printWindow(QWidget* window) {
    // No printer, or one that fails: nothing is printed and nothing is said.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return;
    QPrinter printer(info, QPrinter::HighResolution);
    paintWindowImage(window, printer);
}

void QtShell::endProgram() {
    QCoreApplication::exit(0);
}
