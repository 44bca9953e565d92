// Main: the command line decides between the window, the windowless daily update, the report of
// the missing days, the import of rate histories and the saving of the page's address. The window:
// reads the dial-up credentials into the login window, loads the main window and shows it.

#include "command_line.h"
#include "conn_ras.h"
#include "connection_state.h"
#include "context.h"
#include "data_folder.h"
#include "folder_lock.h"
#include "form1.h"
#include "gaps_command.h"
#include "import_command.h"
#include "login_ras.h"
#include "nm_dial_service.h"
#include "page_address.h"
#include "qt_page_fetcher.h"
#include "shell_qt.h"
#include "startup_files.h"
#include "update_command.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QImageReader>
#include <QLibraryInfo>
#include <QPixmap>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

#ifndef EURIBOR_PAGE_URL
#error "EURIBOR_PAGE_URL must be defined by the build"
#endif
#ifndef EURIBOR_VERSION
#error "EURIBOR_VERSION must be defined by the build"
#endif

namespace {

class SystemClock : public Clock {
public:
    QDate today() const override { return QDate::currentDate(); }
};

core::DataFolder dataFolder(const CommandLine& commandLine) {
    const QString exe = QCoreApplication::applicationDirPath();
    return core::chooseDataFolder(exe, commandLine.folder, core::userDataFolder(),
                                  core::sharedDataFolders(exe));
}

// A command without a window, display or anybody to answer: it runs on the data folder, or says on
// standard error why there is none and ends with failed.
template <typename Command>
int runInFolder(int argc, char* argv[], const CommandLine& commandLine, int failed, Command command) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const core::DataFolder folder = dataFolder(commandLine);
    if (folder.path.isEmpty()) {
        err << folder.error << Qt::endl;
        return failed;
    }
    return command(folder.path, out, err);
}

// The daily update for the timer.
int runUpdate(int argc, char* argv[], const CommandLine& commandLine, const QString& pageUrl) {
    return runInFolder(
        argc, argv, commandLine, core::NoneRecorded,
        [&](const QString& folder, QTextStream& out, QTextStream& err) {
            QtPageFetcher fetcher;
            core::UpdateCommand command{folder, pageUrl, QLocale::system(), QDate::currentDate()};
            command.now = QDateTime::currentDateTime();
            command.notify = !commandLine.silent;
            return core::runUpdateCommand(command, fetcher, out, err);
        });
}

int runWindow(int argc, char* argv[], const CommandLine& commandLine, const QString& pageUrl) {
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
    const core::DataFolder data = dataFolder(commandLine);
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

} // namespace

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = parseCommandLine(args, QStringLiteral(EURIBOR_VERSION));
    switch (commandLine.mode) {
    case CommandLine::Mode::Help:
    case CommandLine::Mode::Version:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Mode::Refused:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stderr);
        return 2;
    case CommandLine::Mode::SetAddress: {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return core::runSetAddressCommand(core::settingsFilePath(), commandLine.address, out, err);
    }
    case CommandLine::Mode::Gaps:
        // Read only: it neither waits for nor takes the data folder's lock.
        return runInFolder(argc, argv, commandLine, core::GapsNotRead,
                           [&](const QString& folder, QTextStream& out, QTextStream& err) {
                               return core::runGapsCommand(
                                   {folder, commandLine.tenor, QDateTime::currentDateTime()}, out, err);
                           });
    case CommandLine::Mode::Import:
        // It records, so it holds the data folder like the update.
        return runInFolder(argc, argv, commandLine, core::NothingImported,
                           [&](const QString& folder, QTextStream& out, QTextStream& err) {
                               return core::runImportCommand({folder, commandLine.files, commandLine.tenor,
                                                              commandLine.overwrite, QLocale::system()},
                                                             out, err);
                           });
    case CommandLine::Mode::Update:
    case CommandLine::Mode::Window:
        break;
    }
    const core::PageAddress address = core::resolvePageAddress(commandLine.provider, core::settingsFilePath(),
                                                               QStringLiteral(EURIBOR_PAGE_URL));
    if (!address.warning.isEmpty())
        std::fputs((address.warning + u'\n').toLocal8Bit().constData(), stderr);
    const QString pageUrl = address.url;
    if (commandLine.mode == CommandLine::Mode::Update)
        return runUpdate(argc, argv, commandLine, pageUrl);
    return runWindow(argc, argv, commandLine, pageUrl);
}
