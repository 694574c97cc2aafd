// The window thread's longest stall while a PDF is opened and then scrolled from its first
// page to its last, a page step at a time: pdf_stall_bench FILE.pdf
#include "common/WindowStall.h"
#include "preview/PdfPane.h"

#include <QApplication>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: pdf_stall_bench FILE.pdf\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    preview::PdfPane pane;
    pane.resize(700, 600);
    pane.show();

    double firstPageMs = 0;
    int steps = 0;
    QElapsedTimer sinceOpen;
    const bench::WindowStall stall = bench::measureWindowStall([&](const auto& done) {
        sinceOpen.start();
        QObject::connect(&pane, &preview::PdfPane::pageShown, &pane, [&, done](int page) {
            if (page == 0 && firstPageMs == 0)
                firstPageMs = sinceOpen.nsecsElapsed() / 1e6;
            if (page == pane.pageCount() - 1)
                done();
        });
        // A page step every 20 ms, as a held Page Down key does.
        auto* scroller = new QTimer(&pane);
        QObject::connect(scroller, &QTimer::timeout, &pane, [&pane, &steps] {
            if (pane.pageCount() == 0)
                return;
            ++steps;
            QScrollBar* bar = pane.verticalScrollBar();
            bar->setValue(bar->value() + bar->pageStep());
        });
        scroller->start(20);
        // A document that cannot be shown ends the run with its message.
        auto* watch = new QTimer(&pane);
        QObject::connect(watch, &QTimer::timeout, &pane, [&pane, watch, done] {
            if (pane.pageCount() == 0 && !pane.message().isEmpty() &&
                pane.message() != QStringLiteral("読み込んでいます…")) {
                watch->stop();
                std::printf("message: %s\n", qPrintable(pane.message()));
                done();
            }
        });
        watch->start(10);
        pane.open(path);
    });
    std::printf("pages %d, first page after %.1f ms, end reached after %.1f ms (%d steps), "
                "longest window stall %.1f ms\n",
                pane.pageCount(), firstPageMs, stall.tookMs, steps, stall.worstMs);
    return 0;
}
