// Lists a folder into the program's file list, as a folder change does, and prints the
// milliseconds it took (median of the runs): list_folder FOLDER [RUNS]
#include "app/FileListBox.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

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
    int listed = 0;
    for (int i = 0; i < runs; ++i) {
        app::FileListBox list;
        QElapsedTimer timer;
        timer.start();
        list.setPath(folder);
        times.push_back(timer.nsecsElapsed() / 1e6);
        listed = list.count();
    }
    std::sort(times.begin(), times.end());
    std::printf("%.1f %d\n", times[times.size() / 2], listed);
    return 0;
}
