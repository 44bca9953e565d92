// The tenor list from the page copy and the dial-up credentials, from any lines.

#include "fuzz_support.h"
#include "startup_files.h"
#include "vb.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QStringList lines =
        vb::fromCp1252(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))).split(u'\n');

    const QStringList items = tenorItems(lines);
    FUZZ_CHECK(items.size() <= lines.size());
    for (const QString& item : items) {
        // A name and the first word after it, or a single word.
        FUZZ_CHECK(!item.isEmpty() && !hasBlankEnds(item));
        FUZZ_CHECK(item.count(u' ') <= 1 && !item.contains(QStringLiteral("  ")));
    }

    const std::optional<Credentials> c = parseCredentials(lines);
    FUZZ_CHECK(c.has_value() == (lines.size() >= 4 && vb::Trim(lines[0]) == QStringLiteral("RAS_QX.DLL")));
    if (c) {
        FUZZ_CHECK(c->connectionName == vb::Trim(lines[1]));
        FUZZ_CHECK(c->userName == vb::Trim(lines[2]));
        FUZZ_CHECK(c->password == vb::Trim(lines[3]));
    }
    return 0;
}
