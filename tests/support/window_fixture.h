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

// The page copy of a list of three tenors: 1m, 3m and 6m.
extern const QStringList kThreeTenors;
// A rate page from rows {tenor, rate} dated 04/12/2026, or {tenor, rate, date}.
QString ratesPage(std::initializer_list<std::initializer_list<const char*>> rows);
// The box of a store the database refused, naming its lookup.
QString dbRefusedText(const char* type, const char* date);

// The fake shell of the window's tests: a print grabs the window, and renders it into pdfPath when set.
class WindowShell : public FakeShell {
public:
    void printWindow(QWidget* window) override;
    QVector<QImage> printed;
    QString pdfPath;
};

class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    QString folderFile(const QString& name) const { return dir.filePath(name); }
    QString dbPath() const { return dir.filePath(QStringLiteral("EURIBOR.MDB")); }
    // The shipped page copy of the tenor list, written into the program folder.
    void writePageCopy(const QStringList& lines);
    // Builds the window (after the test has laid its files).
    form1& window();
    // The window built and loaded; reloaded() starts over with a new window and no boxes.
    form1& loaded();
    form1& reloaded();
    // The chosen tenor's rate and date labels, as "rate|date".
    QString labels() const { return form->lblQuote->text() + u'|' + form->lblData->text(); }
    QString historyPath() const { return dir.filePath(QStringLiteral("Storico_Euribor.TXT")); }

    QTemporaryDir dir;
    WindowShell shell;
    FakeFetcher fetcher;
    FakeClock clock;
    FakeConnection connection;
    AppContext context;
    Login_RAS login;
    std::unique_ptr<form1> form;
};
