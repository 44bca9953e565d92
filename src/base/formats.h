#pragma once
// The program's own small text rules, each written once: the shown rate text and the date forms.

#include <QString>

#include <optional>

namespace formats {

// A rate text as shown and recorded: the text, "00", trimmed, its first six characters
// ("2,345" -> "2,3450", "-1" -> "-100", "" -> "00").
QString rateCaption(const QString& rateText);

// A date as dd?mm?yyyy (any separators) -> yyyymmdd: the year is its last four characters.
QString dateKey(const QString& dayFirst);

// yyyymmdd -> dd, sep, mm, sep, yyyy.
QString dayFirst(const QString& key, QChar sep);
// The same, appended to out.
QString& appendDayFirst(QString& out, const QString& key, QChar sep);

// yyyymmdd -> dd-mm, the shown date.
QString dayMonth(const QString& key);

// The tenor key of a history or list line "dd-mm-yyyy - rate - tenor": the first 13 characters after
// the second " - ", trimmed, whatever the rate text's length. A line without a tenor field (the header)
// has no key, so it never matches the empty tenor.
std::optional<QString> lineTenorKey(const QString& line);

// The tenor key of a list item or of the tenor box: its first 13 characters, trimmed.
QString tenorKey(const QString& item);

} // namespace formats
