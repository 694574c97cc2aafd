// Lists a folder into the program's file list, shown on the screen, as a folder change does,
// and prints the medians of the runs: the milliseconds until the list is filled and laid out,
// the number listed, the process's CPU milliseconds (every thread), the milliseconds of switching
// the mask to "*.txt", the longest the window's thread went without answering meanwhile, then
// the resident memory with the list filled and the peak, in MiB:
// list_folder FOLDER [RUNS]
#include "../common/WindowStall.h"
#include "app/FileListBox.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace
{
// The CPU time of the whole process, in milliseconds: the reading runs on a worker.
double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double residentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs `start` and waits until the list has shown what it was asked for and the view has laid
// it out.
bench::WindowStall timed(app::FileListBox& list, const std::function<void()>& start)
{
    return bench::measureWindowStall([&](const std::function<void()>& done) {
        auto finished = std::make_shared<bool>(false);
        auto end = [&list, done, finished] {
            if (*finished || list.isListing())
                return;
            *finished = true;
            // The view lays the entries out and paints them on its next turn.
            QTimer::singleShot(0, &list, [done] { done(); });
        };
        QObject::connect(&list, &app::FileListBox::listed, &list, end);
        start();
        end();
    });
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
    std::vector<double> stalls;
    std::vector<double> resident;
    int listed = 0;
    for (int i = 0; i < runs; ++i) {
        app::FileListBox list;
        list.resize(600, 800);
        list.show();
        const double cpuStart = cpuMilliseconds();
        const bench::WindowStall reading = timed(list, [&] { list.setPath(folder); });
        times.push_back(reading.tookMs);
        cpu.push_back(cpuMilliseconds() - cpuStart);
        listed = list.count();
        resident.push_back(residentMiB());
        const bench::WindowStall switching =
            timed(list, [&] { list.setPattern(QStringLiteral("*.txt")); });
        switches.push_back(switching.tookMs);
        stalls.push_back(std::max(reading.worstMs, switching.worstMs));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.1f %d %.1f %.1f %.1f %.1f %.1f\n", median(times), listed, median(cpu),
                median(switches), median(stalls), median(resident),
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
