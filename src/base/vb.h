#pragma once
// Text and number helpers with the semantics the program's rules are written in: 1-based positions,
// blank-only trimming, case-sensitive comparisons, "." as the only decimal separator when reading numbers.

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace vb {

// Removes leading and trailing blanks (spaces) only; tabs and line breaks stay.
QString Trim(const QString& s);
QString LTrim(const QString& s);
QString RTrim(const QString& s);

// First n characters (all of s when shorter, empty for n <= 0).
QString Left(const QString& s, qsizetype n);
// Last n characters.
QString Right(const QString& s, qsizetype n);
// From 1-based position start to the end; empty when start is past the end.
QString Mid(const QString& s, qsizetype start);
// n characters from 1-based position start (fewer at the end).
QString Mid(const QString& s, qsizetype start, qsizetype n);
// 1-based position of find in s from 1-based position start, 0 when absent or when start lies beyond
// s. An empty find gives start.
qsizetype InStr(qsizetype start, const QString& s, const QString& find,
                Qt::CaseSensitivity cs = Qt::CaseSensitive);
inline qsizetype InStr(const QString& s, const QString& find, Qt::CaseSensitivity cs = Qt::CaseSensitive) {
    return InStr(1, s, find, cs);
}

// Leading-number conversion: blanks, tabs and line feeds are ignored anywhere; an optional sign, digits
// with at most one ".", an optional exponent (E or D); reading stops at the first other character;
// 0 when no number leads.
double Val(const QString& s);

// Number to text: up to 15 significant digits, no trailing zeros, the locale's decimal separator,
// no leading blank for positive numbers.
QString CStr(double v, const QLocale& locale);

// Windows-1252, the single-byte code page of every file the program reads or writes.
QString fromCp1252(const QByteArray& bytes);
// Characters outside the code page become "?".
QByteArray toCp1252(const QString& text);

} // namespace vb
