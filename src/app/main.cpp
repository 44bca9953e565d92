// Main: reads the dial-up credentials into the login window, loads the main window and shows it.

#include "conn_ras.h"
#include "connection_state.h"
#include "context.h"
#include "form1.h"
#include "login_ras.h"
#include "nm_dial_service.h"
#include "qt_page_fetcher.h"
#include "shell_qt.h"
#include "startup_files.h"

#include <QApplication>
#include <QDBusConnection>
#include <QLibraryInfo>
#include <QTranslator>

#ifndef EURIBOR_PAGE_URL
#error "EURIBOR_PAGE_URL must be defined by the build"
#endif

namespace {

class SystemClock : public Clock {
public:
    QDate today() const override { return QDate::currentDate(); }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(appTitle());

    // Qt's own texts (standard buttons, the file dialog) in Italian, whatever the machine's language.
    QTranslator qtItalian;
    if (qtItalian.load(QStringLiteral("qtbase_it"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtItalian);

    const QString folder = QCoreApplication::applicationDirPath();
    const QString pageUrl = QStringLiteral(EURIBOR_PAGE_URL);

    QtShell shell;
    QtPageFetcher fetcher;
    SystemClock clock;
    NmConnectionState connection(QDBusConnection::systemBus(), pageUrl);

    Login_RAS login;
    if (const auto credentials = parseCredentials(readAllLines(folder + QStringLiteral("/RAS_QX.DLL")))) {
        login.Text1->setText(credentials->connectionName);
        login.Text2->setText(credentials->userName);
        login.Text3->setText(credentials->password);
    }

    const std::unique_ptr<DialService> dialService = createSystemDialService();
    Conn_RAS dialup(shell, *dialService, login);

    AppContext context;
    context.shell = &shell;
    context.fetcher = &fetcher;
    context.clock = &clock;
    context.connection = &connection;
    context.dialup = &dialup;
    context.programFolder = folder;
    context.locale = QLocale::system();
    context.pageUrl = pageUrl;

    form1 window(context, &login);
    window.Form_Load();
    // The database could not be opened: the window was never shown.
    if (window.ending())
        return 1;
    window.show();
    return QApplication::exec();
}
