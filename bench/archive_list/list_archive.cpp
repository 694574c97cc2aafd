// Lists an archive into the preview's member list through the archiver library, as a click
// on the archive does, and prints the milliseconds, the rows and the CPU milliseconds (medians):
// list_archive PROGRAM_FOLDER ARCHIVE [RUNS]
#include "archive/ArchiveListing.h"
#include "platform/LocalTimeZone.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
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
    // As the program does at start-up.
    platform::pinLocalTimeZone();
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: list_archive PROGRAM_FOLDER ARCHIVE [RUNS]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString archive = QString::fromLocal8Bit(argv[2]);
    const archive::Family family =
        archive::familyOfFileName(archive).value_or(archive::Family::Lzh);
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    std::vector<double> times;
    std::vector<double> cpu;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        QTreeWidget list;
        list.setUniformRowHeights(true);
        list.setColumnCount(3);
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMilliseconds();
        list.setUpdatesEnabled(false);
        rows = archive::listArchive(family, archive, &list, 0, folder);
        list.setUpdatesEnabled(true);
        times.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMilliseconds() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%.1f %d %.1f\n", times[times.size() / 2], rows, cpu[cpu.size() / 2]);
    return 0;
}
