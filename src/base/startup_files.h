#pragma once
// The two small files read at start-up: the dial-up credentials and the local copy of the provider's
// page that supplies the tenor list.

#include <QString>
#include <QStringList>

#include <optional>

struct Credentials {
    QString connectionName;
    QString userName;
    QString password;
};

// From the lines of RAS_QX.DLL: the marker line, then name, user and password. Nothing unless all
// four lines are there.
std::optional<Credentials> parseCredentials(const QStringList& lines);

// The tenor list items from the lines of the page copy, in file order.
QStringList tenorItems(const QStringList& lines);

// The small files are read whole: a file larger than this is not read at all.
constexpr qint64 kMaxSmallFile = 1024 * 1024;

// Every line of a text file read with line input; an empty list when it cannot be read, or when it
// is larger than maxBytes or not a regular file (a device, a pipe): refusal then holds the message.
QStringList readAllLines(const QString& path, QString* refusal = nullptr, qint64 maxBytes = kMaxSmallFile);

// The message for a tenor list copy that names no tenor: nothing can be recorded.
QString noTenorsMessage(const QString& path);
