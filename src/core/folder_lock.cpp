#include "folder_lock.h"

#include <QDir>

namespace core {

FolderLock::FolderLock(const QString& folder)
    : m_lock(QDir(folder).filePath(QStringLiteral(".euribor.lock"))) {
    // A window may stay open for days: only a holder that is gone makes the lock stale.
    m_lock.setStaleLockTime(0);
}

bool FolderLock::acquire(int waitMs) {
    return m_lock.tryLock(waitMs);
}

QString FolderLock::busyMessage(const QString& folder) {
    return QStringLiteral("Quotazioni Euribor è già in esecuzione sulla cartella dei dati ") + folder +
           QStringLiteral(": questa copia termina senza toccare nulla.");
}

} // namespace core
