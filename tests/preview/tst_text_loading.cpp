// A text on a mount that does not answer: the click returns at once with the box loading, the
// text comes when the read returns, and a click on another file meanwhile wins. The stall is a
// test source that holds the read of chosen files until the test lets it go (a named pipe is
// not opened by the preview at all, so it cannot stand in for a slow mount).
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "preview/EncodingButton.h"
#include "preview/RichTextViewer.h"
#include "preview/TextLoader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QSet>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace
{

// The real file system, with the reads of held files waiting until released.
class StallingSource final : public preview::TextSource
{
public:
    platform::FileStatus status(const QString& path) override { return m_real.status(path); }
    bool read(const QString& path, qint64 limit, QByteArray& bytes, QString& error) override
    {
        {
            std::unique_lock lock(m_mutex);
            ++m_started;
            m_released.wait(lock, [&] { return !m_held.contains(path); });
        }
        if (beforeRead)
            beforeRead(path);
        const bool ok = m_real.read(path, limit, bytes, error);
        ++finished;
        return ok;
    }
    void hold(const QString& path)
    {
        const std::lock_guard lock(m_mutex);
        m_held.insert(path);
    }
    void release(const QString& path)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_held.remove(path);
        }
        m_released.notify_all();
    }
    int started()
    {
        const std::lock_guard lock(m_mutex);
        return m_started;
    }

    std::atomic<int> finished{0};
    // Runs on the reading thread once a held read is let go, before the file is read.
    std::function<void(const QString&)> beforeRead;

private:
    preview::FileTextSource m_real;
    std::mutex m_mutex;
    std::condition_variable m_released;
    QSet<QString> m_held;
    int m_started = 0;
};

} // namespace

class TextLoadingTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        std::shared_ptr<StallingSource> source = std::make_shared<StallingSource>();
        Run()
        {
            write(QStringLiteral("slow.txt"), QStringLiteral("遅いマウントの本文\n").toUtf8());
            write(QStringLiteral("fast.txt"), QByteArrayLiteral("fast text\n"));
            start({browse.path()});
            viewer()->setTextSource(source);
        }
        ~Run() { source->release(browsed(QStringLiteral("slow.txt"))); }
        app::MainWindow* w() const { return window(); }
        preview::RichTextViewer* viewer() const { return w()->textViewer(); }
        // Makes the file the list's current entry, as a click does; the time it took in ms.
        qint64 click(const QString& name) const
        {
            app::FileListBox* list = w()->fileList();
            list->refresh();
            const int entry = list->rowShowing(name);
            if (entry < 0)
                return -1;
            QElapsedTimer clock;
            clock.start();
            list->setCurrentRow(-1);
            list->setCurrentRow(entry);
            return clock.elapsed();
        }
    };

