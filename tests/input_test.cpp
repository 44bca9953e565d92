// The window while the daily cycle waits for the page: it goes on painting and running timers, and
// the user's clicks and keys run no handler in the middle of the cycle.

#include "qt_page_fetcher.h"
#include "vb.h"

#include "support/loopback_http.h"
#include "support/sqlite_files.h"
#include "support/text.h"
#include "support/window_fixture.h"

#include <QDropEvent>
#include <QFile>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>

namespace {

const QString kChoice = S("EuRibor 3m");

// Counts the window's paint events while a condition holds.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(std::function<bool()> when)
        : m_when(std::move(when)) {}
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_when())
            ++paints;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_when;
};

} // namespace

class InputTest : public WindowTest {
protected:
    InputTest() {
        writePageCopy({S("Dettaglio tassi Euribor"), S("EuRibor 1m    1,986  04/12/2026"),
                       S("EuRibor 3m    2,064  04/12/2026"), S("EuRibor 6m    2,137  04/12/2026")});
        insertRows(dbPath(), {{S("EuRibor 3m"), S("20261201"), 2.0, S("EuRibor 3m"), S("")},
                              {S("EuRibor 1m"), S("20261201"), 1.5, S("EuRibor 1m"), S("")}});
        context.fetcher = &pageFetcher;
        context.pageUrl = QString::fromLatin1(server.url("/page"));
        // Waits let the window's events run, as on the desktop.
        shell.onProcessEvents = [] { QCoreApplication::processEvents(); };
    }

    bool recorded() const { return QFile::exists(historyPath()); }

    // The user clicks "Elenco" and moves the tenor box down by one.
    void userInput(form1& w) {
        QTest::mouseClick(w.Command10, Qt::LeftButton);
        QTest::keyClick(w.Combo1, Qt::Key_Down);
        // Text that comes without a key: from an input method, and dropped.
        QInputMethodEvent composed(QString(), {});
        composed.setCommitString(S("/tmp/altrove"));
        QApplication::sendEvent(w.Text2, &composed);
        QMimeData dragged;
        dragged.setText(S("/tmp/lasciato"));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.Text2, &drop);
    }

    QtPageFetcher pageFetcher;
    // The page comes a second after the request.
    LoopbackHttpServer server{
        {{"/page",
          {200, "Content-Type: text/html\r\n",
           vb::toCp1252(ratePage({pageRow(S("EuRibor 1m"), S("1,986"), S("04/12/2026")),
                                  pageRow(S("EuRibor 3m"), S("2,064"), S("04/12/2026")),
                                  pageRow(S("EuRibor 6m"), S("2,137"), S("04/12/2026"))})),
           false, 1000}}}};
};

TEST_F(InputTest, ClicksAndKeysWhileThePageComesRunNoHandlerInTheMiddleOfTheCycle) {
    form1& w = loaded();
    ASSERT_FALSE(w.ending());
    ASSERT_EQ(w.Combo1->currentText(), kChoice);
    const QStringList earlier = rowTexts(dbPath());
    ASSERT_EQ(earlier.size(), 2);

    auto waitingForPage = [&] { return server.requests() > 0 && w.Text3->toPlainText().isEmpty(); };
    PaintCounter painted(waitingForPage);
    w.installEventFilter(&painted);

    // While the fetch waits: a click and a key every 50 ms, and a repaint asked for.
    int whileWaiting = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (!waitingForPage())
            return;
        ++whileWaiting;
        userInput(w);
        w.update();
    });
    ticks.start(50);
    // The same again at the first event pass after the page arrived, before the day is recorded.
    bool afterPage = false;
    QObject::connect(w.Text3, &QPlainTextEdit::textChanged, [&] {
        QTimer::singleShot(0, [&] {
            if (recorded())
                return;
            afterPage = true;
            userInput(w);
        });
    });

    w.show(); // the daily cycle runs once the window is on screen
    // The cycle runs inside one event pass: the condition is looked at again only after it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests() > 0; }, 30000));
    ticks.stop();

    EXPECT_GT(whileWaiting, 0) << "timers ran while the page was awaited";
    EXPECT_GT(painted.paints, 0) << "the window painted while the page was awaited";
    EXPECT_TRUE(afterPage);
    EXPECT_TRUE(shell.boxes.isEmpty()) << shell.texts().join(u'|').toStdString();
    EXPECT_EQ(w.Combo1->currentText().toStdString(), kChoice.toStdString());
    EXPECT_EQ(w.lblQuote->text().toStdString(), "2,0640");
    EXPECT_EQ(w.Text2->text().toStdString(), historyPath().toStdString());

    // The day's rates once each, and no earlier record again.
    EXPECT_EQ(readFile(historyPath()).toStdString(), "Data;Quotazione;Valuta;Note\r\n"
                                                     "04-12-2026 - 1,9860 - EuRibor 1m\r\n"
                                                     "04-12-2026 - 2,0640 - EuRibor 3m\r\n"
                                                     "04-12-2026 - 2,1370 - EuRibor 6m\r\n");
    const QStringList rows = rowTexts(dbPath());
    ASSERT_EQ(rows.size(), earlier.size() + 3) << rows.join(u'\n').toStdString();
    EXPECT_EQ(rows.mid(0, earlier.size()), earlier);
    for (const QString& row : rows.mid(earlier.size()))
        EXPECT_TRUE(row.contains(S("|20261204|"))) << row.toStdString();
}
