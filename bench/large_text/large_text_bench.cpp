// Opens one file in the large-file text view and reports, on one line of key=value pairs:
//   first_screen_ms   open() to the first screen painted
//   index_ms          open() to the row index complete
//   max_stall_ms      the longest the user-interface thread kept a 10 ms timer waiting, past
//                     its 10 ms, while the index was built
//   jump_ms           Ctrl+End to the last row painted, once indexed
//   rss_added_kib     resident memory after all that, less before open()
//   search_ms         median of three searches for WORD from the first row, to the match shown
//   found_row         the row the search found (-1: none)
#include "preview/LargeTextView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

void waitUntil(const std::function<bool()>& done)
{
    while (!done())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: large_text_bench FILE WORD\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString word = QString::fromLocal8Bit(argv[2]);
    preview::LargeTextView view;
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    const long before = residentKiB();

    // The timer that measures stalls: each tick notes how late it came.
    QElapsedTimer tick;
    qint64 maxStall = 0;
    bool measuring = false;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(10);
    QElapsedTimer sinceOpen;
    qint64 stallAt = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (measuring && tick.elapsed() - 10 > maxStall) {
            maxStall = tick.elapsed() - 10;
            stallAt = sinceOpen.elapsed();
        }
        tick.restart();
    });

    QElapsedTimer clock;
    clock.start();
    sinceOpen.start();
    if (!view.open(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    view.viewport()->repaint();
    const qint64 firstScreen = clock.elapsed();
    if (view.rowText(0).isEmpty()) {
        std::fprintf(stderr, "nothing shown\n");
        return 1;
    }
    tick.start();
    measuring = true;
    timer.start();
    waitUntil([&] { return view.indexComplete(); });
    const qint64 indexed = clock.elapsed();
    measuring = false;
    timer.stop();

    clock.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(&view, &end);
    view.viewport()->repaint();
    const qint64 jump = clock.elapsed();
    if (view.firstVisibleRow() + view.visibleRowCount() < view.rowCount()) {
        std::fprintf(stderr, "the last row is not shown\n");
        return 1;
    }
    const long after = residentKiB();

    std::vector<qint64> searches;
    qint64 foundRow = -1;
    for (int i = 0; i < 3; ++i) {
        view.setSelection({}, {});
        bool finished = false;
        bool found = false;
        const auto connection =
            QObject::connect(&view, &preview::LargeTextView::findFinished, [&](bool hit) {
                finished = true;
                found = hit;
            });
        clock.restart();
        view.findNext(word, false, true, true);
        waitUntil([&] { return finished; });
        view.viewport()->repaint();
        searches.push_back(clock.elapsed());
        QObject::disconnect(connection);
        foundRow = found ? view.selectionStart().row : -1;
    }
    std::sort(searches.begin(), searches.end());
    std::printf("first_screen_ms=%lld index_ms=%lld max_stall_ms=%lld jump_ms=%lld "
                "rss_added_kib=%ld search_ms=%lld found_row=%lld rows=%lld stall_at_ms=%lld\n",
                static_cast<long long>(firstScreen), static_cast<long long>(indexed),
                static_cast<long long>(maxStall), static_cast<long long>(jump), after - before,
                static_cast<long long>(searches[1]), static_cast<long long>(foundRow),
                static_cast<long long>(view.rowCount()), static_cast<long long>(stallAt));
    return 0;
}
