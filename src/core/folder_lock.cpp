#include "folder_lock.h"

#include <QDir>

namespace core {

FolderLock::FolderLock(const QString& folder)
    : m_lock(QDir(folder).filePath(QStringLiteral(".euribor.lock"))) {
    // A window may stay open for days: only a holder that is gone makes the lock stale.
    m_lock.setStaleLockTime(0);
}

FolderLock::Result FolderLock::acquire(int waitMs) {
    if (m_lock.tryLock(waitMs))
        return Result::Acquired;
    return m_lock.error() == QLockFile::LockFailedError ? Result::Busy : Result::Unwritable;
}

QString FolderLock::busyMessage(const QString& folder) {
    return QStringLiteral("Quotazioni Euribor è già in esecuzione sulla cartella dei dati ") + folder +
           QStringLiteral(": questa copia termina senza toccare nulla.");
}

QString FolderLock::unwritableMessage(const QString& folder) {
    return QStringLiteral("Impossibile scrivere nella cartella dei dati ") + folder +
           QStringLiteral(": questa copia termina senza toccare nulla.");
}

} // namespace core
