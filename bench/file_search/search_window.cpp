// Runs the search window (offscreen) over a tree and prints the milliseconds from the click on
// the start button to the end of the search, all results in the list, and their count:
//   search_window FOLDER PATTERN [RUNS]
#include "desktop/Prompts.h"
#include "fileops/FileSearchWindow.h"
#include "fileops/FoundFilesModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: search_window FOLDER PATTERN [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    platform::QtPrompts prompts;
    fileops::FileSearchWindow window(prompts);
    window.show();
    window.setStartFolder(QString::fromLocal8Bit(argv[1]));
    window.findChild<QLineEdit*>(QStringLiteral("searchPattern"))
        ->setText(QString::fromLocal8Bit(argv[2]));
    auto* start = window.findChild<QPushButton*>(QStringLiteral("searchStart"));
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QEventLoop loop;
        QObject::connect(&window, &fileops::FileSearchWindow::searchEnded, &loop,
                         &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        start->click();
        loop.exec();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%.1f %d\n", times[times.size() / 2], window.results().rowCount());
    return 0;
}
