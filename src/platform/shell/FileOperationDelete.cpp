// The file-operation record's delete and rename, and the count of the items before a long
// operation (FileOperationRunner.cpp holds copy and move).
#include "platform/shell/FileOperationRunner.h"

#include "platform/shell/BackgroundCount.h"
#include "platform/shell/FileCopy.h"
#include "platform/shell/OperationChecks.h"
#include "platform/shell/RunnerPaths.h"
#include "platform/shell/Trash.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform
{

using namespace runnerpaths;

bool FileOperationRunner::countUnits(const QList<QByteArray>& paths,
                                     const QList<struct stat>& infos, qint64& total,
                                     const CountItem& count)
{
    Q_UNUSED(infos)
    // The count runs on a thread of its own; this thread keeps the progress window answering
    // (its cancel button included) and gives it a step at once, before the first wait.
    BackgroundCount counting([&paths, &count](const std::atomic<bool>& stop) {
        qint64 sum = 0;
        for (qsizetype i = 0; i < paths.size() && !stop; ++i)
            sum += count(i, stop);
        return sum;
    });
    const QString label = QStringLiteral("項目を数えています...");
    bool first = true;
    while (first || !counting.waitFor(40)) {
        first = false;
        if (m_showProgress && !m_ui.progressStep(0, label)) {
            counting.stop();
            return false;
        }
    }
    total = counting.result();
    if (m_showProgress)
        m_ui.progressTotal(total);
    return true;
}

int FileOperationRunner::runDelete()
{
    const bool toTrash = (m_operation.flags & Shell::AllowUndo) != 0;
    QList<QByteArray> named;
    for (const QString& source : splitPathList(m_operation.from))
        named.append(absolute(source));
    if (!(m_operation.flags & Shell::NoConfirmation)) {
        // Every question names the full paths, never a bare name.
        if (!m_ui.ask(m_operation.owner,
                      toTrash ? ShellUi::Question::DeleteToTrash : ShellUi::Question::Delete,
                      opcheck::deleteQuestion(named, toTrash)))
            return Shell::kCancelled;
    }

    QList<QByteArray> paths;
    QList<struct stat> infos;
    qint64 total = 0;
    if (!statSources(paths, infos, total, [](const QByteArray&, const struct stat&) { return 0; }))
        return Shell::kFailed;
    if (m_showProgress)
        m_ui.progressStart(m_operation.owner,
                           toTrash ? QStringLiteral("ごみ箱に移動しています...")
                                   : QStringLiteral("削除しています..."),
                           0, !(m_operation.flags & Shell::SimpleProgress));
    // Items go to the trash whole (one rename each); a permanent delete counts the entries.
    const bool counted =
        countUnits(paths, infos, total, [&](qsizetype i, const std::atomic<bool>& stop) -> qint64 {
            return toTrash ? 1 : unitsOf(paths[i], infos[i], false, &stop);
        });
    if (!counted)
        return endProgress(Shell::kCancelled);
    int result = 0;
    for (qsizetype i = 0; i < paths.size() && result == 0; ++i) {
        m_device = infos[i].st_dev;
        result = shellResult(toTrash ? deleteToTrash(paths[i], infos[i])
                                     : removeTree(paths[i], infos[i]));
    }
    return endProgress(result);
}

FileOperationRunner::Step FileOperationRunner::deleteToTrash(const QByteArray& path,
                                                             const struct stat& info)
{
    const trash::Outcome outcome = trash::moveToTrash(text(path));
    switch (outcome.result) {
    case trash::Result::Trashed:
        return advance(1, path) ? Step::Done : Step::Cancelled;
    case trash::Result::Failed:
        return fail(verb(), path, outcome.reason);
    case trash::Result::NoTrash:
        break;
    }
    // Never erased silently: the user decides, even when questions are otherwise off.
    const QString question =
        QStringLiteral(
            "「%1」はごみ箱に移動できません。\n%2\n\n完全に削除しますか？（元に戻せません）")
            .arg(shown(path), outcome.reason);
    if (!m_ui.ask(m_operation.owner, ShellUi::Question::DeleteWithoutTrash, question))
        return advance(1, path) ? Step::Skipped : Step::Cancelled;
    return removeTree(path, info);
}

FileOperationRunner::Step FileOperationRunner::removeTree(const QByteArray& path,
                                                          const struct stat& info)
{
    if (S_ISDIR(info.st_mode)) {
        // Another volume mounted below is never entered.
        if (info.st_dev != m_device)
            return fail(QStringLiteral("削除"), path,
                        QStringLiteral("別のボリュームがマウントされています。"));
        const Step step =
            eachChild(path, QStringLiteral("削除"),
                      [this](const QByteArray& child, const struct stat& childInfo,
                             const QByteArray&) { return removeTree(child, childInfo); });
        if (step == Step::Cancelled || step == Step::Failed)
            return step;
        if (::rmdir(path.constData()) != 0)
            return fail(QStringLiteral("削除"), path, filecopy::errorText(errno));
    } else if (::unlink(path.constData()) != 0) {
        return fail(QStringLiteral("削除"), path, filecopy::errorText(errno));
    }
    return advance(1, path) ? Step::Done : Step::Cancelled;
}

int FileOperationRunner::runRename()
{
    const QStringList sources = splitPathList(m_operation.from);
    const QStringList targets = splitPathList(m_operation.to);
    if (sources.size() != 1 || targets.size() != 1) {
        m_ui.showError(m_operation.owner,
                       QStringLiteral("名前を変更できるのは一度に一つの項目だけです。"));
        return Shell::kFailed;
    }
    const QByteArray source = absolute(sources.first());
    QString to = targets.first();
    if (!to.contains(QLatin1Char('/')))
        to = text(folderOf(source)) + QLatin1Char('/') + to; // a bare name stays in its folder
    const QByteArray target = absolute(to);
    if (target == source)
        return 0;
    // Never replaces: an existing name is reported.
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        if (exists(target)) {
            error = EEXIST;
        } else if (::rename(source.constData(), target.constData()) == 0) {
            return 0;
        } else {
            error = errno;
        }
    }
    fail(verb(), source,
         error == EEXIST ? QStringLiteral("%1 は既にあります。").arg(shown(target))
                         : filecopy::errorText(error));
    return Shell::kFailed;
}

} // namespace platform
