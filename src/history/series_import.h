#pragma once
// Rate histories read for an import: this program's own Storico_Euribor.TXT and .CSV (from another
// computer or an older copy), and published series: a date and a rate per line, in one column per
// tenor or with a column naming each line's maturity. Only reading: nothing here stores a record.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace series {

struct Record {
    QString tenor; // the tenor's key, as Tipo_Valuta holds it
    QString descr; // the tenor's description: the line's own, or the tenor list's item
    QString date;  // yyyymmdd
    double rate = 0.0;
    int decimals = 0; // digits after the decimal separator, as the file wrote the rate
    int line = 0;     // 1-based
};

struct BadLine {
    int line = 0;
    QString reason;
};

enum class Format { Unknown, HistoryFile, HistoryCsv, Series, Columns };

struct Parsed {
    Format format = Format::Unknown;
    QVector<Record> records;
    int placeholders = 0;               // values left empty or marked as missing (null, n.d., -, .)
    QHash<QString, int> placeholdersOf; // the same by tenor key
    QVector<BadLine> badLines;          // lines that could not be read; the others still count
    QStringList unknownTenors;          // maturities a column names that the tenor list lacks (not read)
    QString refusal;                    // not a rate history at all: why, and nothing is read
};

// Reads a whole file. tenorItems is the tenor list (items such as "EuRibor 3m"): a maturity in the
// file ("3m", "3M", "1y") stands for the item with that maturity. tenorKey is the tenor of a series
// that names none; a file that names its tenors ignores it.
Parsed parse(const QByteArray& bytes, const QStringList& tenorItems, const QString& tenorKey = {});

// Whether a recorded rate is the record's rate at the precision the file wrote it with.
bool sameRate(double recorded, const Record& record);

} // namespace series
