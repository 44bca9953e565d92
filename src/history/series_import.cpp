#include "series_import.h"

#include "formats.h"
#include "history_lines.h"
#include "vb.h"

#include <QDate>
#include <QHash>
#include <QStringConverter>
#include <QStringDecoder>

#include <cmath>
#include <optional>

namespace series {

namespace {

struct Tenor {
    QString key, descr, maturity;
};

struct Line {
    int number;
    QString text;
};

struct Rate {
    double value;
    int decimals;
};

// Lines a layout is guessed from.
constexpr int kSample = 50;

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool allDigits(QStringView s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (!isDigit(c))
            return false;
    return true;
}

int number(QStringView s) {
    int n = 0;
    for (QChar c : s)
        n = n * 10 + (c.unicode() - u'0');
    return n;
}

QString dateKey(int year, int month, int day) {
    if (!QDate(year, month, day).isValid())
        return {};
    return QStringLiteral("%1%2%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

// yyyy-mm-dd, or dd/mm/yyyy (dd-mm-yyyy with dash as this program's history file writes it) -> yyyymmdd.
QString parseDate(QStringView s, QChar dayFirstSeparator = u'/') {
    if (s.size() != 10)
        return {};
    if (s[4] == u'-' && s[7] == u'-' && allDigits(s.sliced(0, 4)) && allDigits(s.sliced(5, 2)) &&
        allDigits(s.sliced(8, 2)))
        return dateKey(number(s.sliced(0, 4)), number(s.sliced(5, 2)), number(s.sliced(8, 2)));
    if (s[2] == dayFirstSeparator && s[5] == dayFirstSeparator && allDigits(s.sliced(0, 2)) &&
        allDigits(s.sliced(3, 2)) && allDigits(s.sliced(6, 4)))
        return dateKey(number(s.sliced(6, 4)), number(s.sliced(3, 2)), number(s.sliced(0, 2)));
    return {};
}

// A rate with "." or "," as decimal separator and an optional sign: "3.905", "-0,545", "4".
std::optional<Rate> parseRate(QStringView s) {
    qsizetype i = 0;
    if (!s.isEmpty() && (s[0] == u'-' || s[0] == u'+'))
        ++i;
    const qsizetype intStart = i;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    if (i == intStart)
        return std::nullopt;
    int decimals = 0;
    if (i < s.size() && (s[i] == u'.' || s[i] == u',')) {
        const qsizetype fracStart = ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        decimals = static_cast<int>(i - fracStart);
        if (decimals == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    QString text = s.toString();
    text.replace(u',', u'.');
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return Rate{value, decimals};
}

bool isPlaceholder(QStringView s) {
    static const QStringList marks = {QStringLiteral("null"), QStringLiteral("n.d."), QStringLiteral("nd"),
                                      QStringLiteral("n/d"),  QStringLiteral("n.a."), QStringLiteral("n/a"),
                                      QStringLiteral("na"),   QStringLiteral("nan"),  QStringLiteral("-"),
                                      QStringLiteral("--"),   QStringLiteral(".")};
    if (s.isEmpty())
        return true;
    if (isDigit(s.back())) // a number, the usual case
        return false;
    for (const QString& m : marks)
        if (s.compare(m, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// "3m", "3M", "1 y", "Euribor 12m", "EUR_1W", "3 mesi", "1-year" -> the maturity as the tenor list
// writes it ("12m" for a year), empty when the text ends in none.
QString maturityOf(QStringView raw) {
    static const std::pair<QLatin1StringView, char16_t> words[] = {
        {QLatin1StringView("settimane"), u'w'}, {QLatin1StringView("settimana"), u'w'},
        {QLatin1StringView("weeks"), u'w'},     {QLatin1StringView("week"), u'w'},
        {QLatin1StringView("months"), u'm'},    {QLatin1StringView("month"), u'm'},
        {QLatin1StringView("mesi"), u'm'},      {QLatin1StringView("mese"), u'm'},
        {QLatin1StringView("years"), u'y'},     {QLatin1StringView("year"), u'y'},
        {QLatin1StringView("anni"), u'y'},      {QLatin1StringView("anno"), u'y'}};
    const QString text = raw.trimmed().toString().toLower();
    if (text.isEmpty())
        return {};
    QChar unit = text.back();
    qsizetype end = text.size() - 1;
    for (const auto& [word, u] : words) {
        if (text.endsWith(word)) {
            unit = u;
            end = text.size() - word.size();
            break;
        }
    }
    if (unit != u'd' && unit != u'w' && unit != u'm' && unit != u'y')
        return {};
    while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == u'-'))
        --end;
    qsizetype start = end;
    while (start > 0 && isDigit(text[start - 1]))
        --start;
    if (start == end || end - start > 3)
        return {};
    const int n = number(QStringView(text).sliced(start, end - start));
    if (n == 0)
        return {};
    return unit == u'y' ? QString::number(n * 12) + u'm' : QString::number(n) + unit;
}

QVector<Tenor> tenorsOf(const QStringList& items) {
    QVector<Tenor> tenors;
    for (const QString& item : items) {
        const QString descr = vb::Trim(item);
        tenors.append({formats::tenorKey(descr), descr, maturityOf(descr)});
    }
    return tenors;
}

const Tenor* byMaturity(const QVector<Tenor>& tenors, const QString& maturity) {
    for (const Tenor& t : tenors)
        if (!maturity.isEmpty() && t.maturity == maturity)
            return &t;
    return nullptr;
}

QString decode(const QByteArray& bytes) {
    const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(bom.value_or(QStringConverter::Utf8));
    QString text = decoder(bytes);
    // This program's own files are Windows-1252; a published series is UTF-8 or plain ASCII.
    if (decoder.hasError() && !bom)
        text = vb::fromCp1252(bytes);
    return text;
}

QVector<Line> splitLines(const QString& text) {
    QVector<Line> lines;
    int number = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\n' && text[i] != u'\r')
            continue;
        ++number;
        const QString line = text.sliced(start, i - start).trimmed();
        if (!line.isEmpty())
            lines.append({number, line});
        if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

// Fields at sep; a field in double quotes may hold sep, and "" stands for one quote.
QStringList splitFields(const QString& line, QChar sep) {
    if (sep.isNull())
        return {line};
    QStringList fields;
    if (!line.contains(u'"')) {
        fields = line.split(sep);
        for (QString& f : fields)
            f = f.trimmed();
        return fields;
    }
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == sep) {
            fields.append(field.trimmed());
            field.clear();
        } else {
            field += c;
        }
    }
    fields.append(field.trimmed());
    return fields;
}

bool isWholeNumber(QStringView s) {
    return allDigits(s.startsWith(u'-') || s.startsWith(u'+') ? s.sliced(1) : s);
}

// With "," between fields, a rate "3,905" arrives as the two fields "3" and "905": the columns
// expected tell how many such pairs a line holds, and they are joined again, left to right.
QStringList joinDecimalCommas(const QStringList& fields, int expected, const QVector<int>& rateColumns) {
    int extra = static_cast<int>(fields.size()) - expected;
    if (extra <= 0)
        return fields;
    QStringList out;
    for (qsizetype i = 0; i < fields.size();) {
        QString f = fields[i++];
        if (extra > 0 && rateColumns.contains(static_cast<int>(out.size())) && isWholeNumber(f) &&
            i < fields.size() && allDigits(fields[i])) {
            f += u',' + fields[i++];
            --extra;
        }
        out.append(f);
    }
    return out;
}

void skipPlaceholder(Parsed& out, const QString& key) {
    ++out.placeholders;
    ++out.placeholdersOf[key];
}

void readValue(Parsed& out, const QString& value, const Tenor& tenor, const QString& date, int line,
               const QString& column = {}) {
    if (isPlaceholder(value)) {
        skipPlaceholder(out, tenor.key);
        return;
    }
    const std::optional<Rate> rate = parseRate(value);
    if (!rate) {
        out.badLines.append({line, QStringLiteral("quotazione non valida") +
                                       (column.isEmpty() ? QString() : QStringLiteral(" in ") + column) +
                                       QStringLiteral(": ") + value});
        return;
    }
    out.records.append({tenor.key, tenor.descr, date, rate->value, rate->decimals, line});
}

// ---- This program's own history files ----

bool isHistoryFileLine(const QString& line) {
    return line.size() > 13 && line.sliced(10, 3) == QStringLiteral(" - ") &&
           !parseDate(QStringView(line).sliced(0, 10), u'-').isEmpty();
}

void readOwnLine(Parsed& out, const Line& line) {
    QString date, rateText, descr;
    if (out.format == Format::HistoryFile) {
        if (!isHistoryFileLine(line.text)) {
            out.badLines.append({line.number, QStringLiteral("riga non nel formato dello storico")});
            return;
        }
        date = parseDate(QStringView(line.text).sliced(0, 10), u'-');
        const qsizetype sep = line.text.indexOf(QStringLiteral(" - "), 13);
        rateText = line.text.sliced(13, (sep < 0 ? line.text.size() : sep) - 13).trimmed();
        descr = sep < 0 ? QString() : line.text.sliced(sep + 3).trimmed();
    } else {
        const QStringList fields = line.text.split(u';');
        date = parseDate(fields[0].trimmed());
        if (date.isEmpty()) {
            out.badLines.append({line.number, QStringLiteral("data non valida: ") + fields[0]});
            return;
        }
        rateText = fields.value(1).trimmed();
        descr = fields.value(2).trimmed();
    }
    if (descr.isEmpty()) {
        out.badLines.append({line.number, QStringLiteral("manca la scadenza")});
        return;
    }
    const std::optional<Rate> rate = parseRate(rateText);
    // -1 marks a rate the page did not give: older copies recorded it ("-100", "-1,000").
    if (isPlaceholder(rateText) || (rate && (rate->value == -1.0 || rate->value == -100.0))) {
        skipPlaceholder(out, formats::tenorKey(descr));
        return;
    }
    readValue(out, rateText, {formats::tenorKey(descr), descr, {}}, date, line.number);
}

// ---- Published series ----

struct Layout {
    QChar sep;
    int expected = 0; // columns a line has (the header's, or told by the rates); 0: unknown
    int dateColumn = -1;
    int maturityColumn = -1;
    int rateColumn = -1;
    QVector<std::pair<int, Tenor>> columns; // a column per tenor, named by the header
    QVector<int> rateColumns;
    QStringList header;
};

QChar separatorOf(const QVector<Line>& lines) {
    for (const QChar sep : {u'\t', u';', u','})
        for (qsizetype i = 0; i < std::min<qsizetype>(lines.size(), kSample); ++i)
            if (lines[i].text.contains(sep))
                return sep;
    return {};
}

qsizetype firstDateColumn(const QStringList& fields) {
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (!parseDate(fields[i]).isEmpty())
            return i;
    return -1;
}

void readSeries(Parsed& out, const QVector<Line>& lines, const QVector<Tenor>& tenors,
                const QString& tenorKey) {
    Layout layout;
    layout.sep = separatorOf(lines);
    // Lines before the first one with a date are titles; the last of them names the columns.
    qsizetype first = 0;
    for (; first < lines.size(); ++first) {
        const QStringList fields = splitFields(lines[first].text, layout.sep);
        layout.dateColumn = static_cast<int>(firstDateColumn(fields));
        if (layout.dateColumn >= 0)
            break;
    }
    if (first == lines.size()) {
        out.refusal = QStringLiteral("nessuna riga con una data e una quotazione");
        return;
    }
    if (first > 0) {
        layout.header = splitFields(lines[first - 1].text, layout.sep);
        if (layout.header.size() > 1)
            layout.expected = static_cast<int>(layout.header.size());
        else
            layout.header.clear();
    }
    for (qsizetype c = 0; c < layout.header.size(); ++c) {
        if (c == layout.dateColumn)
            continue;
        const QString maturity = maturityOf(layout.header[c]);
        if (maturity.isEmpty())
            continue;
        if (const Tenor* t = byMaturity(tenors, maturity)) {
            layout.columns.append({static_cast<int>(c), *t});
            layout.rateColumns.append(static_cast<int>(c));
        } else {
            out.unknownTenors.append(maturity);
        }
    }
    const bool wide = !layout.columns.isEmpty() || !out.unknownTenors.isEmpty();
    if (wide && layout.columns.isEmpty()) {
        out.refusal = QStringLiteral("le colonne sono di scadenze che l'elenco non ha: ") +
                      out.unknownTenors.join(QStringLiteral(", "));
        return;
    }
    if (!wide) {
        // The rate is the first column holding a number after the date; a column of maturities names
        // each line's tenor.
        const qsizetype end = std::min<qsizetype>(lines.size(), first + kSample);
        for (qsizetype i = first; i < end && layout.rateColumn < 0; ++i) {
            const QStringList fields = splitFields(lines[i].text, layout.sep);
            if (firstDateColumn(fields) != layout.dateColumn)
                continue;
            for (qsizetype c = 0; c < fields.size(); ++c) {
                if (c == layout.dateColumn)
                    continue;
                if (layout.maturityColumn < 0 && !maturityOf(fields[c]).isEmpty() &&
                    !isPlaceholder(fields[c]))
                    layout.maturityColumn = static_cast<int>(c);
                else if (parseRate(fields[c])) {
                    layout.rateColumn = static_cast<int>(c);
                    break;
                }
            }
        }
        if (layout.rateColumn < 0) {
            out.refusal = QStringLiteral("nessuna riga con una data e una quotazione");
            return;
        }
        layout.rateColumns = {layout.rateColumn};
        if (layout.maturityColumn < 0 && tenorKey.isEmpty()) {
            out.refusal =
                QStringLiteral("il file non dice di quale scadenza sono le quotazioni: indicarla con "
                               "--tenore");
            return;
        }
        // Without a header: a line with a "." decimal tells that commas only separate fields.
        if (layout.expected == 0 && layout.sep == u',') {
            bool pointDecimals = false;
            for (qsizetype i = first; i < std::min<qsizetype>(lines.size(), first + kSample); ++i)
                for (const QString& f : splitFields(lines[i].text, layout.sep))
                    if (const auto r = parseRate(f); r && r->decimals > 0 && f.contains(u'.'))
                        pointDecimals = true;
            layout.expected =
                pointDecimals ? 0 : layout.rateColumn + (layout.maturityColumn > layout.rateColumn ? 2 : 1);
        }
    }
    out.format = wide ? Format::Columns : Format::Series;

    Tenor given;
    for (const Tenor& t : tenors)
        if (t.key == tenorKey)
            given = t;
    if (given.key.isEmpty())
        given = {tenorKey, tenorKey, {}};

    QHash<QString, const Tenor*> named;
    for (qsizetype i = first; i < lines.size(); ++i) {
        const Line& line = lines[i];
        QStringList fields = splitFields(line.text, layout.sep);
        if (layout.sep == u',' && layout.expected > 0)
            fields = joinDecimalCommas(fields, layout.expected, layout.rateColumns);
        const QString date = parseDate(fields.value(layout.dateColumn));
        if (date.isEmpty()) {
            out.badLines.append(
                {line.number, QStringLiteral("data non valida: ") + fields.value(layout.dateColumn)});
            continue;
        }
        if (wide) {
            for (const auto& [column, tenor] : std::as_const(layout.columns))
                readValue(out, fields.value(column), tenor, date, line.number, layout.header[column]);
            continue;
        }
        if (layout.rateColumn >= fields.size()) {
            out.badLines.append({line.number, QStringLiteral("manca la quotazione")});
            continue;
        }
        const Tenor* tenor = &given;
        if (layout.maturityColumn >= 0) {
            // A handful of names repeated on every line.
            const QString name = fields.value(layout.maturityColumn);
            auto known = named.constFind(name);
            if (known == named.constEnd())
                known = named.insert(name, byMaturity(tenors, maturityOf(name)));
            tenor = *known;
            if (!tenor) {
                out.badLines.append({line.number, QStringLiteral("scadenza non nell'elenco: ") +
                                                      fields.value(layout.maturityColumn)});
                continue;
            }
        }
        readValue(out, fields[layout.rateColumn], *tenor, date, line.number);
    }
}

} // namespace

Parsed parse(const QByteArray& bytes, const QStringList& tenorItems, const QString& tenorKey) {
    Parsed out;
    const bool bom = QStringConverter::encodingForData(bytes).has_value();
    if (!bom && bytes.left(64 * 1024).contains('\0')) {
        out.refusal = QStringLiteral("il file non è un testo (contiene dati binari)");
        return out;
    }
    const QVector<Line> lines = splitLines(decode(bytes));
    if (lines.isEmpty()) {
        out.refusal = QStringLiteral("il file è vuoto");
        return out;
    }
    if (lines.first().text.startsWith(u'<')) {
        out.refusal = QStringLiteral("il file è una pagina web, non una serie di quotazioni");
        return out;
    }
    qsizetype start = 0;
    if (lines.first().text == history::historyHeader())
        start = 1;
    if (start < lines.size() && isHistoryFileLine(lines[start].text))
        out.format = Format::HistoryFile;
    else if (start == 1)
        out.format = Format::HistoryCsv;

    if (out.format == Format::Unknown) {
        readSeries(out, lines, tenorsOf(tenorItems), tenorKey.trimmed());
    } else {
        for (qsizetype i = start; i < lines.size(); ++i)
            if (lines[i].text != history::historyHeader()) // files joined end to end
                readOwnLine(out, lines[i]);
    }
    if (out.refusal.isEmpty() && out.records.isEmpty() && out.placeholders == 0)
        out.refusal = QStringLiteral("nessuna riga con una data e una quotazione leggibili");
    if (!out.refusal.isEmpty())
        out.records.clear();
    return out;
}

bool sameRate(double recorded, const Record& record) {
    const double scale = std::pow(10.0, record.decimals);
    return std::llround(recorded * scale) == std::llround(record.rate * scale);
}

} // namespace series
