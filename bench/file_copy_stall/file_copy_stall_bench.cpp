// How long the window thread stops answering while the shell copies, through the program's
// own call path (the desktop shell's file operation, with its progress window):
//   file_copy_stall_bench SOURCE DESTINATION_FOLDER
// A timer on the window thread ticks every 5 ms; the largest gap between two ticks while the
// copy runs is the stall. Prints "milliseconds stall_ms result".
#include "../common/WindowStall.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fputs("usage: file_copy_stall_bench SOURCE DESTINATION_FOLDER\n", stderr);
        return 2;
    }
    QWidget window;
    window.resize(400, 300);
    window.show();
    const std::unique_ptr<platform::Shell> shell = platform::createDesktopShell();
    platform::Shell::FileOperation op;
    op.owner = &window;
    op.operation = platform::Shell::Copy;
    op.from = QString::fromLocal8Bit(argv[1]) + QChar(u'\0');
    op.to = QString::fromLocal8Bit(argv[2]);

    int result = -1;
    const bench::WindowStall stall =
        bench::measureWindowStall([&](const std::function<void()>& done) {
            result = shell->fileOperation(op);
            done();
        });
    std::printf("%.1f %.1f %d\n", stall.tookMs, stall.worstMs, result);
    return result == 0 ? 0 : 1;
}
