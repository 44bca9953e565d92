#pragma once
// Short QString literals from UTF-8 source text.

#include <QString>

inline QString S(const char* s) {
    return QString::fromUtf8(s);
}

#include <ostream>

// Failures print the text, not its UTF-16 units.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
