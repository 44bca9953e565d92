// A rate cell of any text in a provider's row: no rate, or one its shown text reads back to exactly (the
// cell's rules are quote_test's table). The first byte picks the decoding (odd: Windows-1252, even: UTF-8).

#include "extraction.h"
#include "formats.h"
#include "fuzz_support.h"
#include "vb.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString cell = (data[0] & 1) ? vb::fromCp1252(bytes) : QString::fromUtf8(bytes);
    const QString td = QStringLiteral("</td>\r\n<td align=\"right\" class=\"xplanerigatabella\">");
    const QString page =
        QStringLiteral("<table>\r\n<tr>\r\n<td align=\"left\" class=\"xplanecella\">EuRibor 3m") + td + cell +
        td + QStringLiteral("  12/05/2008</td>\r\n</tr>\r\n</table>\r\n");
    const quote::Extraction x =
        quote::extractAll(page, {QStringLiteral("EuRibor 3m")}, QDate(2026, 12, 4), QString(), QString());
    FUZZ_CHECK(x.entries.size() == 1);
    const HistEntry& e = x.entries[0];
    // A cell the row does not end early: the rate is its whole text or none, the date the next cell's,
    // and a rate's shown text reads back to the same number.
    if (!cell.contains(QStringLiteral("</td>"), Qt::CaseInsensitive) &&
        !cell.contains(QStringLiteral("<tr"), Qt::CaseInsensitive) &&
        !cell.contains(QStringLiteral("</tr"), Qt::CaseInsensitive)) {
        const std::optional<quote::PageRate> read = quote::readPageRate(quote::cellText(cell));
        FUZZ_CHECK(e.unavailable == !read && e.date == QStringLiteral("20080512"));
        if (read) {
            FUZZ_CHECK(read->value == e.quote && x.lblQuote == formats::rateCaption(read->text));
            const std::optional<quote::PageRate> again = quote::readPageRate(read->text);
            FUZZ_CHECK(again && again->value == read->value && again->text == read->text);
        }
    }
    return 0;
}
