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
struct PaintCounter : QObject {
    explicit PaintCounter(std::function<bool()> when)
        : when(std::move(when)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        paints += event->type() == QEvent::Paint && when();
        return QObject::eventFilter(watched, event);
    }
    std::function<bool()> when;
    int paints = 0;
};

} // namespace

class InputTest : public WindowTest {
protected:
    InputTest() {
        writePageCopy(kThreeTenors);
        insertRows(dbPath(), {{S("EuRibor 3m"), S("20261201"), 2.0, S("EuRibor 3m"), S("")},
                              {S("EuRibor 1m"), S("20261201"), 1.5, S("EuRibor 1m"), S("")}});
        context.fetcher = &pageFetcher;
        context.pageUrl = QString::fromLatin1(server.url("/page"));
        shell.onProcessEvents = [] { QCoreApplication::processEvents(); };
    }

    // A click on "Elenco", a key moving the tenor box, text from an input method and dropped text.
    void userInput(form1& w) {
        QTest::mouseClick(w.Command10, Qt::LeftButton);
        QTest::keyClick(w.Combo1, Qt::Key_Down);
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
           vb::toCp1252(
               ratesPage({{"EuRibor 1m", "1,986"}, {"EuRibor 3m", "2,064"}, {"EuRibor 6m", "2,137"}})),
           false, 1000}}}};
};

TEST_F(InputTest, ClicksAndKeysWhileThePageComesRunNoHandlerInTheMiddleOfTheCycle) {
    form1& w = loaded();
    ASSERT_FALSE(w.ending());
    ASSERT_EQ(w.Combo1->currentText(), kChoice);
    const QStringList earlier = rowTexts(dbPath());

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
            if (QFile::exists(historyPath()))
                return;
            afterPage = true;
            userInput(w);
        });
    });

    w.show(); // the cycle runs inside one event pass: the condition is looked at again only after it
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests() > 0; }, 30000));
    ticks.stop();

    EXPECT_GT(whileWaiting, 0) << "timers ran while the page was awaited";
    EXPECT_GT(painted.paints, 0) << "the window painted while the page was awaited";
    EXPECT_TRUE(afterPage);
    EXPECT_TRUE(shell.boxes.isEmpty()) << shell.texts().join(u'|').toStdString();
    EXPECT_EQ(w.Combo1->currentText() + u'|' + w.lblQuote->text() + u'|' + w.Text2->text(),
              kChoice + S("|2,0640|") + historyPath());
    EXPECT_EQ(readFile(historyPath()),
              "Data;Quotazione;Valuta;Note\r\n04-12-2026 - 1,9860 - EuRibor 1m\r\n"
              "04-12-2026 - 2,0640 - EuRibor 3m\r\n04-12-2026 - 2,1370 - EuRibor 6m\r\n");
    EXPECT_EQ(rowTexts(dbPath()), (earlier + QStringList{S("EuRibor 1m|20261204|1.986|EuRibor 1m|"),
                                                         S("EuRibor 3m|20261204|2.064|EuRibor 3m|"),
                                                         S("EuRibor 6m|20261204|2.137|EuRibor 6m|")}));
}
