#include "history_lines.h"

#include "file_channels.h"
#include "formats.h"
#include "vb.h"

#include <QFile>

#include <QSet>

#include <algorithm>
#include <cmath>

using vb::Trim;

namespace history {

QString rateNumberText(double rate, const QLocale& locale) {
    QString text = vb::CStr(rate, locale);
    // The runtime's exponent form ("1E-05") would be cut to "1E-050" in the files: a rate is always
    // written as a plain decimal number, with the same 15 significant digits.
    if (text.contains(u'E')) {
        const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(rate))));
        text = QString::number(rate, 'f', std::max(0, 14 - exponent));
        if (text.contains(u'.')) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
        text.replace(u'.', locale.decimalPoint());
    }
    if (!text.contains(locale.decimalPoint()))
        text += locale.decimalPoint() + QStringLiteral("0");
    return text;
}

QString fileRateText(double rate, const QLocale& locale) {
    return formats::rateCaption(rateNumberText(rate, locale));
}

QString historyFileLine(const QString& date, const QString& rateText, const QString& descr) {
    return formats::dayFirst(date, u'-') + QStringLiteral(" - ") + rateText + QStringLiteral(" - ") + descr;
}

QString csvLine(const QString& date, const QString& rateText, const QString& descr) {
    return formats::dayFirst(date, u'/') + u';' + rateText + u';' + descr + u';';
}

QString listLine(const HistEntry& entry, const QLocale& locale) {
    // The rate padded with zeros and cut to six characters; built in place, as a load lists thousands.
    const QString rate = rateNumberText(entry.quote, locale);
    const QStringView sep = u" - ";
    QString line;
    line.reserve(10 + 2 * sep.size() + 6 + entry.type.size());
    formats::appendDayFirst(line, entry.date, u'-').append(sep).append(QStringView(rate).left(6));
    if (rate.size() < 6)
        line.append(QStringView(u"000").left(6 - rate.size()));
    line.append(sep).append(entry.type);
    return line;
}

QString companionPath(const QString& historyPath) {
    const qsizetype nameStart = historyPath.lastIndexOf(u'/') + 1;
    const qsizetype dot = historyPath.lastIndexOf(u'.');
    if (dot < nameStart || historyPath.at(nameStart) == u'.')
        return historyPath;
    return historyPath.left(dot) + QStringLiteral(".CSV");
}

QStringList missingLines(const QString& path, const QStringList& lines) {
    QSet<QByteArray> wanted;
    for (const QString& line : lines)
        wanted.insert(vb::toCp1252(line));
    QFile file(path);
    if (!wanted.isEmpty() && !isSpecialFile(path) && file.open(QIODevice::ReadOnly) && file.size() > 0) {
        const qint64 size = file.size();
        const uchar* map = file.map(0, size);
        QByteArray whole;
        qint64 length = size;
        if (!map) {
            whole = file.readAll();
            map = reinterpret_cast<const uchar*>(whole.constData());
            length = whole.size(); // what could be read, however little
        }
        const char* p = reinterpret_cast<const char*>(map);
        const char* end = p + length;
        while (p < end && !wanted.isEmpty()) {
            const char* cr = static_cast<const char*>(memchr(p, '\r', static_cast<size_t>(end - p)));
            const char* stop = cr ? cr : end;
            wanted.remove(QByteArray::fromRawData(p, stop - p));
            p = cr ? cr + 1 + (cr + 1 < end && cr[1] == '\n') : end;
        }
    }
    QStringList out;
    for (const QString& line : lines) {
        if (wanted.remove(vb::toCp1252(line)))
            out.append(line);
    }
    return out;
}

QChar fileDecimalSeparator(const QString& path) {
    QFile file(path);
    if (isSpecialFile(path) || !file.open(QIODevice::ReadOnly))
        return {};
    constexpr qint64 kTail = 4096;
    file.seek(std::max<qint64>(0, file.size() - kTail));
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        // dd-mm-yyyy - rate - tenor: the rate stands between the first two separators.
        const qsizetype first = line->indexOf(" - ");
        const qsizetype second = first < 0 ? -1 : line->indexOf(" - ", first + 3);
        if (second < 0)
            continue;
        const QByteArray rate = line->mid(first + 3, second - first - 3);
        if (rate.contains(','))
            return u',';
        if (rate.contains('.'))
            return u'.';
    }
    return {};
}

QLocale recordingLocale(const QString& path, const QLocale& regional) {
    const QChar used = fileDecimalSeparator(path);
    if (used.isNull() || regional.decimalPoint() == QString(used))
        return regional;
    return used == u',' ? QLocale(QLocale::Italian, QLocale::Italy) : QLocale::c();
}

QString historyHeader() {
    return QStringLiteral("Data;Quotazione;Valuta;Note");
}

} // namespace history
