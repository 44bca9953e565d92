#include "startup_files.h"

#include "file_channels.h"
#include "runtime_error.h"
#include "vb.h"

#include <QFileInfo>

using vb::InStr;
using vb::Left;
using vb::Mid;
using vb::Trim;

std::optional<Credentials> parseCredentials(const QStringList& lines) {
    if (lines.size() < 4 || Trim(lines[0]) != QStringLiteral("RAS_QX.DLL"))
        return std::nullopt;
    return Credentials{Trim(lines[1]), Trim(lines[2]), Trim(lines[3])};
}

QStringList tenorItems(const QStringList& lines) {
    QStringList items;
    for (const QString& raw : lines) {
        if (!raw.toUpper().contains(QStringLiteral("EURIBOR")))
            continue;
        const QString line = Trim(raw);
        if (line.toUpper() == QStringLiteral("DETTAGLIO TASSI EURIBOR"))
            continue;
        const qsizetype p = InStr(line, QStringLiteral(" "));
        if (p == 0) {
            // A single word: listed as it stands.
            items.append(line);
            continue;
        }
        const QString name = Trim(Left(line, p));
        QString rest = Trim(Mid(line, p));
        const qsizetype q = InStr(rest, QStringLiteral(" "));
        if (q > 0)
            rest = Trim(Left(rest, q));
        items.append(name + u' ' + rest);
    }
    return items;
}

QStringList readAllLines(const QString& path, QString* refusal, qint64 maxBytes) {
    QStringList lines;
    const QFileInfo info(path);
    QString refused;
    if (isSpecialFile(path))
        refused =
            QStringLiteral("Il file ") + path + QStringLiteral(" non è un file regolare e non viene letto.");
    else if (info.size() > maxBytes)
        refused = QStringLiteral("Il file ") + path + QStringLiteral(" supera 1 MiB e non viene letto.");
    if (refusal)
        *refusal = refused;
    if (!refused.isEmpty())
        return lines;
    FileChannels files;
    try {
        files.open(1, path, FileChannels::Mode::Input);
        while (!files.eof(1))
            lines.append(files.lineInput(1));
    } catch (const rt::RuntimeError&) {
        // A missing or unreadable file reads as what was read so far.
    }
    return lines;
}

QString noTenorsMessage(const QString& path) {
    return QStringLiteral("Il file ") + path +
           QStringLiteral(" manca, è vuoto o non contiene scadenze Euribor: nessuna quotazione può essere "
                          "registrata.");
}
