// Lists an archive into the preview's member list through the archiver library, as a click
// on the archive does, and prints the milliseconds (median of the runs) and the rows:
// list_archive PROGRAM_FOLDER ARCHIVE [RUNS]
#include "archive/ArchiveListing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: list_archive PROGRAM_FOLDER ARCHIVE [RUNS]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString archive = QString::fromLocal8Bit(argv[2]);
    const QString family = QFileInfo(archive).suffix().toLower();
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    std::vector<double> times;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        QTreeWidget list;
        list.setColumnCount(3);
        QElapsedTimer timer;
        timer.start();
        list.setUpdatesEnabled(false);
        rows = archive::listArchive(family, archive, &list, 0, folder);
        list.setUpdatesEnabled(true);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%.1f %d\n", times[times.size() / 2], rows);
    return 0;
}
