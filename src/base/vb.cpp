#include "vb.h"

#include <array>
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
// Code points of bytes 0x80..0x9F; 0 marks the five bytes that Windows-1252 leaves undefined,
// which are passed through as the C1 control of the same value.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

QString fromCp1252(const QByteArray& bytes) {
    QString out;
    out.resize(bytes.size());
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        char16_t c = b;
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
            c = kHigh[b - 0x80];
        d[i] = QChar(c);
    }
    return out;
}

QByteArray toCp1252(const QString& text) {
    QByteArray out;
    out.resize(text.size());
    char* d = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            b = static_cast<char>(c);
        } else if (c >= 0x80 && c <= 0x9F) {
            if (kHigh[c - 0x80] == 0)
                b = static_cast<char>(c);
        } else {
            for (std::size_t k = 0; k < kHigh.size(); ++k)
                if (kHigh[k] == c) {
                    b = static_cast<char>(0x80 + k);
                    break;
                }
        }
        d[i] = b;
    }
    return out;
}

} // namespace vb
