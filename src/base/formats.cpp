#include "formats.h"

#include "vb.h"

using vb::Mid;

namespace formats {

QString rateCaption(const QString& rateText) {
    return vb::Left(vb::Trim(rateText + QStringLiteral("00")), 6);
}

QString dateKey(const QString& dayFirst) {
    return vb::Right(dayFirst, 4) + Mid(dayFirst, 4, 2) + Mid(dayFirst, 1, 2);
}

QString dayFirst(const QString& key, QChar sep) {
    QString out;
    out.reserve(10);
    return appendDayFirst(out, key, sep);
}

QString& appendDayFirst(QString& out, const QString& key, QChar sep) {
    // Every line of a list goes through here: no allocation of its own, pieces cut short as the key is.
    const QStringView k(key);
    return out.append(k.mid(6, 2)).append(sep).append(k.mid(4, 2)).append(sep).append(k.mid(0, 4));
}

QString dayMonth(const QString& key) {
    return Mid(key, 7, 2) + u'-' + Mid(key, 5, 2);
}

std::optional<QString> lineTenorKey(const QString& line) {
    // The rate starts at character 14; the tenor follows the separator after it.
    const qsizetype sep = line.indexOf(QStringLiteral(" - "), 13);
    if (sep < 0)
        return std::nullopt;
    return tenorKey(line.sliced(sep + 3));
}

QString tenorKey(const QString& item) {
    return vb::Trim(vb::Left(item, 13));
}

} // namespace formats
