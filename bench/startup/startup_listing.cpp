// The program as it starts (the same start as koramo's), timed until its window is shown with
// the file list filled: prints the milliseconds from the launch to the first paint after the
// list holds every file of the folder and nothing is still being read.
//
//   startup_listing --launch FOLDER   launches itself on FOLDER and prints the milliseconds
//
// Run from a copy beside the program's libraries, as koramo itself is (exp.ini and temp/ are
// made in that folder).
#include "app/Application.h"
#include "app/FileListBox.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

long long monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Watches, once the program's application exists, for the window with a filled list.
void watch()
{
    const char* started = std::getenv("STARTUP_LISTING_T0");
    if (!started)
        return;
    const long long t0 = std::atoll(started);
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, t0] {
        app::FileListBox* list = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!list && top->isVisible())
                list = top->findChild<app::FileListBox*>(QStringLiteral("File1"));
        }
        if (!list || !list->isVisible() || list->isListing() || list->count() == 0)
            return;
        poll->stop();
        // The filled list is painted on the next turn.
        QTimer::singleShot(0, qApp, [t0] {
            std::printf("%.1f\n", static_cast<double>(monotonicNs() - t0) / 1e6);
            std::fflush(stdout);
            std::_Exit(0);
        });
    });
    poll->start(1);
}
Q_COREAPP_STARTUP_FUNCTION(watch)

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--launch") == 0) {
        const std::string t0 = std::to_string(monotonicNs());
        const pid_t child = fork();
        if (child == 0) {
            setenv("STARTUP_LISTING_T0", t0.c_str(), 1);
            execl("/proc/self/exe", argv[0], argv[2], static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    return app::runProgram(argc, argv, platform::createDesktopShell);
}
