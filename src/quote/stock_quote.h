#pragma once
// clsStockQuote: the program's client for the provider's quote page.

#include <QString>

#include <functional>

class PageFetcher;
class Shell;

class clsStockQuote {
public:
    // writePage receives the whole page text (the main window's Text3).
    clsStockQuote(PageFetcher& fetcher, Shell& shell, std::function<void(const QString&)> writePage);

    QString htmPage() const { return m_page; }
    void setHtmPage(const QString& htmPage) { m_page = htmPage; }

    // Fetches the page and returns the text around the first decimal comma after symbol: "-1" when
    // symbol is not on the page (after a message), empty when no comma follows closely enough.
    QString getQuote(const QString& symbol);

    // Replaces every strFind in strExpression, scanning only as far as the text's original length;
    // changes strExpression and returns it.
    static QString pReplace(QString& strExpression, const QString& strFind, const QString& strReplace);
    static QString sp() { return QStringLiteral("&nbsp;"); }

private:
    PageFetcher& m_fetcher;
    Shell& m_shell;
    std::function<void(const QString&)> m_writePage;
    QString m_page;
};
