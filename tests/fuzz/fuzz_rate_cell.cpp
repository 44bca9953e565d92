// The rate invariant: a rate cell of any text, in a row of the provider's shape, gives the number
// written in it exactly or no rate at all. The number is checked against a parse of its own here.
// The first byte picks the decoding of the rest (odd: Windows-1252, even: UTF-8, for U+2212 and
// friends).

#include "extraction.h"
#include "formats.h"
#include "fuzz_support.h"
#include "vb.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace {

bool blank(char16_t c) {
    // Unicode's white space, as a Qt blank.
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

struct Expected {
    double value;
    std::u16string shown;
};

std::optional<Expected> oracle(std::u16string s) {
    // Up to the cell's end, in any case.
    std::u16string lower = s;
    for (char16_t& c : lower)
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
    const size_t end = lower.find(u"</td>");
    // A row tag before that ends the tenor's row, and the rate's cell unfinished with it.
    for (size_t at = lower.find(u'<'); at != std::u16string::npos && at < end;
         at = lower.find(u'<', at + 1)) {
        const std::u16string_view tag = std::u16string_view(lower).substr(at + 1);
        if (tag.starts_with(u"/tr") ||
            (tag.starts_with(u"tr") && tag.size() > 2 && (tag[2] == u'>' || blank(tag[2]))))
            return std::nullopt;
    }
    if (end != std::u16string::npos)
        s.resize(end);
    // Tags out; one left open runs to the end.
    for (size_t lt; (lt = s.find(u'<')) != std::u16string::npos;) {
        const size_t gt = s.find(u'>', lt);
        s.erase(lt, gt == std::u16string::npos ? std::u16string::npos : gt - lt + 1);
    }
    for (bool again = true; again;) {
        again = false;
        const std::u16string_view nb = u"&nbsp;";
        if (s.starts_with(nb))
            s.erase(0, nb.size()), again = true;
        if (s.ends_with(nb))
            s.resize(s.size() - nb.size()), again = true;
        if (!s.empty() && blank(s.front()))
            s.erase(0, 1), again = true;
        if (!s.empty() && blank(s.back()))
            s.pop_back(), again = true;
    }
    std::string ascii;
    std::u16string shown;
    size_t i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-' || s[i] == u'\u2212')) {
        shown += s[i] == u'+' ? u'+' : u'-';
        ascii += s[i] == u'+' ? '+' : '-';
        ++i;
    }
    int parts = 0, separators = 0;
    bool digitRun = false;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= u'0' && c <= u'9') {
            parts += digitRun ? 0 : 1;
            digitRun = true;
            ascii += char(c);
        } else if ((c == u',' || c == u'.') && digitRun) {
            ++separators;
            digitRun = false;
            ascii += '.';
        } else {
            return std::nullopt;
        }
        shown += c;
    }
    if (parts != 2 || separators != 1 || !digitRun)
        return std::nullopt;
    const double v = std::strtod(ascii.c_str(), nullptr);
    if (!std::isfinite(v))
        return std::nullopt;
    return Expected{v, shown};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString cell = (data[0] & 1) ? vb::fromCp1252(bytes) : QString::fromUtf8(bytes);
    const QString page =
        QStringLiteral(
            "<html><body>\r\n<table>\r\n<tr>\r\n<td align=\"left\" class=\"xplanecella\">EuRibor 3m</td>\r\n"
            "<td align=\"right\" class=\"xplanerigatabella\">") +
        cell +
        QStringLiteral(
            "</td>\r\n<td align=\"right\" class=\"xplanerigatabella\">  12/05/2008</td>\r\n</tr>\r\n"
            "</table>\r\n</body></html>\r\n");
    const quote::Extraction x =
        quote::extractAll(page, {QStringLiteral("EuRibor 3m")}, QDate(2026, 12, 4), QString(), QString());
    FUZZ_CHECK(x.entries.size() == 1);
    const HistEntry& e = x.entries[0];

    const std::optional<Expected> want = oracle(cell.toStdU16String());
    FUZZ_CHECK(e.unavailable == !want.has_value());
    if (want) {
        FUZZ_CHECK(e.quote == want->value);
        FUZZ_CHECK(x.lblQuote == formats::rateCaption(QString::fromStdU16String(want->shown)));
    }
    // With the rate's cell ended where the row ends it, the date is the next cell's; a row tag in
    // the cell ends the tenor's row before it.
    if (!cell.contains(QStringLiteral("</td>"), Qt::CaseInsensitive) &&
        !cell.contains(QStringLiteral("<tr"), Qt::CaseInsensitive) &&
        !cell.contains(QStringLiteral("</tr"), Qt::CaseInsensitive))
        FUZZ_CHECK(e.date == QStringLiteral("20080512"));
    return 0;
}
