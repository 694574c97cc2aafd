#include "archive/WorkArea.h"

#include "base/Paths.h"
#include "desktop/Prompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace archive
{

namespace
{
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void tell(platform::Prompts* prompts, QWidget* owner, const QString& text)
{
    if (prompts)
        prompts->message(owner, text, QString(), platform::Prompts::Critical);
}
} // namespace

QString workFolderErrorText(const QString& folder, const QString& reason)
{
    return QStringLiteral("作業フォルダ %1 を作れないため、実行できません。\n理由: %2")
        .arg(folder.isEmpty() ? QStringLiteral("(未定)") : folder,
             reason.isEmpty() ? QStringLiteral("不明") : reason);
}

QString whyNoFolder(const QString& folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.isEmpty())
        return systemReason(ENOENT);
    const QByteArray encoded = QFile::encodeName(path);
    struct stat st {
    };
    if (::stat(encoded.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? QString() : systemReason(ENOTDIR);
    // Each missing part in turn: the first one that cannot be made gives the reason.
    const QStringList parts = path.split(QLatin1Char('/'));
    QString made;
    for (const QString& part : parts) {
        if (part.isEmpty() && made.isEmpty()) {
            made = QStringLiteral("/");
            continue;
        }
        if (!made.endsWith(QLatin1Char('/')))
            made += QLatin1Char('/');
        made += part;
        const QByteArray step = QFile::encodeName(made);
        if (::mkdir(step.constData(), 0700) != 0 && errno != EEXIST)
            return systemReason(errno);
        if (::stat(step.constData(), &st) != 0)
            return systemReason(errno);
        if (!S_ISDIR(st.st_mode))
            return systemReason(ENOTDIR);
    }
    return QString();
}

std::optional<QString> readyWorkFolder(const WorkFolder& work, QString& why)
{
    if (work.path.isEmpty() || !QDir::isAbsolutePath(work.path) ||
        QDir::cleanPath(work.path) == QLatin1String("/")) {
        why = work.error.isEmpty() ? workFolderErrorText(work.path, systemReason(ENOENT))
                                   : work.error;
        return std::nullopt;
    }
    const QString reason = whyNoFolder(work.path);
    if (!reason.isEmpty()) {
        why = workFolderErrorText(work.path, reason);
        return std::nullopt;
    }
    why.clear();
    return platform::withSlash(work.path);
}

std::optional<QString> usableWorkFolder(const WorkFolderSource& source, platform::Prompts* prompts,
                                        QWidget* owner)
{
    QString why;
    const std::optional<QString> work = readyWorkFolder(source ? source() : WorkFolder(), why);
    if (!work)
        tell(prompts, owner, why);
    return work;
}

std::optional<QString> freshFolderIn(const QString& workFolder, platform::Prompts* prompts,
                                     QWidget* owner)
{
    QByteArray pattern = QFile::encodeName(workFolder) + "out-XXXXXX";
    const bool made = QDir::isAbsolutePath(workFolder) && workFolder.endsWith(QLatin1Char('/')) &&
                      ::mkdtemp(pattern.data());
    if (!made) {
        const int error = QDir::isAbsolutePath(workFolder) ? errno : ENOENT;
        tell(prompts, owner,
             workFolderErrorText(workFolder + QStringLiteral("out-XXXXXX"), systemReason(error)));
        return std::nullopt;
    }
    return QFile::decodeName(pattern) + QLatin1Char('/');
}

} // namespace archive
