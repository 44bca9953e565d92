#include "data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace core {

namespace {
const QString kSubfolder = QStringLiteral("quotazioni-euribor");

// A new file with the user's umask, like the history files (a copy would keep the installed file's
// mode), synced before it is renamed into place.
bool copyFile(const QString& source, const QString& target) {
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const QByteArray bytes = in.readAll();
    return in.error() == QFileDevice::NoError && out.write(bytes) == bytes.size() && out.flush() &&
           ::fsync(out.handle()) == 0;
}
} // namespace

QStringList seededFiles() {
    return {QStringLiteral("Euribor_PORTALEDATI.txt"), QStringLiteral("EURIBOR.MDB")};
}

DataFolder chooseDataFolder(const QString& executableFolder, const QString& explicitFolder,
                            const QString& userFolder, const QStringList& sharedFolders) {
    if (explicitFolder.isEmpty()) {
        const QFileInfo exe(executableFolder);
        if (QFileInfo::exists(QDir(executableFolder).filePath(QStringLiteral("EURIBOR.MDB"))) &&
            exe.isWritable())
            return {QDir::cleanPath(exe.absoluteFilePath()), {}};
    }
    const QString folder =
        QDir::cleanPath(QFileInfo(explicitFolder.isEmpty() ? userFolder : explicitFolder).absoluteFilePath());
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return {{}, QStringLiteral("Impossibile creare la cartella dei dati: ") + folder};
    const QDir dir(folder);
    // A folder that already keeps a history lost its database: an empty one would hide every earlier
    // day, so it is left missing and the database's open says so.
    const bool hasHistory = QFileInfo::exists(dir.filePath(QStringLiteral("Storico_Euribor.TXT"))) ||
                            QFileInfo::exists(dir.filePath(QStringLiteral("Storico_Euribor.CSV")));
    for (const QString& name : seededFiles()) {
        const QString target = dir.filePath(name);
        if (QFileInfo::exists(target) || (hasHistory && name == QStringLiteral("EURIBOR.MDB")))
            continue;
        QString source;
        for (const QString& shared : sharedFolders) {
            const QString candidate = QDir(shared).filePath(name);
            if (QFileInfo(candidate).isFile()) {
                source = candidate;
                break;
            }
        }
        if (source.isEmpty())
            return {{},
                    QStringLiteral("Manca il file ") + name +
                        QStringLiteral(" dei dati installati: impossibile preparare la cartella ") + folder};
        // Copied under another name and renamed, so a copy cut short is never taken for the file.
        // Named after the process: two copies seeding a new folder at once do not take each other's.
        const QString part =
            target + QStringLiteral(".parziale.") + QString::number(QCoreApplication::applicationPid());
        QFile::remove(part);
        if (!copyFile(source, part) || !QFile::rename(part, target)) {
            QFile::remove(part);
            return {{}, QStringLiteral("Impossibile copiare ") + source + QStringLiteral(" in ") + folder};
        }
    }
    return {folder, {}};
}

QString userDataFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(kSubfolder);
}

QStringList sharedDataFolders(const QString& executableFolder) {
    QStringList out{QDir::cleanPath(executableFolder + QStringLiteral("/../share/") + kSubfolder)};
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        out.append(QDir(dir).filePath(kSubfolder));
    out.removeDuplicates();
    return out;
}

} // namespace core
