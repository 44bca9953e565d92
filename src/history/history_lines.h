#pragma once
// The text forms of a recorded rate: history file and CSV lines, list lines, and the companion path.

#include "hist_entry.h"

#include <QLocale>
#include <QString>

namespace history {

// The rate as text with the regional decimal separator. A whole number keeps a separator and one
// decimal ("4,0"), so every line built from it keeps its layout and reads back as the same rate.
QString rateNumberText(double rate, const QLocale& locale);

// The rate text of the history files and of the shown rate: the number, "00", trimmed, six characters.
QString fileRateText(double rate, const QLocale& locale);

// dd-mm-yyyy - Q - S, and dd/mm/yyyy;Q;S; of a yyyymmdd date.
QString historyFileLine(const QString& date, const QString& rateText, const QString& descr);
QString csvLine(const QString& date, const QString& rateText, const QString& descr);

// The line of an entry in the history list: dd-mm-yyyy - the number + "000" cut to six - tenor.
QString listLine(const HistEntry& entry, const QLocale& locale);

// The companion CSV of a history file: the file name's extension replaced by ".CSV". A name without
// an extension, or one that starts with ".", gives the history path itself.
QString companionPath(const QString& historyPath);

// The lines not yet in the file, in their order and each once: a day already written with the same
// rate is not written again. The file is mapped, not read into memory; a missing file has no lines.
QStringList missingLines(const QString& path, const QStringList& lines);

// The decimal separator the history file's last rate was written with ("," or "."), or a null
// character when it has none yet. Only the file's tail is read.
QChar fileDecimalSeparator(const QString& path);

// The locale a recording writes with: the regional settings', unless the file already uses the other
// separator, which then wins, so one history never mixes "1,9120" and "1.9120".
QLocale recordingLocale(const QString& path, const QLocale& regional);

// The header line both history files start with.
QString historyHeader();

} // namespace history
