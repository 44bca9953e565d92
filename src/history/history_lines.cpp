#include "history_lines.h"

#include "vb.h"

using vb::Left;
using vb::Mid;
using vb::Trim;

namespace history {

QString rateNumberText(double rate, const QLocale& locale) {
    QString text = vb::CStr(rate, locale);
    if (!text.contains(locale.decimalPoint()) && !text.contains(u'E'))
        text += locale.decimalPoint() + QStringLiteral("0");
    return text;
}

QString fileRateText(double rate, const QLocale& locale) {
    return Left(Trim(rateNumberText(rate, locale) + QStringLiteral("00")), 6);
}

QString historyFileLine(const QString& date, const QString& rateText, const QString& descr) {
    return Mid(date, 7, 2) + u'-' + Mid(date, 5, 2) + u'-' + Mid(date, 1, 4) + QStringLiteral(" - ") +
           rateText + QStringLiteral(" - ") + descr;
}

QString csvLine(const QString& date, const QString& rateText, const QString& descr) {
    return Mid(date, 7, 2) + u'/' + Mid(date, 5, 2) + u'/' + Mid(date, 1, 4) + u';' + rateText + u';' +
           descr + u';';
}

QString listLine(const HistEntry& entry, const QLocale& locale) {
    const QString& d = entry.date;
    return Mid(d, 7, 2) + u'-' + Mid(d, 5, 2) + u'-' + Mid(d, 1, 4) + QStringLiteral(" - ") +
           Left(rateNumberText(entry.quote, locale) + QStringLiteral("000"), 6) + QStringLiteral(" - ") +
           entry.type;
}

QString companionPath(const QString& historyPath) {
    const qsizetype nameStart = historyPath.lastIndexOf(u'/') + 1;
    const qsizetype dot = historyPath.lastIndexOf(u'.');
    if (dot < nameStart || historyPath.at(nameStart) == u'.')
        return historyPath;
    return historyPath.left(dot) + QStringLiteral(".CSV");
}

QString historyHeader() {
    return QStringLiteral("Data;Quotazione;Valuta;Note");
}

} // namespace history
