// The runtime's text helpers: Trim, Left, Right, Mid, InStr and Val on any text and any position.

#include "fuzz_support.h"
#include "vb.h"

#include <QLocale>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto start = in.ConsumeIntegralInRange<qsizetype>(-3, 300);
    const auto n = in.ConsumeIntegralInRange<qsizetype>(-3, 300);
    const double number = in.ConsumeFloatingPoint<double>();
    const std::string findBytes = in.ConsumeRandomLengthString(16);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QString find = QString::fromUtf8(findBytes.data(), qsizetype(findBytes.size()));
    const QString s = QString::fromUtf8(rest.data(), qsizetype(rest.size()));

    const QString t = vb::Trim(s);
    FUZZ_CHECK(!hasBlankEnds(t) && s.contains(t) && t == vb::LTrim(vb::RTrim(s)) &&
               t == vb::RTrim(vb::LTrim(s)));
    FUZZ_CHECK(t.isEmpty() == (s.count(u' ') == s.size()));

    // Left, Right and Mid are slices of the text (their positions are foundations_test's table).
    FUZZ_CHECK(s.startsWith(vb::Left(s, n)) && s.endsWith(vb::Right(s, n)) && s.endsWith(vb::Mid(s, start)));
    FUZZ_CHECK(vb::Mid(s, start).startsWith(vb::Mid(s, start, n)));
    // InStr's positions are foundations_test's table too: here, a position found holds the text sought.
    const qsizetype at = vb::InStr(start, s, find);
    FUZZ_CHECK(at >= 0 && at <= s.size() && (at == 0 || s.sliced(at - 1).startsWith(find)));

    FUZZ_CHECK(std::isfinite(vb::Val(s)) && std::isfinite(vb::Val(find)));
    // A number written by CStr reads back with Val (15 significant digits).
    if (std::isfinite(number) && std::fabs(number) < 1e307) {
        const double back = vb::Val(vb::CStr(number, QLocale::c()));
        FUZZ_CHECK(std::fabs(back - number) <= 1e-14 * std::fabs(number));
    }
    FUZZ_CHECK(!vb::CStr(number, QLocale(QLocale::Italian, QLocale::Italy)).contains(u' '));
    return 0;
}
