#include "stock_quote.h"

#include "services.h"
#include "shell.h"
#include "vb.h"

#include <utility>

using vb::InStr;
using vb::Mid;

clsStockQuote::clsStockQuote(PageFetcher& fetcher, Shell& shell,
                             std::function<void(const QString&)> writePage)
    : m_fetcher(fetcher)
    , m_shell(shell)
    , m_writePage(std::move(writePage)) {}

QString clsStockQuote::getQuote(const QString& symbol) {
    // Any failure of the fetch leaves the page empty; the symbol is then simply not found.
    const QString page = m_fetcher.fetch(m_page);
    m_writePage(page);

    qsizetype p = InStr(page, symbol);
    if (p == 0) {
        m_shell.messageBox(QStringLiteral("Simbolo  ") + symbol +
                               QStringLiteral("  non trovato in Internet !"),
                           appTitle(), Shell::Icon::Information, Shell::Buttons::Ok);
        return QStringLiteral("-1");
    }
    p += symbol.size();
    const qsizetype q = InStr(p, page, QStringLiteral("<BR>"));
    const QString s = q > 0 ? Mid(page, p, q - p) : Mid(page, p);
    const qsizetype c = InStr(s, QStringLiteral(","));
    return c > 2 ? Mid(s, c - 2, 6) : QString();
}

QString clsStockQuote::pReplace(QString& strExpression, const QString& strFind, const QString& strReplace) {
    if (strExpression.size() < strFind.size())
        return strExpression;
    const qsizetype n = strExpression.size();
    for (qsizetype i = 1; i <= n; ++i) {
        if (Mid(strExpression, i, strFind.size()) == strFind)
            strExpression =
                vb::Left(strExpression, i - 1) + strReplace + Mid(strExpression, i + strFind.size());
    }
    return strExpression;
}
