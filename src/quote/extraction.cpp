#include "extraction.h"

#include "vb.h"

#include <algorithm>

using vb::InStr;
using vb::Left;
using vb::Mid;
using vb::Trim;

namespace quote {

namespace {
const QString kCell = QStringLiteral("td align=");
const QString kValueClass = QStringLiteral("xplanerigatabella");
const QString kNotFound = QStringLiteral("-1");

QString ddmm(const QDate& d) {
    return d.toString(QStringLiteral("dd-MM"));
}

bool digitsAt(const QString& s, std::initializer_list<qsizetype> positions) {
    for (const qsizetype p : positions)
        if (p > s.size() || !s[p - 1].isDigit())
            return false;
    return true;
}

// A date cell holds dd/mm/yyyy. Anything else (a note, markup cut in the middle) would be recorded
// as a date that is no date, so the entry takes today's instead.
bool isPageDate(const QString& d) {
    return d.size() == 10 && d.contains(u'/') && digitsAt(d, {1, 2, 4, 5, 7, 8, 9, 10});
}

// A rate cell without a single digit ("n.d.", "-") holds no rate.
bool hasDigit(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); });
}
} // namespace

QString rateCaption(const QString& rateText) {
    return Left(Trim(rateText + QStringLiteral("00")), 6);
}

double rateFromCaption(const QString& caption) {
    QString text = caption;
    const qsizetype comma = text.indexOf(u',');
    if (comma >= 0)
        text[comma] = u'.';
    return vb::Val(text);
}

QString tenorKey(const QString& item) {
    return Trim(Left(item, 13));
}

Extraction extractAll(const QString& page, const QStringList& listItems, const QDate& today,
                      const QString& lblQuote, const QString& lblData) {
    Extraction out;
    out.lblQuote = lblQuote;
    out.lblData = lblData;
    // The rest of the page left by the previous item's rate cell: a row without a rate cell falls
    // back on it for its date, as the original walk did.
    QString rest;

    for (qsizetype i = 0; i < listItems.size(); ++i) {
        ExtractedItem item;
        item.listIndex = i;
        const QString key = tenorKey(listItems[i]);
        const qsizetype p = InStr(page, key, Qt::CaseInsensitive);
        if (p == 0) {
            out.lblQuote.clear();
            out.items.append(item);
            continue;
        }
        item.found = true;
        const QString row = Mid(page, p);

        QString q = kNotFound;
        const qsizetype t = InStr(row, kCell);
        if (t > 1) {
            rest = Trim(Mid(row, t - 3));
            const qsizetype x = InStr(rest, kValueClass);
            if (x > 1) {
                q = Trim(Mid(rest, x + 21, 5));
                rest = Trim(Mid(rest, x + 26));
            }
        }
        const bool unavailable = Trim(q).isEmpty() || Trim(q) == kNotFound || !hasDigit(q);
        item.unavailableMessage = unavailable;
        item.rateCaption = rateCaption(q);

        QString d = kNotFound;
        const qsizetype t2 = InStr(rest, kCell);
        if (t2 > 1) {
            const QString cell = Trim(Mid(rest, t2 - 3));
            const qsizetype x = InStr(cell, kValueClass);
            if (x > 1)
                d = Trim(Mid(cell, x + 21, 10));
        }

        HistEntry& e = item.entry;
        e.type = key;
        d = Trim(d);
        if (isPageDate(d)) {
            e.date = Mid(d, 7, 4) + Mid(d, 4, 2) + Mid(d, 1, 2);
            item.dateCaption = Mid(d, 1, 2) + u'-' + Mid(d, 4, 2);
        } else {
            e.date = today.toString(QStringLiteral("yyyyMMdd"));
            item.dateCaption = ddmm(today);
        }
        e.quote = rateFromCaption(item.rateCaption);
        e.descr = Trim(listItems[i]);
        e.unavailable = unavailable;

        out.lblQuote = item.rateCaption;
        out.lblData = item.dateCaption;
        out.entries.append(e);
        out.items.append(item);
    }
    return out;
}

} // namespace quote
