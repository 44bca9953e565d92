// The window, loaded by the program only to show it: Qt Widgets, the fonts, the printer and the
// dial-up login are never loaded by the windowless commands the timer runs. Reads the dial-up
// credentials into the login window, loads the main window and shows it.

#include "command_line.h"
#include "conn_ras.h"
#include "connection_state.h"
#include "context.h"
#include "data_folder.h"
#include "folder_lock.h"
#include "form1.h"
#include "login_ras.h"
#include "nm_dial_service.h"
#include "page_address.h"
#include "qt_page_fetcher.h"
#include "shell_qt.h"
#include "startup_files.h"
#include "window_module.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QImageReader>
#include <QLibraryInfo>
#include <QPixmap>
#include <QTranslator>

namespace {

class SystemClock : public Clock {
public:
    QDate today() const override { return QDate::currentDate(); }
};

} // namespace

extern "C" int euribor_run_window(int argc, char* argv[], const CommandLine& commandLine,
                                  const QString& pageUrl) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(appTitle());
    // The launcher's id lets the desktop match the window to it (the Wayland app id), and the icon
    // shows in the dock and the task switcher. A bundled PNG made a pixmap, which Qt decodes itself:
    // looking the icon up in the theme, or a file's icon engine among the plugins, cost a tenth of the
    // whole start.
    QGuiApplication::setDesktopFileName(QStringLiteral("it.quotazionieuribor.QuotazioniEuribor"));
    QImageReader icon(QStringLiteral(":/quotazioni-euribor.png"), "png");
    icon.setAutoDetectImageFormat(false); // else every image plugin is loaded to be asked first
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon.read())));

    // Qt's own texts (standard buttons, the file dialog) in Italian, whatever the machine's language.
    QTranslator qtItalian;
    if (qtItalian.load(QStringLiteral("qtbase_it"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtItalian);

    QtShell shell;
    const core::DataFolder data = dataFolderOf(commandLine);
    if (data.path.isEmpty()) {
        shell.message(data.error);
        return 2;
    }
    const QString folder = data.path;
    // A second copy on the same folder would record every line twice.
    core::FolderLock lock(folder);
    if (const auto held = lock.acquire(0); held != core::FolderLock::Result::Acquired) {
        const bool busy = held == core::FolderLock::Result::Busy;
        shell.message(busy ? core::FolderLock::busyMessage(folder) : lock.unwritableMessage());
        return busy ? 3 : 2;
    }

    QtPageFetcher fetcher;
    SystemClock clock;
    NmConnectionState connection(QDBusConnection::systemBus(), pageUrl);

    Login_RAS login;
    const QString credentialsPath = folder + QStringLiteral("/RAS_QX.DLL");
    QString refused;
    const QStringList credentialLines = readAllLines(credentialsPath, &refused);
    if (!refused.isEmpty())
        shell.message(refused);
    if (const auto credentials = parseCredentials(credentialLines)) {
        login.Text1->setText(credentials->connectionName);
        login.Text2->setText(credentials->userName);
        login.Text3->setText(credentials->password);
    }

    const std::unique_ptr<DialService> dialService = createSystemDialService();
    Conn_RAS dialup(shell, *dialService);
    login.attach(&dialup);

    AppContext context;
    context.shell = &shell;
    context.fetcher = &fetcher;
    context.clock = &clock;
    context.connection = &connection;
    context.dialup = &dialup;
    context.programFolder = folder;
    context.locale = QLocale::system();
    context.pageUrl = pageUrl;
    context.settingsFile = core::settingsFilePath();

    form1 window(context, &login);
    window.Form_Load();
    // The database could not be opened: the window was never shown.
    if (window.ending())
        return 1;
    window.show();
    // For measuring a whole start (bench/start_ratio): end once the daily cycle has run. An exit
    // asked for any earlier would end the cycle's own waits at once.
    if (qEnvironmentVariableIsSet("EURIBOR_QUIT_AFTER_CYCLE"))
        QObject::connect(
            &window, &form1::cycleEnded, &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    const int rc = QApplication::exec();
    window.closeFiles();
    return rc;
}
