#pragma once
// One copy of the program at a time on a data folder: a lock file that a crashed copy does not leave
// stuck (the holder's process is checked, not the file's age).

#include <QLockFile>
#include <QString>

namespace core {

class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    enum class Result { Acquired, Busy, Unwritable };
    // Waits up to waitMs for another copy to let go. Busy: another copy still holds the folder;
    // Unwritable: no lock file can be made there (permissions, a full disk).
    Result acquire(int waitMs);
    // Lets go now rather than when destroyed.
    void release() { m_lock.unlock(); }
    // The messages for a folder another copy holds, and for one where no lock can be made.
    static QString busyMessage(const QString& folder);
    static QString unwritableMessage(const QString& folder);

private:
    QLockFile m_lock;
};

} // namespace core
