#include "vb.h"

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
// The code page's 0x80-0x9F; the five bytes it leaves undefined stand for the C1 controls of the same
// value, so every byte string reads and writes back to itself. The rest of the page is Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A table of our own rather than Qt's converter, which reaches this code page only through ICU: its
// data costs a megabyte of every start.
char encodedOne(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return static_cast<char>(0x80 + i);
    // Outside the code page, a lone half of a surrogate pair included: one "?" for each UTF-16 unit,
    // as the files have always held.
    return '?';
}
} // namespace

QString fromCp1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *to++ = u >= 0x80 && u < 0xA0 ? kHigh[u - 0x80] : char16_t(u);
    }
    return out;
}

QByteArray toCp1252(const QString& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    char* to = out.data();
    for (const QChar c : text)
        *to++ = encodedOne(c.unicode());
    return out;
}

} // namespace vb
