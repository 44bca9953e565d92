// Main: the command line decides between the window, the windowless daily update, the report of
// the missing days, the import of rate histories and the saving of the page's address. The window
// lives in a module of its own, loaded only to show it.

#include "command_line.h"
#include "data_folder.h"
#include "gaps_command.h"
#include "import_command.h"
#include "page_address.h"
#include "qt_page_fetcher.h"
#include "update_command.h"
#include "window_module.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

#include <dlfcn.h>

#ifndef EURIBOR_PAGE_URL
#error "EURIBOR_PAGE_URL must be defined by the build"
#endif
#ifndef EURIBOR_VERSION
#error "EURIBOR_VERSION must be defined by the build"
#endif

namespace {

// A command without a window, display or anybody to answer: it runs on the data folder, or says on
// standard error why there is none and ends with failed.
template <typename Command>
int runInFolder(int argc, char* argv[], const CommandLine& commandLine, int failed, Command command) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const core::DataFolder folder = dataFolderOf(commandLine);
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

// The window's module: beside the program in a build folder, in the package's library folder once
// installed. Its libraries are loaded with it, never by the commands above.
int runWindow(int argc, char* argv[], const CommandLine& commandLine, const QString& pageUrl) {
    const QString exeDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    QString module = exeDir + QStringLiteral("/" EURIBOR_WINDOW_MODULE);
    if (!QFileInfo::exists(module))
        module = exeDir + QStringLiteral("/../" EURIBOR_MODULE_DIR "/" EURIBOR_WINDOW_MODULE);
    void* handle = dlopen(QFile::encodeName(module).constData(), RTLD_NOW | RTLD_LOCAL);
    const auto run = handle ? reinterpret_cast<RunWindow*>(dlsym(handle, "euribor_run_window")) : nullptr;
    if (!run) {
        std::fprintf(stderr, "euribor: impossibile caricare la finestra del programma: %s\n", dlerror());
        return 2;
    }
    return run(argc, argv, commandLine, pageUrl);
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
