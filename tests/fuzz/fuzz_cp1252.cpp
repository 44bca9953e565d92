// Windows-1252: every byte string decodes and encodes back to itself (the five undefined bytes ride
// on the C1 controls of the same value); every UTF-16 unit encodes to the byte that decodes to it, or "?".

#include "fuzz_support.h"
#include "vb.h"

#include <QHash>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    static const QHash<char16_t, char> byteOf = [] {
        QHash<char16_t, char> m;
        for (int b = 0; b < 256; ++b) {
            const QString c = vb::fromCp1252(QByteArray(1, char(b)));
            FUZZ_CHECK(c.size() == 1 && !m.contains(c[0].unicode()));
            m.insert(c[0].unicode(), char(b));
        }
        return m;
    }();

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = vb::fromCp1252(bytes);
    FUZZ_CHECK(text.size() == bytes.size());
    FUZZ_CHECK(vb::toCp1252(text) == bytes);

    const QString units = utf16Units(data, size);
    const QByteArray encoded = vb::toCp1252(units);
    FUZZ_CHECK(encoded.size() == units.size());
    for (qsizetype i = 0; i < units.size(); ++i)
        FUZZ_CHECK(encoded[i] == byteOf.value(units[i].unicode(), '?'));
    return 0;
}
