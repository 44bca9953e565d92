#include "vb.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cmath>

namespace vb {

QString LTrim(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s[i] == u' ')
        ++i;
    return s.mid(i);
}

QString RTrim(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == u' ')
        --n;
    return s.left(n);
}

QString Trim(const QString& s) {
    return LTrim(RTrim(s));
}

QString Left(const QString& s, qsizetype n) {
    return n <= 0 ? QString() : s.left(n);
}

QString Right(const QString& s, qsizetype n) {
    return n <= 0 ? QString() : s.right(n);
}

QString Mid(const QString& s, qsizetype start) {
    if (start < 1 || start > s.size())
        return {};
    return s.mid(start - 1);
}

QString Mid(const QString& s, qsizetype start, qsizetype n) {
    if (start < 1 || start > s.size() || n <= 0)
        return {};
    return s.mid(start - 1, n);
}

qsizetype InStr(qsizetype start, const QString& s, const QString& find, Qt::CaseSensitivity cs) {
    if (start < 1 || s.isEmpty() || start > s.size())
        return 0;
    if (find.isEmpty())
        return start;
    const qsizetype at = s.indexOf(find, start - 1, cs);
    return at < 0 ? 0 : at + 1;
}

double Val(const QString& s) {
    QString t;
    t.reserve(s.size());
    for (const QChar c : s)
        if (c != u' ' && c != u'\t' && c != u'\n')
            t.append(c);

    qsizetype i = 0;
    QString num;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        num.append(t[i++]);
    bool digits = false;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
        num.append(t[i++]);
        digits = true;
    }
    if (i < t.size() && t[i] == u'.') {
        num.append(t[i++]);
        while (i < t.size() && t[i].unicode() < 128 && t[i].isDigit()) {
            num.append(t[i++]);
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < t.size() && (t[i] == u'E' || t[i] == u'e' || t[i] == u'D' || t[i] == u'd')) {
        QString exp = QStringLiteral("e");
        qsizetype j = i + 1;
        if (j < t.size() && (t[j] == u'+' || t[j] == u'-'))
            exp.append(t[j++]);
        bool expDigits = false;
        while (j < t.size() && t[j].unicode() < 128 && t[j].isDigit()) {
            exp.append(t[j++]);
            expDigits = true;
        }
        if (expDigits)
            num.append(exp);
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

QString CStr(double v, const QLocale& locale) {
    if (v == 0.0)
        return QStringLiteral("0");
    QString text = QString::number(v, 'g', 15);
    // The runtime writes exponents as E+nn / E-nn.
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0)
        text[e] = u'E';
    const qsizetype dot = text.indexOf(u'.');
    if (dot >= 0)
        text.replace(dot, 1, locale.decimalPoint());
    return text;
}

namespace {
// Qt reaches Windows-1252 through ICU; one converter per thread, since opening one costs more than
// decoding a history line.
template <typename Converter> Converter& converter() {
    thread_local Converter c("windows-1252");
    if (!c.isValid())
        qFatal("Windows-1252 needs Qt built with ICU");
    return c;
}

bool isSurrogate(char16_t c) {
    return (c & 0xF800) == 0xD800;
}

// ICU writes SUB (0x1A) for a character outside the code page, drops the invisible ones (joiners,
// variation selectors) and reads a pair of surrogates as one character; the files have always held
// one "?" for each of those UTF-16 units.
char encodedOne(QStringEncoder& enc, QChar c) {
    if (isSurrogate(c.unicode()))
        return '?'; // never handed to ICU: it would keep a lone high one for the next call
    const QByteArray b = enc.encode(QStringView(&c, 1));
    return b.size() == 1 && (b[0] != '\x1A' || c == QChar(0x1A)) ? b[0] : '?';
}
} // namespace

QString fromCp1252(const QByteArray& bytes) {
    // ICU maps the five bytes the code page leaves undefined to the C1 controls of the same value.
    return converter<QStringDecoder>().decode(bytes);
}

QByteArray toCp1252(const QString& text) {
    QStringEncoder& enc = converter<QStringEncoder>();
    const bool pairs =
        std::any_of(text.begin(), text.end(), [](QChar c) { return isSurrogate(c.unicode()); });
    if (!pairs) {
        QByteArray out = enc.encode(text);
        if (out.size() == text.size()) {
            // One byte for each character: only the SUBs ICU wrote need their "?".
            for (qsizetype i = out.indexOf('\x1A'); i >= 0; i = out.indexOf('\x1A', i + 1))
                if (text[i] != QChar(0x1A))
                    out[i] = '?';
            return out;
        }
    }
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = encodedOne(enc, text[i]);
    return out;
}

} // namespace vb
