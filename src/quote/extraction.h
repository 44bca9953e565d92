#pragma once
// Cutting every tenor's rate and date out of the provider's rate table. The page is located by plain
// text markers, not parsed as HTML.

#include "hist_entry.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quote {

// The rate of an entry, read from its caption with the page's decimal comma ("2,3450" -> 2.345).
double rateFromCaption(const QString& caption);

// A rate cell's number: the value and its text as shown (an ASCII sign, the page's separator).
struct PageRate {
    double value = 0.0;
    QString text;
};

// The number a rate cell's text holds when the text, blanks at either end aside, is one whole decimal
// number: an optional sign ("+", "-" or U+2212), digits, one "," or ".", digits. Nothing otherwise.
std::optional<PageRate> readPageRate(QStringView text);

// A cell's text with its tags dropped.
QString cellText(QStringView cell);

struct ExtractedItem {
    QString key;                     // the item's tenor key
    bool found = false;              // the key is on the page; otherwise nothing else is set
    bool unavailableMessage = false; // "Quotazione non disponibile su Internet !!!" for this item
    bool undated = false;            // a rate, but no day in its date cell: the entry has no date
    QString dateCell;                // that cell's text, empty when there is no date cell
    QString rateCaption;
    QString dateCaption; // dd-mm; empty without a date
    HistEntry entry;
};

struct Extraction {
    QVector<ExtractedItem> items; // one per list item, in list order
    HistArrays entries;           // one per found item
    QString lblQuote;             // what the labels show once the last item is handled
    QString lblData;
};

// What keeps a found item from being recorded.
enum class Missing { Rate, Date };

// Told, while the walk goes on, that an item cannot be recorded, with its key, its date cell's text
// (for Missing::Date) and the captions the labels hold at that moment.
using UnavailableNotice = std::function<void(Missing what, const QString& key, const QString& dateCell,
                                             const QString& lblQuote, const QString& lblData)>;

// Extracts every item of the tenor list from page. lblQuote and lblData are the captions the labels
// hold before the walk; today is the date of an entry whose rate the page does not give.
Extraction extractAll(const QString& page, const QStringList& listItems, const QDate& today,
                      const QString& lblQuote, const QString& lblData,
                      const UnavailableNotice& onUnavailable = {});

} // namespace quote
