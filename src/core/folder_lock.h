#pragma once
// One copy of the program at a time on a data folder: a lock the kernel holds for the process
// (flock on .euribor.lock), so a copy that crashed, or a lock file left empty or garbled by a power
// cut, never keeps the folder: only a live holder does.

#include <QString>

namespace core {

class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    enum class Result { Acquired, Busy, Unwritable };
    // Waits up to waitMs for another copy to let go. Busy: another copy still holds the folder;
    // Unwritable: no lock file can be made or written there (permissions, a full disk).
    Result acquire(int waitMs);
    // Lets go now rather than when destroyed; the lock file goes with it.
    void release();

    // The messages for a folder another copy holds, and for one where no lock can be made (saying
    // why, from the last acquire).
    static QString busyMessage(const QString& folder);
    QString unwritableMessage() const;

private:
    QString m_folder;
    QString m_path;
    int m_fd = -1;
    int m_error = 0; // errno of the last failure to make or write the lock file
};

} // namespace core
