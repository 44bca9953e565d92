// missingLines against a history file of any bytes: the lines not yet in the file (CR or CR LF ends,
// Windows-1252), in order and each once.

#include "fuzz_support.h"
#include "history_lines.h"
#include "vb.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    static const QString path =
        QDir::tempPath() + QStringLiteral("/euribor_fuzz_missing_%1.txt").arg(qint64(getpid()));
    FuzzedDataProvider in(data, size);
    const bool exists = in.ConsumeBool();
    const std::string fileBytes = in.ConsumeRandomLengthString(4096);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QStringList lines = vb::fromCp1252(QByteArray(rest.data(), qsizetype(rest.size()))).split(u'\n');

    QFile::remove(path);
    if (exists) {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly));
        f.write(fileBytes.data(), qint64(fileBytes.size()));
    }
    const QStringList missing = history::missingLines(path, lines);

    QSet<QByteArray> inFile;
    if (exists) {
        const QByteArray all(fileBytes.data(), qsizetype(fileBytes.size()));
        qsizetype p = 0;
        while (p < all.size()) {
            const qsizetype cr = all.indexOf('\r', p);
            inFile.insert(all.sliced(p, (cr < 0 ? all.size() : cr) - p));
            p = cr < 0 ? all.size() : cr + 1 + (cr + 1 < all.size() && all[cr + 1] == '\n');
        }
    }
    QStringList want;
    QSet<QByteArray> taken;
    for (const QString& line : lines) {
        const QByteArray b = vb::toCp1252(line);
        if (!inFile.contains(b) && !taken.contains(b)) {
            taken.insert(b);
            want.append(line);
        }
    }
    FUZZ_CHECK(missing == want);
    return 0;
}
