// How long the window thread stops answering while the preview prints a text and while it
// loads a text whose read stalls, through the program's own classes:
//   preview_stall_bench print FILE OUT.pdf
//   preview_stall_bench load  FILE STALL_MS
// A timer on the window thread ticks every 5 ms; the largest gap between two ticks while the
// work runs is the stall. Prints "milliseconds stall_ms" (and "chars N" after a load). The
// stalled read is the loader's source waiting STALL_MS before it reads, as a file on a mount
// that does not answer would.
#include "../common/WindowStall.h"
#include "desktop/Prompts.h"
#include "editor/PrintJob.h"
#include "editor/TextPrint.h"
#include "preview/RichTextViewer.h"
#include "preview/TextLoader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace
{
// Runs `work` and prints its time and the window thread's longest stall meanwhile.
void measure(const std::function<void(const std::function<void()>& done)>& work)
{
    const bench::WindowStall stall = bench::measureWindowStall(work);
    std::printf("%.1f %.1f\n", stall.tookMs, stall.worstMs);
}

// The file system, with every read waiting first.
class StallingSource final : public preview::TextSource
{
public:
    explicit StallingSource(int stallMs) : m_stall(stallMs) {}
    platform::FileStatus status(const QString& path) override { return m_real.status(path); }
    bool read(const QString& path, qint64 limit, QByteArray& bytes, QString& error) override
    {
        std::this_thread::sleep_for(m_stall);
        return m_real.read(path, limit, bytes, error);
    }

private:
    preview::FileTextSource m_real;
    std::chrono::milliseconds m_stall;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 4 ||
        (args[1] != QLatin1String("print") && args[1] != QLatin1String("load"))) {
        std::fprintf(stderr,
                     "usage: preview_stall_bench print FILE OUT.pdf | load FILE STALL_MS\n");
        return 2;
    }
    QWidget window;
    auto* viewer = new preview::RichTextViewer(&window);
    auto* status = new QLabel(&window);
    platform::QtPrompts prompts;
    window.resize(800, 600);
    window.show();
    if (args[1] == QLatin1String("print")) {
        if (!viewer->loadFile(args[2]))
            return 1;
        editor::PreviewPrint print(viewer, status, prompts, &window);
        print.setTarget(std::make_unique<editor::PdfFile>(args[3]));
        measure([&](const std::function<void()>& done) {
            QObject::connect(&print, &editor::PreviewPrint::printFinished, &print,
                             [&, done](editor::PrintResult result) {
                                 if (result != editor::PrintResult::Printed)
                                     std::fprintf(stderr, "not printed\n");
                                 done();
                             });
            print.print();
        });
        return 0;
    }
    viewer->setTextSource(std::make_shared<StallingSource>(args[3].toInt()));
    measure([&](const std::function<void()>& done) {
        QObject::connect(viewer, &preview::RichTextViewer::loadFinished, viewer,
                         [done] { done(); });
        viewer->open(args[2]);
        if (!viewer->isLoading())
            done();
    });
    std::printf("chars %lld\n", static_cast<long long>(viewer->text().size()));
    return 0;
}
