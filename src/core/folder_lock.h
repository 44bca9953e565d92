#pragma once
// One copy of the program at a time on a data folder: a lock file that a crashed copy does not leave
// stuck (the holder's process is checked, not the file's age).

#include <QLockFile>
#include <QString>

namespace core {

class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    // Waits up to waitMs for another copy to let go; false when it still holds the folder.
    bool acquire(int waitMs);
    // The message for a folder another copy holds.
    static QString busyMessage(const QString& folder);

private:
    QLockFile m_lock;
};

} // namespace core
