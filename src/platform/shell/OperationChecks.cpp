#include "platform/shell/OperationChecks.h"

#include "base/NativePath.h"
#include "platform/DeletionGuard.h"

namespace platform::opcheck
{

namespace
{
constexpr int kPathsListed = 10;
}

QString shown(const QByteArray& path)
{
    return displayPath(fromNativePath(path));
}

QString refusal(const QList<QByteArray>& sources, bool move)
{
    for (const QByteArray& source : sources) {
        const QString path = fromNativePath(source);
        if (protectionOf(path) != Protection::None)
            return protectedFolderText(path, move);
    }
    if (move)
        return QString();
    for (const QByteArray& source : sources) {
        const QString path = fromNativePath(source);
        const QByteArray mount = mountInside(path);
        if (!mount.isEmpty())
            return mountInsideText(path, fromNativePath(mount));
    }
    return QString();
}

QString mountInsideMove(const QByteArray& folder)
{
    const QByteArray mount = mountInside(fromNativePath(folder));
    if (mount.isEmpty())
        return QString();
    return QStringLiteral(
               "移動できません: %1\nフォルダの中に別のボリュームがマウントされています: %2")
        .arg(shown(folder), shown(mount));
}

QString deleteQuestion(const QList<QByteArray>& sources, bool toTrash)
{
    if (sources.size() == 1) {
        const QString question =
            toTrash
                ? QStringLiteral("「%1」をごみ箱に移動しますか？")
                : QStringLiteral("「%1」を完全に削除しますか？\n削除した項目は元に戻せません。");
        return question.arg(shown(sources.first()));
    }
    QString question =
        toTrash ? QStringLiteral("これらの %1 個の項目をごみ箱に移動しますか？")
                : QStringLiteral(
                      "これらの %1 個の項目を完全に削除しますか？\n削除した項目は元に戻せません。");
    question = question.arg(sources.size()) + u'\n';
    for (qsizetype i = 0; i < sources.size() && i < kPathsListed; ++i)
        question += u'\n' + shown(sources.at(i));
    if (sources.size() > kPathsListed)
        question += QStringLiteral("\nほか %1 個").arg(sources.size() - kPathsListed);
    return question;
}

} // namespace platform::opcheck
