// The exchange-rate file: its parts, the currency name and every record, from any text.

#include "exchange_import.h"
#include "fuzz_support.h"
#include "vb.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    // Line input ends a line at CR; line feeds stay inside and split parts.
    const QStringList lines =
        vb::fromCp1252(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))).split(u'\r');
    qsizetype parts = 0;
    for (const QString& line : lines)
        for (const QString& part : line.split(u'\n'))
            parts += vb::Trim(part).isEmpty() ? 0 : 1;

    const exchange::File file = exchange::parseFile(lines);
    FUZZ_CHECK(file.records.size() == std::max<qsizetype>(0, parts - 3));
    FUZZ_CHECK(!hasBlankEnds(file.currencyName));
    FUZZ_CHECK(exchange::currencyKey(file.currencyName).size() <= 13);
    for (const QString& text : file.records) {
        FUZZ_CHECK(!vb::Trim(text).isEmpty() && !text.contains(u'\n'));
        const exchange::Record r = exchange::parseRecord(text);
        FUZZ_CHECK(std::isfinite(r.rate));
        FUZZ_CHECK(r.date.size() <= 8 && !hasBlankEnds(r.date) && !hasBlankEnds(r.note));
        FUZZ_CHECK(r.note.size() <= text.size());
    }
    return 0;
}
