#include "archive/StagingProgress.h"

#include "archive/ArchiverWorker.h"
#include "archive/Staging.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace archive
{

void runStagingCopy(StagingCopy& copy, QWidget* owner, const QString& title)
{
    // The open windows take no input while the copy runs (nothing else may start); the
    // progress window, made after this, does.
    platform::InputBlocker blocker;
    QProgressDialog progress(QStringLiteral("ファイルを作業フォルダにコピーしています..."),
                             QStringLiteral("キャンセル"), 0, 1000, owner);
    progress.setObjectName(QStringLiteral("stagingProgress"));
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QEventLoop loop;
    QThread* thread = QThread::create([&copy] { copy.run(); });
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &progress, [&progress, &copy] {
        // While the sizes are still being added up the bar stays at 0 (it still shows after
        // its delay, so a long walk can be cancelled too).
        const qint64 total = copy.total;
        progress.setValue(total > 0 ? int(qMin<qint64>(999, copy.done * 1000 / total)) : 0);
        if (progress.wasCanceled())
            copy.cancel = true;
    });
    tick.start(100);
    thread->start();
    if (!thread->isFinished())
        loop.exec();
    thread->wait();
    delete thread;
    tick.stop();
    progress.reset();
}

} // namespace archive
