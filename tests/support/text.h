#pragma once
// Short QString literals from UTF-8 source text.

#include <QString>

inline QString S(const char* s) {
    return QString::fromUtf8(s);
}
