#pragma once
// Where the history lives: the program's own folder when it is a portable folder (it holds the
// database and can be written), else the user's data folder, laid out on first start from the
// installed shared data. Nothing that exists is ever overwritten.

#include <QString>
#include <QStringList>

namespace core {

// The files a data folder must start with, laid from the shared data when missing.
QStringList seededFiles();

struct DataFolder {
    QString path;  // empty when no folder could be had
    QString error; // why, in Italian
};

// explicitFolder (from the command line) wins; then the executable's folder when it holds
// EURIBOR.MDB and is writable; then userFolder. A folder other than the executable's is created
// when missing and gets every seeded file it lacks from the first of sharedFolders that has it.
DataFolder chooseDataFolder(const QString& executableFolder, const QString& explicitFolder,
                            const QString& userFolder, const QStringList& sharedFolders);

// The user's data folder ($XDG_DATA_HOME/quotazioni-euribor) and the places the shared data may be
// installed in, nearest to the executable first.
QString userDataFolder();
QStringList sharedDataFolders(const QString& executableFolder);

} // namespace core
