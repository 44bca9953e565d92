#pragma once
// A main window on fakes, in a temporary program folder.

#include "context.h"
#include "form1.h"
#include "login_ras.h"

#include "fake_shell.h"
#include "fakes.h"

#include <QImage>
#include <QTemporaryDir>
#include <QVector>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

extern const QStringList kThreeTenors; // the page copy of a list of 1m, 3m and 6m
// A rate page from rows {tenor, rate} dated 04/12/2026, or {tenor, rate, date}.
QString ratesPage(std::initializer_list<std::initializer_list<const char*>> rows);
QString dbRefusedText(const char* type, const char* date); // the box of a refused store, naming its lookup

// A print grabs the window, and renders it into pdfPath when set.
class WindowShell : public FakeShell {
public:
    void printWindow(QWidget* window) override;
    QVector<QImage> printed;
    QString pdfPath;
};

class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    QString folderFile(const QString& name) const { return dir.filePath(name); }
    QString dbPath() const { return dir.filePath(QStringLiteral("EURIBOR.MDB")); }
    QString historyPath() const { return dir.filePath(QStringLiteral("Storico_Euribor.TXT")); }
    void writePageCopy(const QStringList& lines); // the shipped copy of the tenor list
    form1& window();                              // built after the test has laid its files
    form1& loaded();
    form1& reloaded(); // a new window, loaded, and no boxes
    QString labels() const { return form->lblQuote->text() + u'|' + form->lblData->text(); }

    QTemporaryDir dir;
    WindowShell shell;
    FakeFetcher fetcher;
    FakeClock clock;
    FakeConnection connection;
    AppContext context;
    Login_RAS login;
    std::unique_ptr<form1> form;
};
