#pragma once
// Sequential text files by channel number (1 and 2), the way every handler reads and writes: Windows-1252
// on disk, lines written with CR LF, line input ending at CR LF or CR. Failures raise rt::RuntimeError
// with the runtime's numbers (53 missing file, 55 file already open, 76 missing folder, ...).

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

// Writes the whole of bytes to fd; 0, or the error number that stopped it (ENOSPC when the disk took
// nothing more).
int writeWhole(int fd, const QByteArray& bytes);

// A path that names something other than a regular file or a folder (a device, a pipe, a socket),
// directly or through a link: reading one has no end, or blocks. Nothing there is false.
bool isSpecialFile(const QString& path);

class FileChannels {
public:
    // Create makes a new file and fails (58) when one is already there, so a file that exists but cannot
    // be read is never truncated.
    enum class Mode { Input, Output, Append, Create };
    static constexpr int kChannels = 2;

    FileChannels() = default;
    ~FileChannels();
    FileChannels(const FileChannels&) = delete;
    FileChannels& operator=(const FileChannels&) = delete;

    // Opens path on channel (1 or 2). Output truncates or creates, Append creates when missing.
    void open(int channel, const QString& path, Mode mode);
    // Closing a channel that is not open does nothing. Written data is flushed to the disk.
    void close(int channel);
    void closeAll();
    bool isOpen(int channel) const;

    // Reads one line without its end (CR LF or CR); a lone LF stays in the line.
    QString lineInput(int channel);
    bool eof(int channel) const;
    // Writes text and CR LF.
    void printLine(int channel, const QString& text);
    // Writes every line with its CR LF in one write, after a CR LF when the file's last line lacks
    // one. A failed or short write cuts the file back to its length before, so no line is ever torn
    // (61 when the disk is full).
    void printLines(int channel, const QStringList& lines);

private:
    struct Channel {
        Mode mode = Mode::Input;
        QString key;     // the file's identity, to refuse the same file on two channels
        QByteArray data; // whole content when reading
        qsizetype pos = 0;
        std::unique_ptr<QFile> file; // when writing
        bool unsynced = false;       // written since the last sync
    };
    Channel* slot(int channel);
    const Channel* slot(int channel) const;

    std::array<std::unique_ptr<Channel>, kChannels> m_channels;
};
