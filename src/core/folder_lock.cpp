#include "folder_lock.h"

#include "file_channels.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

bool sameFile(int fd, const QByteArray& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Who holds the folder, in the layout other Qt programs read from a lock file: pid, program, host.
QByteArray holder() {
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
           QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
           QSysInfo::machineHostName().toUtf8() + '\n';
}

} // namespace

FolderLock::FolderLock(const QString& folder)
    : m_folder(folder)
    , m_path(QDir(folder).filePath(QStringLiteral(".euribor.lock"))) {}

FolderLock::~FolderLock() {
    release();
}

FolderLock::Result FolderLock::acquire(int waitMs) {
    if (m_fd >= 0)
        return Result::Acquired;
    const QByteArray path = QFile::encodeName(m_path);
    const QDeadlineTimer deadline(waitMs);
    while (true) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            m_error = errno;
            return Result::Unwritable;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The holder before us removed the file between our open and our lock: lock the new one.
            if (!sameFile(fd, path)) {
                ::close(fd);
                continue;
            }
            const int failed = ::ftruncate(fd, 0) != 0 ? errno : writeWhole(fd, holder());
            if (failed != 0) {
                m_error = failed;
                ::unlink(path.constData());
                ::close(fd);
                return Result::Unwritable;
            }
            m_fd = fd;
            return Result::Acquired;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK && error != EINTR) {
            m_error = error;
            return Result::Unwritable;
        }
        if (deadline.hasExpired())
            return Result::Busy;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(100, deadline.remainingTime())));
    }
}

void FolderLock::release() {
    if (m_fd < 0)
        return;
    // Removed while still held, so no other copy ever locks a file that is about to go.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

QString FolderLock::busyMessage(const QString& folder) {
    return QStringLiteral("Quotazioni Euribor è già in esecuzione sulla cartella dei dati ") + folder +
           QStringLiteral(": questa copia termina senza toccare nulla.");
}

QString FolderLock::unwritableMessage() const {
    QString cause;
    switch (m_error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        cause = QStringLiteral(" (disco pieno)");
        break;
    case EACCES:
    case EPERM:
        cause = QStringLiteral(" (permesso negato)");
        break;
    case EROFS:
        cause = QStringLiteral(" (disco in sola lettura)");
        break;
    case ENOENT:
    case ENOTDIR:
        cause = QStringLiteral(" (la cartella non esiste)");
        break;
    default:
        break;
    }
    return QStringLiteral("Impossibile scrivere nella cartella dei dati ") + m_folder + cause +
           QStringLiteral(": questa copia termina senza toccare nulla.");
}

} // namespace core
