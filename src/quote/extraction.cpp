#include "extraction.h"

#include "formats.h"
#include "vb.h"

#include <QHash>

#include <array>
#include <cmath>

using vb::Left;
using vb::Mid;
using vb::Trim;

namespace quote {

namespace {
const QString kCell = QStringLiteral("td align=");
const QString kValueClass = QStringLiteral("xplanerigatabella");
const QString kNotFound = QStringLiteral("-1");

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Only ASCII digits: the date becomes a yyyymmdd key of the files and the database.
bool digitsAt(const QString& s, std::initializer_list<qsizetype> positions) {
    for (const qsizetype p : positions)
        if (p > s.size() || !isAsciiDigit(s[p - 1]))
            return false;
    return true;
}

// A date cell's day: the ten characters its text starts with, dd/mm/yyyy of a day that exists, followed
// by nothing or by a note ("05/12/2026 (fixing)"). Anything else (a day without its zero, another
// separator, a note, markup cut in the middle) is no day, and a rate is never recorded under a guessed one.
std::optional<QString> pageDate(QStringView cell) {
    if (cell.size() < 10 || (cell.size() > 10 && (isAsciiDigit(cell[10]) || cell[10] == u'/')))
        return std::nullopt;
    const QString d = cell.first(10).toString();
    if (d[2] == u'/' && d[5] == u'/' && digitsAt(d, {1, 2, 4, 5, 7, 8, 9, 10}) &&
        QDate(d.mid(6, 4).toInt(), d.mid(3, 2).toInt(), d.first(2).toInt()).isValid())
        return d;
    return std::nullopt;
}

const QString kCellEnd = QStringLiteral("</td>");
const QString kNbsp = QStringLiteral("&nbsp;");

bool isBlank(QChar c) {
    return c.isSpace(); // also the no-break space
}

// A cell's text without the blanks at either end, the entity included.
QStringView trimCell(QStringView text) {
    for (bool trimmed = false; !trimmed;) {
        trimmed = true;
        while (!text.isEmpty() && isBlank(text.front()))
            text = text.sliced(1), trimmed = false;
        while (!text.isEmpty() && isBlank(text.back()))
            text.chop(1), trimmed = false;
        if (text.startsWith(kNbsp))
            text = text.sliced(kNbsp.size()), trimmed = false;
        if (text.endsWith(kNbsp))
            text.chop(kNbsp.size()), trimmed = false;
    }
    return text;
}

// A value cell's text, from just after its class marker: past the tag's '>' up to "</td>".
struct ValueCell {
    bool tagEnded = false; // the marker's tag has its '>'
    QStringView text;      // after the tag (or after the marker when the tag never ends), to the end
    qsizetype end = -1;    // where "</td>" starts in text; -1 when the cell is never closed
};

ValueCell valueCell(QStringView afterClass) {
    ValueCell c;
    const qsizetype tagEnd = afterClass.indexOf(u'>');
    c.tagEnded = tagEnd >= 0;
    c.text = c.tagEnded ? afterClass.sliced(tagEnd + 1) : afterClass;
    c.end = c.tagEnded ? c.text.indexOf(kCellEnd, 0, Qt::CaseInsensitive) : -1;
    return c;
}

// Where the tenor's table row ends: at the next row's start or its own end, whichever comes first.
qsizetype rowEnd(QStringView row) {
    for (qsizetype at = row.indexOf(u'<'); at >= 0; at = row.indexOf(u'<', at + 1)) {
        const QStringView tag = row.sliced(at + 1);
        if (tag.startsWith(u"/tr", Qt::CaseInsensitive))
            return at;
        if (tag.startsWith(u"tr", Qt::CaseInsensitive) &&
            (tag.size() == 2 || tag[2] == u'>' || tag[2].isSpace()))
            return at;
    }
    return -1;
}
} // namespace

std::optional<PageRate> readPageRate(QStringView text) {
    // Any blank left inside makes it no number.
    text = trimCell(text);
    QString shown;
    shown.reserve(text.size());
    QByteArray number;
    number.reserve(text.size());
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-' || text[i] == QChar(0x2212))) {
        const bool minus = text[i] != u'+';
        shown.append(minus ? u'-' : u'+');
        if (minus)
            number.append('-');
        ++i;
    }
    const qsizetype intStart = i;
    while (i < text.size() && isAsciiDigit(text[i]))
        ++i;
    if (i == intStart || i == text.size() || (text[i] != u',' && text[i] != u'.'))
        return std::nullopt;
    const qsizetype sep = i++;
    const qsizetype fracStart = i;
    while (i < text.size() && isAsciiDigit(text[i]))
        ++i;
    if (i == fracStart || i != text.size())
        return std::nullopt;
    shown.append(text.sliced(intStart));
    number.append(text.sliced(intStart, sep - intStart).toLatin1());
    number.append('.');
    number.append(text.sliced(fracStart).toLatin1());
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return PageRate{value, shown};
}

