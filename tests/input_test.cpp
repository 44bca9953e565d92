// The window while the daily cycle waits for the page: it goes on painting and running timers, and the
// user's clicks and keys run no handler in the middle of the cycle.

#include "qt_page_fetcher.h"
#include "vb.h"

#include "support/loopback_http.h"
#include "support/sqlite_files.h"
#include "support/text.h"
#include "support/window_fixture.h"

#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>

namespace {

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

} // namespace

TEST_F(WindowTest, ClicksAndKeysWhileThePageComesRunNoHandlerInTheMiddleOfTheCycle) {
    const QByteArray page =
        vb::toCp1252(ratesPage({{"EuRibor 1m", "1,986"}, {"EuRibor 3m", "2,064"}, {"EuRibor 6m", "2,137"}}));
    const LoopbackHttpServer server{{{"/page", {200, "Content-Type: text/html\r\n", page, false, 1000}}}};
    QtPageFetcher pageFetcher;
    writePageCopy(kThreeTenors);
    insertRows(dbPath(), {{S("EuRibor 1m"), S("20261201"), 1.5, S("EuRibor 1m"), S("")}});
    context.fetcher = &pageFetcher;
    context.pageUrl = QString::fromLatin1(server.url("/page"));
    shell.onProcessEvents = [] { QCoreApplication::processEvents(); };
    form1& w = loaded();
    const auto waitingForPage = [&] { return server.requests() > 0 && w.Text3->toPlainText().isEmpty(); };
    PaintCounter painted(waitingForPage);
    w.installEventFilter(&painted);
    // While the fetch waits: user input and a repaint asked for every 50 ms.
    int whileWaiting = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (waitingForPage()) {
            ++whileWaiting;
            userInput(w);
            w.update();
        }
    });
    ticks.start(50);
    // The same again at the first event pass after the page arrived, before the day is recorded.
    bool afterPage = false;
    QObject::connect(w.Text3, &QPlainTextEdit::textChanged, [&] {
        QTimer::singleShot(0, [&] {
            if (!QFile::exists(historyPath())) {
                afterPage = true;
                userInput(w);
            }
        });
    });
    w.show(); // the cycle runs inside one event pass: the condition is looked at again only after it
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests() > 0; }, 30000));
    ticks.stop();
    EXPECT_TRUE(whileWaiting > 0 && painted.paints > 0 && afterPage) << "timers ran, the window painted";
    EXPECT_TRUE(shell.boxes.isEmpty()) << shell.texts().join(u'|').toStdString();
    EXPECT_EQ(w.Combo1->currentText() + u'|' + labels() + u'|' + w.Text2->text(),
              S("EuRibor 3m|2,0640|04-12|") + historyPath());
    EXPECT_EQ(rowTexts(dbPath()), (QStringList{S("EuRibor 1m|20261201|1.5|EuRibor 1m|"),
                                               S("EuRibor 1m|20261204|1.986|EuRibor 1m|"),
                                               S("EuRibor 3m|20261204|2.064|EuRibor 3m|"),
                                               S("EuRibor 6m|20261204|2.137|EuRibor 6m|")}));
}
