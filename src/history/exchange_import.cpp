#include "exchange_import.h"

#include "formats.h"
#include "vb.h"

#include <QDate>
#include <QRegularExpression>

using vb::InStr;
using vb::Left;
using vb::Mid;
using vb::Trim;

namespace exchange {

File parseFile(const QStringList& lines) {
    QStringList parts;
    for (const QString& line : lines)
        for (const QString& part : line.split(u'\n'))
            if (!Trim(part).isEmpty())
                parts.append(part);

    File out;
    static const QString kMarker = QStringLiteral("VALUTA SELEZIONATA:");
    if (parts.size() >= 2) {
        const QString upper = parts[1].toUpper();
        if (upper.startsWith(kMarker))
            out.currencyName = Trim(Mid(upper, kMarker.size() + 1));
    }
    out.records = parts.mid(3);
    return out;
}

namespace {

bool isDay(const QString& text) {
    static const QRegularExpression kDay(QStringLiteral("^[0-9]{2}/[0-9]{2}/[0-9]{4}$"));
    return kDay.match(text).hasMatch() && QDate::fromString(text, QStringLiteral("dd/MM/yyyy")).isValid();
}

// What the plain number reading takes as a number: blanks aside, a sign, then digits with at most one
// point, at least one digit.
bool leadsWithNumber(const QString& field) {
    static const QRegularExpression kNumber(QStringLiteral("^[+-]?([0-9]+\\.?|\\.[0-9])"));
    QString packed = field;
    packed.remove(u' ').remove(u'\t');
    return kNumber.match(packed).hasMatch();
}

} // namespace

Record parseRecord(const QString& text) {
    Record r;
    QString rest = Trim(text);
    bool day = false, number = false;
    const qsizetype c = InStr(rest, QStringLiteral(","));
    if (c > 1) {
        const QString date = Left(rest, c - 1);
        day = isDay(Trim(date));
        r.date = Trim(formats::dateKey(date));
        rest = Mid(rest, c + 1);
    }
    const qsizetype c2 = InStr(rest, QStringLiteral(","));
    if (c2 > 1) {
        number = leadsWithNumber(Left(rest, c2 - 1));
        r.rate = vb::Val(Left(rest, c2));
        rest = Mid(rest, c2 + 1);
    }
    r.note = Trim(rest);
    r.holdsRate = day && number;
    return r;
}

QString currencyKey(const QString& currencyName) {
    return formats::tenorKey(currencyName);
}

} // namespace exchange