QString cellText(QStringView cell) {
    QString out;
    out.reserve(cell.size());
    bool inTag = false;
    for (const QChar c : cell) {
        if (inTag)
            inTag = c != u'>';
        else if (c == u'<')
            inTag = true;
        else
            out.append(c);
    }
    return out;
}

double rateFromCaption(const QString& caption) {
    QString text = caption;
    const qsizetype comma = text.indexOf(u',');
    if (comma >= 0)
        text[comma] = u'.';
    return vb::Val(text);
}

namespace {

// Views with the runtime's 1-based Mid and blank trimming, so the walk copies nothing of the page.
QStringView midView(QStringView s, qsizetype start, qsizetype n = -1) {
    if (start < 1 || start > s.size())
        return {};
    const qsizetype from = start - 1;
    return n < 0 ? s.sliced(from) : s.sliced(from, std::min(n, s.size() - from));
}

QStringView trimView(QStringView s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.sliced(b, e - b);
}

qsizetype find(QStringView s, QStringView what) {
    const qsizetype at = s.indexOf(what);
    return at < 0 ? 0 : at + 1;
}

// A page of a megabyte with fifty tenors must not take fifty whole scans: one pass finds the first
// occurrence of every key, with a rolling window of four characters as a cheap filter.
QVector<qsizetype> firstOccurrences(QStringView page, const QVector<QString>& keys) {
    QVector<qsizetype> found(keys.size(), 0);
    constexpr int kWindow = 4;
    auto bucket = [](quint64 w) {
        return static_cast<unsigned>((w * 0x9E3779B97F4A7C15ull) >> 52);
    }; // 12 bits
    std::array<bool, 4096> maybe{};
    QHash<quint64, QVector<int>> byPrefix;
    int remaining = 0;
    for (int k = 0; k < keys.size(); ++k) {
        const QString& key = keys[k];
        if (key.size() < kWindow) {
            // Short keys are rare enough for a plain search.
            const qsizetype at = key.isEmpty() ? (page.isEmpty() ? -1 : 0) : page.indexOf(key);
            found[k] = at + 1;
            continue;
        }
        quint64 w = 0;
        for (int i = 0; i < kWindow; ++i)
            w = (w << 16) | key[i].unicode();
        byPrefix[w].append(k);
        maybe[bucket(w)] = true;
        ++remaining;
    }
    const char16_t* p = page.utf16();
    const qsizetype n = page.size();
    quint64 w = 0;
    for (qsizetype i = 0; i < n && remaining > 0; ++i) {
        w = (w << 16) | p[i];
        if (i + 1 < kWindow || !maybe[bucket(w)])
            continue;
        const auto hit = byPrefix.constFind(w);
        if (hit == byPrefix.constEnd())
            continue;
        const qsizetype start = i + 1 - kWindow;
        for (const int k : *hit) {
            const QString& key = keys[k];
            if (found[k] == 0 && start + key.size() <= n && page.sliced(start, key.size()) == key) {
                found[k] = start + 1;
                --remaining;
            }
        }
    }
    return found;
}

// One-to-one case folding, so positions in the folded text are positions in the page.
QString folded(QStringView s) {
    QString out(s.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < 0x80)
            d[i] = QChar(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
        else
            d[i] = s[i].toCaseFolded();
    }
    return out;
}

} // namespace

