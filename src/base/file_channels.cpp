#include "file_channels.h"

#include "runtime_error.h"
#include "vb.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

#include <unistd.h>

using rt::RuntimeError;

namespace {

QString fileKey(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// The runtime's error for a file that could not be opened, from what the file system says.
[[noreturn]] void raiseOpenError(const QString& path, const QFile& file, bool mustExist) {
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        throw RuntimeError(rt::PathNotFound);
    if (mustExist && !info.exists())
        throw RuntimeError(rt::FileNotFound);
    if (info.isDir())
        throw RuntimeError(rt::PathFileAccessError);
    if (file.error() == QFileDevice::PermissionsError)
        throw RuntimeError(rt::PermissionDenied);
    throw RuntimeError(rt::PathFileAccessError);
}

} // namespace

int writeWhole(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return 0;
}

bool isSpecialFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

FileChannels::~FileChannels() {
    closeAll();
}

FileChannels::Channel* FileChannels::slot(int channel) {
    if (channel < 1 || channel > kChannels)
        throw RuntimeError(rt::BadFileName);
    return m_channels[channel - 1].get();
}

const FileChannels::Channel* FileChannels::slot(int channel) const {
    if (channel < 1 || channel > kChannels)
        throw RuntimeError(rt::BadFileName);
    return m_channels[channel - 1].get();
}

bool FileChannels::isOpen(int channel) const {
    return slot(channel) != nullptr;
}

void FileChannels::open(int channel, const QString& path, Mode mode) {
    if (slot(channel))
        throw RuntimeError(rt::FileAlreadyOpen);
    if (vb::Trim(path).isEmpty())
        throw RuntimeError(rt::BadFileName);
    // A device or a pipe would be read without end, block, or swallow what is written.
    if (isSpecialFile(path))
        throw RuntimeError(rt::PathFileAccessError, rt::errorDescription(rt::PathFileAccessError) +
                                                        QStringLiteral(": non è un file regolare"));
    const QString key = fileKey(path);
    for (const auto& other : m_channels)
        if (other && other->key == key)
            throw RuntimeError(rt::FileAlreadyOpen);

    auto ch = std::make_unique<Channel>();
    ch->mode = mode;
    ch->key = key;
    auto file = std::make_unique<QFile>(path);
    if (mode == Mode::Input) {
        if (!file->open(QIODevice::ReadOnly))
            raiseOpenError(path, *file, true);
        ch->data = file->readAll();
        if (file->error() != QFileDevice::NoError)
            throw RuntimeError(rt::DeviceIoError);
    } else {
        QIODevice::OpenMode flags = QIODevice::WriteOnly | QIODevice::Unbuffered;
        if (mode == Mode::Append)
            flags |= QIODevice::ReadOnly | QIODevice::Append; // reads its last line end
        else if (mode == Mode::Create)
            flags |= QIODevice::NewOnly;
        else
            flags |= QIODevice::Truncate;
        if (!file->open(flags)) {
            if (mode == Mode::Create && QFileInfo::exists(path))
                throw RuntimeError(58);
            raiseOpenError(path, *file, false);
        }
        ch->file = std::move(file);
    }
    m_channels[channel - 1] = std::move(ch);
}

void FileChannels::close(int channel) {
    auto& ch = m_channels.at(channel - 1);
    if (!ch)
        return;
    if (ch->file) {
        // The history files are the user's record: make sure what was appended reaches the disk.
        if (ch->unsynced)
            ::fsync(ch->file->handle());
        ch->file->close();
    }
    ch.reset();
}

void FileChannels::closeAll() {
    for (int c = 1; c <= kChannels; ++c)
        close(c);
}

bool FileChannels::eof(int channel) const {
    const Channel* ch = slot(channel);
    if (!ch)
        throw RuntimeError(rt::BadFileName);
    if (ch->mode != Mode::Input)
        return true;
    return ch->pos >= ch->data.size();
}

QString FileChannels::lineInput(int channel) {
    Channel* ch = slot(channel);
    if (!ch)
        throw RuntimeError(rt::BadFileName);
    if (ch->mode != Mode::Input)
        throw RuntimeError(54);
    if (ch->pos >= ch->data.size())
        throw RuntimeError(rt::InputPastEnd);
    const qsizetype start = ch->pos;
    qsizetype end = ch->data.indexOf('\r', start);
    if (end < 0) {
        end = ch->data.size();
        ch->pos = end;
    } else {
        ch->pos = end + 1;
        if (ch->pos < ch->data.size() && ch->data[ch->pos] == '\n')
            ++ch->pos;
    }
    return vb::fromCp1252(ch->data.mid(start, end - start));
}

void FileChannels::printLine(int channel, const QString& text) {
    Channel* ch = slot(channel);
    if (!ch)
        throw RuntimeError(rt::BadFileName);
    if (ch->mode == Mode::Input)
        throw RuntimeError(54);
    QByteArray bytes = vb::toCp1252(text);
    bytes.append("\r\n", 2);
    ch->unsynced = true;
    if (ch->file->write(bytes) != bytes.size())
        throw RuntimeError(ch->file->error() == QFileDevice::ResourceError ? rt::DiskFull
                                                                           : rt::DeviceIoError);
}

namespace {

bool endsWithLineEnd(int fd, off_t size) {
    char last = 0;
    return size == 0 || (::pread(fd, &last, 1, size - 1) == 1 && last == '\n');
}

} // namespace

void FileChannels::printLines(int channel, const QStringList& lines) {
    Channel* ch = slot(channel);
    if (!ch)
        throw RuntimeError(rt::BadFileName);
    if (ch->mode == Mode::Input)
        throw RuntimeError(54);
    if (lines.isEmpty())
        return;
    const int fd = ch->file->handle();
    const off_t before = ::lseek(fd, 0, SEEK_END);
    if (before < 0)
        throw RuntimeError(rt::DeviceIoError);
    QByteArray bytes;
    // A line torn by a crash, or a file edited by hand, is ended before ours start.
    if (!endsWithLineEnd(fd, before))
        bytes.append("\r\n", 2);
    for (const QString& line : lines) {
        bytes.append(vb::toCp1252(line));
        bytes.append("\r\n", 2);
    }
    // Some file systems tell a full disk only when the data goes out: the lines count once synced.
    int error = writeWhole(fd, bytes);
    if (!error && ::fdatasync(fd) < 0)
        error = errno;
    ch->unsynced = error != 0; // the cut back is synced at the close
    if (error) {
        while (::ftruncate(fd, before) < 0 && errno == EINTR) {
        }
        throw RuntimeError(error == ENOSPC || error == EFBIG || error == EDQUOT ? rt::DiskFull
                                                                                : rt::DeviceIoError);
    }
}
