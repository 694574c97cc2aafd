// FIFOs, sockets, devices and links to them in the file list: listed, and a click shows their
// size and date only; nothing opens them, so the window keeps answering. Names that are not
// UTF-8 are previewed through their real bytes.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "fileops/ExistingFile.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Releases a FIFO's reader when the program is stuck in its open: after the grace time it
// opens the FIFO for writing, and says that it had to.
class FifoWatchdog
{
public:
    explicit FifoWatchdog(const QByteArray& fifo) : m_fifo(fifo)
    {
        m_thread = std::thread([this] {
            // The grace time: five seconds, or until the test is done.
            for (int i = 0; i < 50 && !m_done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (m_done)
                return;
            m_released = true;
            const int fd = ::open(m_fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
    }
    ~FifoWatchdog() { finish(); }
    // True when the program had to be released.
    bool finish()
    {
        m_done = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_released;
    }

private:
    QByteArray m_fifo;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_released{false};
    std::thread m_thread;
};

} // namespace

class SpecialFilesTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        Run()
        {
            fifo = QFile::encodeName(browsed(QStringLiteral("x.txt")));
            ::mkfifo(fifo.constData(), 0644);
            ::symlink("/dev/zero", QFile::encodeName(browsed(QStringLiteral("z.log"))).constData());
            ::symlink("/dev/zero",
                      QFile::encodeName(browsed(QStringLiteral("zero.lzh"))).constData());
            ::symlink("x.txt", QFile::encodeName(browsed(QStringLiteral("pipe.mp3"))).constData());
            write(QStringLiteral("plain.txt"), "plain");
            start({browse.path()});
        }
        app::MainWindow* w() const { return window(); }
        // A click on the entry, as the user gives it.
        void click(const QString& shown) const
        {
            app::FileListBox* list = w()->fileList();
            const int entry = list->rowShowing(shown);
            QVERIFY2(entry >= 0, qPrintable(shown));
            list->scrollTo(list->model()->index(entry, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(entry, 0)).center());
        }
        bool visible(const char* name) const
        {
            return !w()->form()->findChild<QWidget*>(QString::fromLatin1(name))->isHidden();
        }
        QString panel(int n) const { return w()->panel(n)->text(); }
        QByteArray fifo;
    };

private Q_SLOTS:
    void specialFilesAreListed()
    {
        Run run;
        const QStringList names = run.w()->fileList()->names();
        for (const char* name : {"x.txt", "z.log", "zero.lzh", "pipe.mp3", "plain.txt"})
            QVERIFY2(names.contains(QLatin1String(name)), name);
    }

    void clickingOneShowsSizeAndDateOnly()
    {
        Run run;
        for (const char* name : {"x.txt", "z.log", "zero.lzh", "pipe.mp3"}) {
            run.click(QStringLiteral("plain.txt"));
            QVERIFY(run.visible("RichTextBox1"));
            FifoWatchdog watchdog(run.fifo);
            QElapsedTimer clock;
            clock.start();
            run.click(QLatin1String(name));
            QVERIFY2(!watchdog.finish(), name); // the window did not wait on the FIFO
            QVERIFY2(clock.elapsed() < 3000, name);
            QCOMPARE(run.panel(1), QStringLiteral("サイズ:0Byte"));
            QVERIFY2(run.panel(2).startsWith(QStringLiteral("修正日")), qPrintable(run.panel(2)));
            QVERIFY2(run.visible("Label2"), name);
            for (const char* viewer :
                 {"RichTextBox1", "Picture1", "WebBrowser1", "ListView1", "Text1"})
                QVERIFY2(!run.visible(viewer), viewer);
            QCOMPARE(run.w()->menuAction(QStringLiteral("kaitou"))->isEnabled(), false);
        }
        QVERIFY(run.mci.commands().filter(QStringLiteral("open")).isEmpty());
    }

    void fileExistsNeverOpensThem()
    {
        Run run;
        FifoWatchdog watchdog(run.fifo);
        for (const char* name : {"x.txt", "z.log", "pipe.mp3"}) {
            QVERIFY2(!fileops::existingFile(run.browsed(QLatin1String(name))), name);
        }
        const QString plain = run.browsed(QStringLiteral("plain.txt"));
        QCOMPARE(fileops::existingFile(plain), std::optional<QString>(plain));
        QVERIFY(!watchdog.finish());
    }

    void aNameThatIsNotUtf8IsPreviewedThroughItsBytes()
    {
        Run run;
        const QByteArray real =
            QFile::encodeName(run.browse.path()) + "/\x93\xfa\x96\x7b\x8c\xea.txt";
        const int fd = ::open(real.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "shift-jis name", 14), ssize_t(14));
        ::close(fd);
        run.w()->fileList()->refresh();
        run.click(QStringLiteral("[SJIS] 日本語.txt"));
        QCOMPARE(run.panel(1), QStringLiteral("サイズ:14Byte"));
        QVERIFY(run.panel(2).startsWith(QStringLiteral("修正日")));
        QVERIFY(run.visible("RichTextBox1"));
        auto* text = run.w()->form()->findChild<QWidget*>(QStringLiteral("RichTextBox1"));
        QVERIFY(text);
        bool found = false;
        for (auto* edit : text->findChildren<QPlainTextEdit*>())
            found = found || edit->toPlainText().contains(QStringLiteral("shift-jis name"));
        for (auto* edit : text->findChildren<QTextEdit*>())
            found = found || edit->toPlainText().contains(QStringLiteral("shift-jis name"));
        QVERIFY(found);
        ::unlink(real.constData());
    }
};

QTEST_MAIN(SpecialFilesTest)
#include "tst_special_files.moc"
