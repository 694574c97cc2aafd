#include "archive/CompressCommands.h"

#include "archive/ArchiverCall.h"
#include "base/Paths.h"

namespace archive
{

namespace
{
const QString kBlank = QStringLiteral(" ");

std::optional<QString> twoOperands(const QString& start, const QString& first,
                                   const QString& second, const QString& end = QString())
{
    const std::optional<QString> a = quoted(first);
    const std::optional<QString> b = quoted(second);
    if (!a || !b)
        return std::nullopt;
    return start + *a + kBlank + *b + end;
}
} // namespace

std::optional<QString> cabCreateCommand(const QString& archive, const QString& baseFolder)
{
    return twoOperands(QStringLiteral("-a -r "), archive, platform::withSlash(baseFolder),
                       QStringLiteral(" *.*"));
}

std::optional<QString> zipCreateCommand(const QString& archive, const QString& baseFolder,
                                        bool cp932)
{
    return twoOperands(cp932 ? QStringLiteral("-a -r -cp932 ") : QStringLiteral("-a -r -utf8 "),
                       archive, platform::withSlash(baseFolder), QStringLiteral(" *.*"));
}

std::optional<QString> lzhSelfExtractingCommand(const QString& archive, const QString& folder)
{
    return twoOperands(QStringLiteral("s -gw3 "), archive, platform::withSlash(folder));
}

std::optional<QString> cabSelfExtractingCommand(const QString& archive, const QString& folder)
{
    return twoOperands(QStringLiteral("-f "), archive, platform::withSlash(folder));
}

QByteArray menuDirectiveText(const QString& title, const QString& group, const QString& name,
                             const QString& file)
{
    const QString text = QStringLiteral("$GroupTitle=") + title + QStringLiteral("\r\n") +
                         QStringLiteral("$Group=") + group + QLatin1Char(',') + name +
                         QLatin1Char(',') + file + QLatin1Char(',');
    return text.toUtf8();
}

bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

} // namespace archive
