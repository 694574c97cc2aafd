// Loads one file into the preview's text box and reports, on one line:
//   <milliseconds from loadFile to the text painted> <max RSS before, KiB> <max RSS after, KiB>
#include "preview/RichTextViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

#include <sys/resource.h>

#include <cstdio>

namespace
{
long maxRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: preview_text_bench FILE\n");
        return 2;
    }
    preview::RichTextViewer viewer;
    viewer.setObjectName(QStringLiteral("RichTextBox1"));
    viewer.resize(800, 600);
    viewer.show();
    QApplication::processEvents();
    const long before = maxRssKiB();

    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!viewer.loadFile(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "load failed: %s\n", qPrintable(error));
        return 1;
    }
    // The text is shown once the visible part has been laid out and painted.
    if (viewer.isRichText())
        viewer.richView()->viewport()->repaint();
    else
        viewer.plainView()->viewport()->repaint();
    QApplication::processEvents();
    const qint64 ms = timer.elapsed();
    const long after = maxRssKiB();
    if (viewer.document()->isEmpty()) {
        std::fprintf(stderr, "nothing shown\n");
        return 1;
    }
    std::printf("%lld %ld %ld\n", static_cast<long long>(ms), before, after);
    return 0;
}
