#pragma once
// Files of official exchange rates of one currency: a title, "VALUTA SELEZIONATA:" and the
// currency's name, a column heading, then one record per day: date, comma, rate, comma, note.

#include <QString>
#include <QStringList>

namespace exchange {

struct Record {
    QString date; // yyyymmdd as cut from dd/mm/yyyy
    double rate = 0.0;
    QString note;
    // The date is a real dd/mm/yyyy day and the rate field holds a number: a footer, a note or a
    // line cut short holds no rate and is never stored (as rate 0 it would pull every chart down).
    bool holdsRate = false;
};

struct File {
    QString currencyName; // empty when the second part does not name it
    QStringList records;  // the raw record texts, from the fourth part on
};

// Splits the lines of the file (as line input reads them) into parts at every line feed; empty parts
// and parts of nothing but blanks are passed over, so CR LF, LF and mixed files read the same.
File parseFile(const QStringList& lines);

// One record, trimmed: the text before the first comma is the date, the number up to the next comma
// the rate, the rest the note.
Record parseRecord(const QString& text);

// The first 13 characters of the currency's name, trimmed: the key the records are stored under.
QString currencyKey(const QString& currencyName);

} // namespace exchange
