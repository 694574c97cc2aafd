// Soak of the preview: the real program (desktop shell, media device, browser engine) on a
// folder of mixed files, and a given number of clicks on its file list, one file after the
// other round the list. Prints the resident memory after every block of clicks and, at the
// end, compares the memory after the last block with the memory after the first.
//
//   soak_selection PROGRAM_FOLDER FOLDER [CLICKS=10000] [BLOCK=1000] [SETTLE_MS=15]
//
// PROGRAM_FOLDER stands for the program's own folder: the archiver libraries and the browser
// module are loaded from it, and exp.ini and temp/ are made in it.
// Exit code: 0 when every click landed, no message box came up and the memory after the
// last block is within 10 % of the memory after the first; 1 otherwise.

#include "RecordingPrompts.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "base/Paths.h"
#include "platform/Shell.h"
#include "platform/mci/MediaMci.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace
{

long residentKib()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// Lets the click's work and whatever it started (media, page loads) run for a while.
void settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    } while (timer.elapsed() < milliseconds);
}

int argument(const QStringList& arguments, int index, int fallback)
{
    return arguments.size() > index ? arguments.at(index).toInt() : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3) {
        std::fputs("usage: soak_selection PROGRAM_FOLDER FOLDER [CLICKS] [BLOCK] [SETTLE_MS]\n",
                   stderr);
        return 1;
    }
    platform::setProgramFolder(arguments.at(1));
    const QString folder = arguments.at(2);
    const int clicks = argument(arguments, 3, 10000);
    const int block = qMax(1, argument(arguments, 4, 1000));
    const int settleMs = argument(arguments, 5, 15);

    RecordingPrompts prompts;
    const std::unique_ptr<platform::Shell> shell = platform::createDesktopShell();
    auto* videoArea = new QWidget;
    const std::unique_ptr<platform::Mci> mci = platform::createMediaMci(videoArea);
    long firstBlock = -1;
    long lastBlock = -1;
    int missed = 0;
    {
        app::Application program(prompts, *shell, *mci);
        program.startUp({folder});
        program.mainWindow()->adoptMediaArea(videoArea);
        app::FileListBox* list = program.mainWindow()->fileList();
        settle(500);
        if (list->count() == 0) {
            std::fprintf(stderr, "no files listed in %s\n", qPrintable(folder));
            return 1;
        }
        std::printf("files=%d clicks=%d block=%d settle_ms=%d start_rss_kib=%ld\n", list->count(),
                    clicks, block, settleMs, residentKib());
        std::fflush(stdout);
        for (int i = 1; i <= clicks; ++i) {
            const QModelIndex item = list->model()->index((i - 1) % list->count(), 0);
            list->scrollTo(item);
            const QRect rect = list->visualRect(item);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
            if (list->currentIndex() != item)
                ++missed;
            settle(settleMs);
            if (i % block == 0) {
                const long rss = residentKib();
                if (firstBlock < 0)
                    firstBlock = rss;
                lastBlock = rss;
                std::printf("clicks=%d rss_kib=%ld boxes=%lld missed=%d\n", i, rss,
                            static_cast<long long>(prompts.shown().size()), missed);
                std::fflush(stdout);
            }
        }
        program.mainWindow()->close();
        settle(500);
    }
    const double growth =
        firstBlock > 0 ? 100.0 * static_cast<double>(lastBlock - firstBlock) / firstBlock : 0.0;
    std::printf("first_block_rss_kib=%ld last_block_rss_kib=%ld growth_percent=%.1f boxes=%lld "
                "missed=%d\n",
                firstBlock, lastBlock, growth, static_cast<long long>(prompts.shown().size()),
                missed);
    const bool ok = missed == 0 && prompts.shown().isEmpty() && firstBlock > 0 && growth <= 10.0 &&
                    growth >= -10.0;
    std::puts(ok ? "RESULT ok" : "RESULT failed");
    return ok ? 0 : 1;
}
