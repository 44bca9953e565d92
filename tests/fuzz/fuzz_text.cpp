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
    FUZZ_CHECK(!hasBlankEnds(t) && s.contains(t));
    FUZZ_CHECK(t == vb::LTrim(vb::RTrim(s)) && t == vb::RTrim(vb::LTrim(s)));
    FUZZ_CHECK(vb::Trim(s).isEmpty() == (s.count(u' ') == s.size()));

    // Left, Right and Mid are slices of the text (their positions are foundations_test's table).
    FUZZ_CHECK(s.startsWith(vb::Left(s, n)) && s.endsWith(vb::Right(s, n)) && s.endsWith(vb::Mid(s, start)));
    FUZZ_CHECK(vb::Mid(s, start).startsWith(vb::Mid(s, start, n)));
    const bool inside = start >= 1 && start <= s.size();
    const qsizetype at = vb::InStr(start, s, find);
    FUZZ_CHECK(at >= 0 && at <= s.size());
    if (!inside)
        FUZZ_CHECK(at == 0);
    else if (find.isEmpty())
        FUZZ_CHECK(at == start);
    else if (at == 0)
        FUZZ_CHECK(s.indexOf(find, start - 1) < 0);
    else
        FUZZ_CHECK(at >= start && s.sliced(at - 1).startsWith(find) && s.indexOf(find, start - 1) == at - 1);

    FUZZ_CHECK(std::isfinite(vb::Val(s)) && std::isfinite(vb::Val(find)));
    // A number written by CStr reads back with Val (15 significant digits).
    if (std::isfinite(number) && std::fabs(number) < 1e307) {
        const double back = vb::Val(vb::CStr(number, QLocale::c()));
        FUZZ_CHECK(std::fabs(back - number) <= 1e-14 * std::fabs(number));
    }
    const QString shown = vb::CStr(number, QLocale(QLocale::Italian, QLocale::Italy));
    FUZZ_CHECK(!shown.isEmpty() && !shown.contains(u' '));
    return 0;
}