Extraction extractAll(const QString& page, const QStringList& listItems, const QDate& today,
                      const QString& lblQuote, const QString& lblData,
                      const UnavailableNotice& onUnavailable) {
    Extraction out;
    out.lblQuote = lblQuote;
    out.lblData = lblData;
    QVector<QString> keys;
    keys.reserve(listItems.size());
    for (const QString& item : listItems)
        keys.append(folded(formats::tenorKey(item)));
    const QVector<qsizetype> positions = firstOccurrences(folded(page), keys);
    // The rest of the page left by the previous item's rate cell: a row without a rate cell falls
    // back on it for its date.
    QStringView rest;

    for (qsizetype i = 0; i < listItems.size(); ++i) {
        ExtractedItem item;
        const QString key = formats::tenorKey(listItems[i]);
        item.key = key;
        const qsizetype p = positions[i];
        if (p == 0) {
            out.lblQuote.clear();
            out.items.append(item);
            continue;
        }
        item.found = true;
        // The tenor's cells are those of its own row: searched past it, the next tenor's rate would
        // be taken for this one's.
        QStringView row = midView(page, p);
        if (const qsizetype end = rowEnd(row); end >= 0)
            row = row.first(end);

        // The rate is the whole text of its cell or nothing: a number read from a fixed place would
        // be recorded wrong, without a word, as soon as the cell's blanks or markup change.
        QString q = kNotFound;
        std::optional<PageRate> rate;
        const qsizetype t = find(row, kCell);
        if (t > 1) {
            rest = trimView(midView(row, t - 3));
            const qsizetype x = find(rest, kValueClass);
            if (x > 1) {
                const ValueCell cell = valueCell(rest.sliced(x - 1 + kValueClass.size()));
                if (cell.end >= 0) {
                    q = cellText(cell.text.first(cell.end));
                    rate = readPageRate(q);
                    if (rate)
                        q = rate->text;
                    // The date's cell is searched from the end of the rate's.
                    rest = cell.text.sliced(cell.end);
                } else {
                    q.clear();
                    rest = cell.text;
                }
            }
        }
        const bool unavailable = !rate;
        item.unavailableMessage = unavailable;
        if (unavailable && onUnavailable)
            onUnavailable(Missing::Rate, key, {}, out.lblQuote, out.lblData);
        item.rateCaption = formats::rateCaption(q);

        // The date is read from the start of its cell's text.
        QString dateCell;
        const qsizetype t2 = find(rest, kCell);
        if (t2 > 1) {
            const QStringView cell = trimView(midView(rest, t2 - 3));
            const qsizetype x = find(cell, kValueClass);
            if (x > 1) {
                const ValueCell date = valueCell(cell.sliced(x - 1 + kValueClass.size()));
                if (date.tagEnded)
                    dateCell =
                        trimCell(cellText(date.end < 0 ? date.text : date.text.first(date.end))).toString();
            }
        }
        const std::optional<QString> d = pageDate(dateCell);

        HistEntry& e = item.entry;
        e.type = key;
        // Without its day the entry is shown but not recorded.
        if (d) {
            e.date = formats::dateKey(*d);
            item.dateCaption = formats::dayMonth(e.date);
        } else if (unavailable) {
            // Never recorded: today's date only fills the labels.
            e.date = today.toString(QStringLiteral("yyyyMMdd"));
            item.dateCaption = formats::dayMonth(e.date);
        } else {
            item.undated = true;
            item.dateCell = dateCell;
            if (onUnavailable)
                onUnavailable(Missing::Date, key, dateCell, item.rateCaption, QString());
        }
        // The caption keeps six characters; the entry keeps the page's whole number.
        e.quote = rate ? rate->value : rateFromCaption(item.rateCaption);
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
