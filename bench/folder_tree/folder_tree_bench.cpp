// The folder tree with a folder of many folders, in the real tree widget, shown:
//   folder_tree_bench PARENT NAME COUNT
// PARENT/NAME holds COUNT folders, the first named as `ls` sorts first, NAME/last one of them.
// Each step prints "step took_ms stall_ms": the time until the rows are shown (laid out in the
// view) and the longest gap between two ticks of a 5 ms timer on the window thread meanwhile.
//   expand   the folder opened under its parent (read, sorted, put in)
//   enter    one of its folders made current, as a path typed
//   grow     a folder made there from outside (the tree reads the folder again)
//   shrink   that folder removed again from outside
//   typed    a new tree given a path inside it (every folder on the way read)
//   refresh  the tree read afresh (the command's refresh) with that path current
#include "../common/WindowStall.h"
#include "app/FolderTree.h"
#include "app/FolderTreeModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace
{

// Waits for a condition outside any measurement, answering events meanwhile.
bool waitFor(const std::function<bool()>& ready, int timeoutMs = 120000)
{
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Starts `start`, then looks every millisecond whether `ready` holds; measures it all.
bench::WindowStall measure(const std::function<void()>& start, const std::function<bool()>& ready)
{
    return bench::measureWindowStall([&](const std::function<void()>& done) {
        auto* poll = new QTimer;
        poll->setTimerType(Qt::PreciseTimer);
        QObject::connect(poll, &QTimer::timeout, [poll, ready, done] {
            if (!ready())
                return;
            poll->stop();
            poll->deleteLater();
            done();
        });
        start();
        poll->start(1);
    });
}

app::FolderTreeModel* modelOf(const app::FolderTree& tree)
{
    return qobject_cast<app::FolderTreeModel*>(tree.model());
}

// The folder is the tree's current entry and its row is laid out.
bool shownCurrent(app::FolderTree& tree, const QString& path)
{
    const QModelIndex index = modelOf(tree)->indexOf(path);
    return index.isValid() && tree.currentIndex() == index && tree.visualRect(index).isValid();
}

void print(const char* step, const bench::WindowStall& stall)
{
    std::printf("%s %.1f %.1f\n", step, stall.tookMs, stall.worstMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: folder_tree_bench PARENT NAME COUNT\n", stderr);
        return 2;
    }
    const QString parent = QDir::cleanPath(QString::fromLocal8Bit(argv[1]));
    const QString big = parent + QLatin1Char('/') + QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    const QStringList some = QDir(big).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    if (some.size() != count) {
        std::fprintf(stderr, "%s holds %lld folders, not %d\n", qPrintable(big),
                     static_cast<long long>(some.size()), count);
        return 2;
    }
    const QString inside = big + QLatin1Char('/') + some.at(some.size() / 2);

    auto tree = std::make_unique<app::FolderTree>();
    tree->resize(320, 700);
    tree->show();
    if (!tree->setPath(parent) || !waitFor([&] { return shownCurrent(*tree, parent); }) ||
        !waitFor([&] { return modelOf(*tree)->indexOf(big).isValid(); })) {
        std::fputs("the parent folder was not shown\n", stderr);
        return 1;
    }

    print("expand",
          measure([&] { tree->expand(modelOf(*tree)->indexOf(big)); },
                  [&] {
                      const QModelIndex index = modelOf(*tree)->indexOf(big);
                      return modelOf(*tree)->rowCount(index) == count &&
                             tree->visualRect(modelOf(*tree)->index(0, 0, index)).isValid();
                  }));
    print("enter",
          measure([&] { tree->setPath(inside); }, [&] { return shownCurrent(*tree, inside); }));
    const QString grown = big + QStringLiteral("/zz-made-meanwhile");
    print("grow", measure([&] { QDir().mkdir(grown); },
                          [&] { return modelOf(*tree)->indexOf(grown).isValid(); }));
    print("shrink", measure([&] { QDir().rmdir(grown); },
                            [&] {
                                const QModelIndex index = modelOf(*tree)->indexOf(big);
                                return modelOf(*tree)->rowCount(index) == count;
                            }));
    tree.reset();

    auto typed = std::make_unique<app::FolderTree>();
    typed->resize(320, 700);
    typed->show();
    waitFor([&] { return typed->isVisible(); });
    print("typed",
          measure([&] { typed->setPath(inside); }, [&] { return shownCurrent(*typed, inside); }));
    print("refresh",
          measure([&] { typed->refresh(); }, [&] { return shownCurrent(*typed, inside); }));
    return 0;
}
