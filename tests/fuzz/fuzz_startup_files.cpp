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

    // The credentials' fields are foundations_test's table: here, only that any lines are read safely.
    const std::optional<Credentials> c = parseCredentials(lines);
    FUZZ_CHECK(!c || (lines.size() >= 4 && !hasBlankEnds(c->userName) && !hasBlankEnds(c->password)));
    return 0;
}
