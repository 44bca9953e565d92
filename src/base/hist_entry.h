#pragma once
// One entry of the history arrays: a tenor's rate on one date, from the page or from the database.

#include <QString>
#include <QVector>

struct HistEntry {
    QString type; // tenor key, the table's Tipo_Valuta
    QString date; // yyyymmdd
    double quote = 0.0;
    QString descr;
    QString note;
    // Set by the extraction when the page had no rate for the tenor: the entry is shown but never
    // recorded, so a placeholder cannot overwrite a real rate of the same tenor and date.
    bool unavailable = false;
};

// Moved as bytes when the arrays grow, as its members are.
Q_DECLARE_TYPEINFO(HistEntry, Q_RELOCATABLE_TYPE);

using HistArrays = QVector<HistEntry>;

// Whether the page gave the entry's rate and its day: only then is it recorded.
inline bool recordable(const HistEntry& e) {
    return !e.unavailable && !e.date.isEmpty();
}