private Q_SLOTS:
    void aStalledReadLeavesTheWindowAnswering()
    {
        Run run;
        const QString slow = run.browsed(QStringLiteral("slow.txt"));
        run.source->hold(slow);
        const qint64 took = run.click(QStringLiteral("slow.txt"));
        QVERIFY2(took >= 0 && took < 2000, qPrintable(QString::number(took)));
        QCOMPARE(run.source->started(), 1);
        QVERIFY(!run.viewer()->isHidden());
        QVERIFY(run.viewer()->isLoading());
        QVERIFY(run.viewer()->text().isEmpty());
        QTRY_COMPARE(run.viewer()->plainView()->placeholderText(),
                     QStringLiteral("読み込んでいます…"));
        // Nothing of the file yet: saving or printing has nothing to act on.
        QVERIFY(run.viewer()->filePath().isEmpty());
        // The window's own events go on while the read waits.
        int beats = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout, [&beats] { ++beats; });
        heartbeat.start(10);
        QTRY_VERIFY(beats >= 5);
        QVERIFY(run.viewer()->isLoading());

        run.source->release(slow);
        QTRY_COMPARE(run.viewer()->text(), QStringLiteral("遅いマウントの本文\n"));
        QVERIFY(!run.viewer()->isLoading());
        QVERIFY(run.viewer()->plainView()->placeholderText().isEmpty());
        QCOMPARE(run.viewer()->filePath(), slow);
        auto* encoding =
            run.w()->findChild<preview::EncodingButton*>(QStringLiteral("textEncoding"));
        QVERIFY(encoding && !encoding->isHidden());
        QCOMPARE(encoding->text(), QStringLiteral("UTF-8"));
        QVERIFY(run.prompts.shown().isEmpty());
    }

    void anotherClickWinsOverAStalledRead()
    {
        Run run;
        const QString slow = run.browsed(QStringLiteral("slow.txt"));
        run.source->hold(slow);
        run.click(QStringLiteral("slow.txt"));
        QVERIFY(run.viewer()->isLoading());
        // The next file is read within its click, the stalled one is no longer wanted.
        run.click(QStringLiteral("fast.txt"));
        QVERIFY(!run.viewer()->isLoading());
        QCOMPARE(run.viewer()->text(), QStringLiteral("fast text\n"));
        run.source->release(slow);
        QTRY_COMPARE(run.source->finished.load(), 2);
        QTest::qWait(50); // the late result's delivery, had it not been dropped
        QCOMPARE(run.viewer()->text(), QStringLiteral("fast text\n"));
        QCOMPARE(run.viewer()->filePath(), run.browsed(QStringLiteral("fast.txt")));

        // A stalled read given up for a file that is no text: the same.
        run.write(QStringLiteral("script.js"), "var a;\n");
        run.source->hold(slow);
        run.click(QStringLiteral("slow.txt"));
        QVERIFY(run.viewer()->isLoading());
        run.click(QStringLiteral("script.js"));
        QVERIFY(run.viewer()->isHidden());
        QVERIFY(!run.viewer()->isLoading());
        run.source->release(slow);
        QTRY_COMPARE(run.source->finished.load(), 3);
        // A stale load must stay dropped: give its queued result a moment to arrive.
        QTest::qWait(50);
        QVERIFY(run.viewer()->isHidden());
        QVERIFY(run.viewer()->text().isEmpty() ||
                run.viewer()->text() == QStringLiteral("fast text\n"));
    }

    void whatChangesWhileTheReadWaits()
    {
        Run run;
        const QString slow = run.browsed(QStringLiteral("slow.txt"));
        // Gone before the read: the box stays empty, nothing is left loading.
        run.source->hold(slow);
        run.click(QStringLiteral("slow.txt"));
        QVERIFY(QFile::remove(slow));
        run.source->release(slow);
        QTRY_VERIFY(!run.viewer()->isLoading());
        QVERIFY(run.viewer()->text().isEmpty());
        QVERIFY(run.prompts.shown().isEmpty());

        // Grown past the large-file size between its status and its read: not held whole,
        // it goes to the large-file view.
        const QString grow = run.write(QStringLiteral("grow.log"), "first\n");
        run.source->hold(grow);
        run.source->beforeRead = [](const QString& path) {
            QFile file(path);
            if (file.open(QIODevice::Append))
                file.write(QByteArray(preview::TextLoader::kLargeAbove + 4096, 'x'));
        };
        run.click(QStringLiteral("grow.log"));
        QVERIFY(run.viewer()->isLoading());
        run.source->release(grow);
        QTRY_VERIFY(run.viewer()->isLarge());
        QCOMPARE(run.viewer()->filePath(), grow);
        run.source->beforeRead = nullptr;

        // The window closed while a read waits: the late result goes nowhere.
        run.write(QStringLiteral("slow.txt"), "again\n");
        run.source->hold(slow);
        run.click(QStringLiteral("slow.txt"));
        QVERIFY(run.viewer()->isLoading());
        const int finished = run.source->finished.load();
        run.program.reset();
        run.source->release(slow);
        QTRY_COMPARE(run.source->finished.load(), finished + 1);
        // The load ends after its program: a moment for a result that must reach nobody.
        QTest::qWait(50);
    }
};

QTEST_MAIN(TextLoadingTest)
#include "tst_text_loading.moc"
