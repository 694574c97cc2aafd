#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace bench
{

// How long some work took and the longest gap, meanwhile, between the ticks of a 5 ms timer on
// the window's thread, both in milliseconds.
struct WindowStall {
    double tookMs = 0;
    double worstMs = 0;
};

// Runs `work` from the window thread's event loop (QApplication must exist) and measures it.
// `work` calls `done` when it has ended; the gap up to the end counts as well.
inline WindowStall
measureWindowStall(const std::function<void(const std::function<void()>& done)>& work)
{
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    qint64 worst = 0;
    bool running = false;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (running)
            worst = std::max(worst, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    ticker.start(5);
    qint64 took = 0;
    QTimer::singleShot(50, [&] {
        running = true;
        sinceTick.restart();
        clock.start();
        work([&] {
            took = clock.nsecsElapsed();
            worst = std::max(worst, sinceTick.nsecsElapsed());
            running = false;
            QTimer::singleShot(20, qApp, &QCoreApplication::quit);
        });
    });
    QApplication::exec();
    return {took / 1e6, worst / 1e6};
}

} // namespace bench
