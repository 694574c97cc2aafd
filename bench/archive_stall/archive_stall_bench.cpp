// How long the window thread stops answering while archive work runs, through the program's
// own call path (runCommand over the threaded library call, the member list's listing):
//   archive_stall_bench extract  BIN threaded|direct ARCHIVE DEST
//   archive_stall_bench compress BIN threaded|direct ARCHIVE SOURCE_FOLDER
//   archive_stall_bench list     BIN ARCHIVE
// A timer on the window thread ticks every 5 ms; the largest gap between two ticks while the
// work runs is the stall. Prints "milliseconds stall_ms" ("rows N" follows a listing). "direct"
// makes the library call on the window thread itself (as before the worker), for comparison.
#include "../common/WindowStall.h"
#include "archive/ArchiverCall.h"
#include "archive/ArchiverWorker.h"
#include "archive/CommandLines.h"
#include "archive/MemberListing.h"
#include "archive/RunCommand.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "platform/LocalTimeZone.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{
// Runs `work` and prints its time and the window thread's longest stall meanwhile.
void measure(const std::function<void(const std::function<void()>& done)>& work)
{
    const bench::WindowStall stall = bench::measureWindowStall(work);
    std::printf("%.1f %.1f\n", stall.tookMs, stall.worstMs);
}

int runCall(const QString& mode, archive::Family family, const std::optional<QString>& line)
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    platform::QtPrompts prompts;
    archive::LibraryArchiverCall library;
    archive::ThreadedArchiverCall threaded(library);
    archive::ArchiverCall* call = &threaded;
    if (mode == QLatin1String("direct"))
        call = &library;
    int failed = 0;
    measure([&](const std::function<void()>& done) {
        const std::optional<archive::CallResult> result =
            archive::runCommand(call, &prompts, &window, family, line, archive::kReportBufferSize);
        if (!result) {
            std::fprintf(stderr, "the library could not be called\n");
            failed = 1;
        } else {
            // The report's closing line (its counts), for the record.
            const QStringList lines = result->report.trimmed().split(QLatin1Char('\n'));
            std::fprintf(stderr, "%s\n", qPrintable(lines.last()));
        }
        done();
    });
    return failed;
}

int list(const QString& archive)
{
    QTreeWidget list;
    list.setColumnCount(3);
    list.setUniformRowHeights(true);
    list.resize(400, 600);
    list.show();
    archive::MemberListing* listing = archive::MemberListing::of(&list);
    const archive::Family family =
        archive::familyOfFileName(archive).value_or(archive::Family::Lzh);
    int rows = 0;
    measure([&](const std::function<void()>& done) {
        QObject::connect(listing, &archive::MemberListing::finished, [&rows, done](int n) {
            rows = n;
            done();
        });
        listing->start(family, archive, 0, platform::programFolder());
    });
    std::printf("rows %d\n", rows);
    return rows > 0 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    // As the program does at start-up.
    platform::pinLocalTimeZone();
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: archive_stall_bench extract|compress|list BIN ...\n");
        return 2;
    }
    platform::setProgramFolder(args.at(2));
    if (args.at(1) == QLatin1String("list"))
        return list(args.at(3));
    if (args.size() < 6)
        return 2;
    const QString mode = args.at(3);
    if (args.at(1) == QLatin1String("extract")) {
        return runCall(mode, archive::Family::Lzh,
                       QStringLiteral("e -d1 \"%1\" \"%2/\"").arg(args.at(4), args.at(5)));
    }
    if (args.at(1) == QLatin1String("compress")) {
        return runCall(mode, archive::Family::Lzh,
                       archive::addToLzhCommand(args.at(4), args.at(5), QStringLiteral("*.*")));
    }
    return 2;
}
