#pragma once
// Shared by the fuzz targets: a failed invariant aborts with its text, so libFuzzer keeps the input.

#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond);                \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

// Arbitrary UTF-16 units, lone surrogates included.
inline QString utf16Units(const unsigned char* data, size_t size) {
    QString s;
    for (size_t i = 0; i + 1 < size; i += 2)
        s.append(QChar(char16_t(data[i] | (data[i + 1] << 8))));
    return s;
}

inline bool hasBlankEnds(const QString& s) {
    return !s.isEmpty() && (s.front() == u' ' || s.back() == u' ');
}
