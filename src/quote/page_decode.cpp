#include "page_decode.h"

#include "vb.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace {

// The value of a charset= parameter, lower case, unquoted.
QByteArray charsetOf(const QByteArray& text) {
    const qsizetype at = text.toLower().indexOf("charset=");
    if (at < 0)
        return {};
    qsizetype i = at + 8;
    while (i < text.size() && (text[i] == '"' || text[i] == '\'' || text[i] == ' '))
        ++i;
    qsizetype j = i;
    while (j < text.size() && (QChar::fromLatin1(text[j]).isLetterOrNumber() || text[j] == '-' ||
                               text[j] == '_' || text[j] == ':' || text[j] == '.'))
        ++j;
    return text.mid(i, j - i).toLower();
}

// The page's own declaration, looked for in its head. Qt's QStringDecoder::decoderForHtml is not used
// here: it looks at the first 1024 bytes only, misses a line break after "<meta" and cannot tell a
// page that declares nothing (Windows-1252 for us) from one that declares UTF-8.
QByteArray metaCharset(const QByteArray& body) {
    const QByteArray head = body.left(4096);
    const QByteArray lower = head.toLower();
    qsizetype from = 0;
    while (true) {
        const qsizetype meta = lower.indexOf("<meta", from);
        if (meta < 0)
            return {};
        const qsizetype end = lower.indexOf('>', meta);
        const QByteArray tag = head.mid(meta, end < 0 ? -1 : end - meta);
        const QByteArray cs = charsetOf(tag);
        if (!cs.isEmpty())
            return cs;
        from = meta + 5;
    }
}

} // namespace

QString decodePage(const QByteArray& body, const QByteArray& contentType) {
    // A byte-order mark outranks every declaration, as in browsers.
    if (const auto marked = QStringConverter::encodingForData(body))
        return QStringDecoder(*marked).decode(body);

    QByteArray cs = charsetOf(contentType);
    if (cs.isEmpty())
        cs = metaCharset(body);
    // The usual names of the code page are told here: Qt would open ICU, a megabyte of every start,
    // only to name them.
    static constexpr std::array<QByteArrayView, 8> kWindows1252 = {
        "windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1", "latin1", "us-ascii", "ascii"};
    if (cs.isEmpty() || std::find(kWindows1252.begin(), kWindows1252.end(), cs) != kWindows1252.end())
        return vb::fromCp1252(body);
    QStringDecoder decoder(cs.constData());
    if (!decoder.isValid())
        return vb::fromCp1252(body);
    // Qt's canonical name covers every alias of these three.
    const QByteArrayView name(decoder.name());
    if (name == "ISO-8859-1" || name == "US-ASCII" || name == "windows-1252")
        return vb::fromCp1252(body);
    return decoder.decode(body);
}
