// The whole walk over any page: a tenor list (the input up to its first NUL, one item a line) and the
// page after it, decoded as Windows-1252 or, when the first byte is odd, as UTF-8.

#include "extraction.h"
#include "formats.h"
#include "fuzz_support.h"
#include "vb.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size == 0)
        return 0;
    const bool utf8 = data[0] & 1;
    const QByteArray all(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const qsizetype nul = all.indexOf('\0');
    const QStringList items =
        vb::fromCp1252(nul < 0 ? QByteArray() : all.first(nul)).split(u'\n', Qt::SkipEmptyParts);
    const QByteArray body = nul < 0 ? all : all.sliced(nul + 1);
    const QString page = utf8 ? QString::fromUtf8(body) : vb::fromCp1252(body);

    int notices = 0;
    const quote::Extraction x = quote::extractAll(
        page, items, QDate(2026, 12, 4), QStringLiteral("q"), QStringLiteral("d"),
        [&](quote::Missing, const QString&, const QString&, const QString&, const QString&) { ++notices; });
    FUZZ_CHECK(x.items.size() == items.size());
    qsizetype found = 0, unavailable = 0, undated = 0;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const quote::ExtractedItem& it = x.items[i];
        FUZZ_CHECK(it.key == formats::tenorKey(items[i]));
        if (!it.found)
            continue;
        const HistEntry& e = x.entries[found++];
        FUZZ_CHECK(e.type == it.key && e.unavailable == it.unavailableMessage);
        // Dates go to the files and the database as yyyymmdd of ASCII digits; a rate without its day
        // is never recordable.
        if (it.undated) {
            FUZZ_CHECK(!it.unavailableMessage && e.date.isEmpty() && it.dateCaption.isEmpty() &&
                       !recordable(e));
            ++undated;
        } else {
            FUZZ_CHECK(
                e.date.size() == 8 && it.dateCaption == formats::dayMonth(e.date) &&
                std::all_of(e.date.begin(), e.date.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }));
        }
        FUZZ_CHECK(it.rateCaption.size() <= 6);
        if (e.unavailable)
            ++unavailable;
        else
            FUZZ_CHECK(std::isfinite(e.quote));
    }
    FUZZ_CHECK(found == x.entries.size() && notices == unavailable + undated);
    if (!items.isEmpty() && !x.items.constLast().found)
        FUZZ_CHECK(x.lblQuote.isEmpty());
    return 0;
}
