// Lists a folder into the program's file list, as a folder change does, and prints the
// milliseconds it took, the number listed, the CPU milliseconds, the milliseconds of switching
// the mask to "*.txt" (medians of the runs) and the peak resident memory in MiB:
// list_folder FOLDER [RUNS]
#include "app/FileListBox.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace
{
// The CPU time of this thread, in milliseconds: on a shared machine the wall time counts the
// waits for a core too.
double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_folder FOLDER [RUNS]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::vector<double> times;
    std::vector<double> cpu;
    std::vector<double> switches;
    int listed = 0;
    for (int i = 0; i < runs; ++i) {
        app::FileListBox list;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMilliseconds();
        list.setPath(folder);
        times.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMilliseconds() - cpuStart);
        listed = list.count();
        timer.restart();
        list.setPattern(QStringLiteral("*.txt"));
        switches.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    std::sort(switches.begin(), switches.end());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.1f %d %.1f %.1f %.1f\n", times[times.size() / 2], listed, cpu[cpu.size() / 2],
                switches[switches.size() / 2], static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
