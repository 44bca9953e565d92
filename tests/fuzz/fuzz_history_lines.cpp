// The history lines and their read-back: a line written for a tenor reads back its tenor key, a date
// key survives its shown forms, and the companion CSV never leaves the history file's folder.

#include "formats.h"
#include "fuzz_support.h"
#include "history_lines.h"
#include "vb.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {
QString folder(const QString& path) {
    return path.first(path.lastIndexOf(u'/') + 1);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QString key = QString::number(in.ConsumeIntegralInRange<int>(0, 99999999)).rightJustified(8, u'0');
    const double rate = in.ConsumeIntegralInRange<int>(-999999, 9999999) / 1000.0;
    const std::string descrBytes = in.ConsumeRandomLengthString(64);
    const std::string pathBytes = in.ConsumeRemainingBytesAsString();
    const QString descr = vb::Trim(QString::fromUtf8(descrBytes.data(), qsizetype(descrBytes.size())));
    const QString path = QString::fromUtf8(pathBytes.data(), qsizetype(pathBytes.size()));
    const QLocale it(QLocale::Italian, QLocale::Italy);

    FUZZ_CHECK(formats::dateKey(formats::dayFirst(key, u'-')) == key &&
               formats::dateKey(formats::dayFirst(key, u'/')) == key);
    FUZZ_CHECK(formats::dayMonth(key) == formats::dayFirst(key, u'-').first(5));

    const QString rateText = history::fileRateText(rate, it);
    FUZZ_CHECK(!rateText.isEmpty() && rateText.size() <= 6 && !rateText.contains(u' '));
    const QString line = history::historyFileLine(key, rateText, descr);
    FUZZ_CHECK(formats::lineTenorKey(line) == formats::tenorKey(descr));

    const HistEntry e{formats::tenorKey(descr), key, rate, {}, {}, false};
    FUZZ_CHECK(formats::lineTenorKey(history::listLine(e, it)) == e.type);
    FUZZ_CHECK(formats::lineTenorKey(line).value_or(QString()).size() <= 13 &&
               formats::lineTenorKey(path).value_or(QString()).size() <= 13);

    // The companion never leaves the history file's folder (its names are history_db_test's table).
    FUZZ_CHECK(folder(history::companionPath(path)) == folder(path));
    return 0;
}
