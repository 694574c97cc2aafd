// Library calls on a worker thread: the window thread keeps answering while the call runs,
// the user's input to the windows that were open is swallowed (no second command can start),
// windows that open during the call take input, and the call's result comes back whole.
#include "archive/ArchiverWorker.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

using archive::CallResult;
using archive::Family;

namespace
{
// A library call that holds its thread until released, and remembers where it ran.
class HeldCall final : public archive::ArchiverCall
{
public:
    std::atomic<bool> release{false};
    std::atomic<int> calls{0};
    std::thread::id ranOn;
    QString line;

    CallResult run(Family, quintptr owner, const QString& commandLine, int size) override
    {
        ranOn = std::this_thread::get_id();
        line = commandLine;
        ++calls;
        // Holds the call (at most 20 s) until the test releases it.
        for (int i = 0; i < 20000 && !release.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        CallResult result;
        result.code = 0x8020;
        // Longer than the buffer the caller named, with a blank, quotes and CP932-only text.
        result.report = QStringLiteral("Skipped  \"-x.txt\" : ＼～ 中止しました\n").repeated(size) +
                        QString::number(owner);
        return result;
    }
};

// Takes every drag that enters it.
class DropTarget final : public QWidget
{
public:
    DropTarget() { setAcceptDrops(true); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
};

// A window with a button, a text field and a shortcut, counting what reaches them.
struct Window {
    QWidget window;
    QPushButton* button = new QPushButton(QStringLiteral("go"));
    QLineEdit* field = new QLineEdit;
    QAction* shortcut = new QAction(&window);
    int clicks = 0;
    int shortcuts = 0;

    Window()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        layout->addWidget(field);
        shortcut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
        window.addAction(shortcut);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        QObject::connect(shortcut, &QAction::triggered, [this] { ++shortcuts; });
        window.show();
        QApplication::setActiveWindow(&window);
        field->setFocus();
    }
    // The user clicks, types and uses the shortcut.
    void useIt()
    {
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClicks(field, QStringLiteral("ab"));
        QTest::keyClick(field, Qt::Key_E, Qt::ControlModifier);
    }
};
} // namespace

class ArchiverWorkerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void inputIsSwallowedWhileTheCallRuns()
    {
        Window w;
        HeldCall held;
        archive::ThreadedArchiverCall threaded(held);
        int ticks = 0;
        bool visibleDuring = false;
        int newWindowClicks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(5);
        QTimer::singleShot(50, [&] {
            QVERIFY(threaded.busy());
            w.useIt();
            // The window manager's close button, and the program's own request to end.
            QCloseEvent userClose;
            QApplication::sendEvent(w.window.windowHandle(), &userClose);
            visibleDuring = w.window.isVisible();
            w.window.close();
            visibleDuring = visibleDuring && w.window.isVisible();
            // A window that opens now (as a library's question does) takes the click.
            QPushButton question(QStringLiteral("yes"));
            QObject::connect(&question, &QPushButton::clicked, [&] { ++newWindowClicks; });
            question.show();
            QTest::mouseClick(&question, Qt::LeftButton);
            held.release = true;
        });
        const CallResult result = threaded.run(Family::Lzh, 42, QStringLiteral("e \"a b.lzh\""), 3);
        ticker.stop();

        QCOMPARE(held.calls.load(), 1);
        QVERIFY(held.ranOn != std::this_thread::get_id());
        QCOMPARE(held.line, QStringLiteral("e \"a b.lzh\""));
        QCOMPARE(result.code, 0x8020);
        QCOMPARE(result.report,
                 QStringLiteral("Skipped  \"-x.txt\" : ＼～ 中止しました\n").repeated(3) +
                     QStringLiteral("42"));
        QVERIFY(!threaded.busy());
        // The window thread went on answering; nothing reached the open window.
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        QCOMPARE(w.clicks, 0);
        QCOMPARE(w.field->text(), QString());
        QCOMPARE(w.shortcuts, 0);
        QVERIFY(visibleDuring);
        QCOMPARE(newWindowClicks, 1);
        // The program's request to close is carried out once the call is over.
        QTRY_VERIFY(!w.window.isVisible());

        // Without a call running, the same input works.
        w.window.show();
        QApplication::setActiveWindow(&w.window);
        w.field->setFocus();
        w.useIt();
        QCOMPARE(w.clicks, 1);
        QCOMPARE(w.field->text(), QStringLiteral("ab"));
        QCOMPARE(w.shortcuts, 1);
    }

    void dropsOnOpenWindowsAreRefused()
    {
        DropTarget target;
        target.show();
        QMimeData data;
        data.setText(QStringLiteral("x"));
        QDragEnterEvent taken(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&target, &taken);
        QVERIFY(taken.isAccepted());
        platform::InputBlocker blocker;
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, {});
        QVERIFY(blocker.blocks(&target, &enter));
        QApplication::sendEvent(&target, &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, {});
        QVERIFY(blocker.blocks(&target, &drop));
        // Painting and timers are not input.
        QPaintEvent paint(QRect(0, 0, 1, 1));
        QVERIFY(!blocker.blocks(&target, &paint));
        QTimerEvent timer(1);
        QVERIFY(!blocker.blocks(&target, &timer));
    }

    void aCallOffTheWindowThreadRunsInPlace()
    {
        HeldCall held;
        held.release = true;
        archive::ThreadedArchiverCall threaded(held);
        std::thread::id caller;
        CallResult result;
        std::thread other([&] {
            caller = std::this_thread::get_id();
            result = threaded.run(Family::Zip, 0, QStringLiteral("-x"), 1);
        });
        other.join();
        QVERIFY(held.ranOn == caller);
        QCOMPARE(result.code, 0x8020);
    }
};

QTEST_MAIN(ArchiverWorkerTest)
#include "tst_archiver_worker.moc"
