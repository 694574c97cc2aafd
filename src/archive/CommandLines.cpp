#include "archive/CommandLines.h"

#include "platform/Paths.h"

namespace archive
{

namespace
{
const QString kBlank = QStringLiteral(" ");

// The switches that open each family's extraction line for the four ways.
QString extractSwitches(Family family, ExtractWay way)
{
    switch (family) {
    case Family::Lzh:
        // A chosen or new folder takes absolute stored paths relative to itself too.
        return (way == ExtractWay::ChosenFolder || way == ExtractWay::NewFolder)
                   ? QStringLiteral("e -d1 -jf0 ")
                   : QStringLiteral("e -d1 ");
    case Family::Zip:
        return QStringLiteral("-x ");
    case Family::Cab:
        return QStringLiteral("-x -r ");
    }
    return QString();
}
} // namespace

std::optional<Family> familyOfFileName(const QString& fileName)
{
    const QString type = fileName.right(3).toLower();
    if (type == QLatin1String("lzh"))
        return Family::Lzh;
    if (type == QLatin1String("zip"))
        return Family::Zip;
    if (type == QLatin1String("cab"))
        return Family::Cab;
    return std::nullopt;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString memberList(const QStringList& names)
{
    QStringList parts;
    parts.reserve(names.size());
    for (const QString& name : names)
        parts.append(quoted(name));
    return parts.join(kBlank);
}

QString extractCommand(Family family, ExtractWay way, const QString& archive,
                       const QString& destination)
{
    return extractSwitches(family, way) + quoted(archive) + kBlank + quoted(destination);
}

QString extractMembersCommand(Family family, const QString& archive, const QString& destination,
                              const QStringList& members)
{
    QString prefix;
    switch (family) {
    case Family::Lzh:
        prefix = QStringLiteral("e ");
        break;
    case Family::Zip:
        prefix = QStringLiteral("-x ");
        break;
    case Family::Cab:
        prefix = QStringLiteral("-x -r ");
        break;
    }
    return prefix + quoted(archive) + kBlank + quoted(destination) + kBlank + memberList(members);
}

QString deleteMemberCommand(const QString& archive, const QString& member)
{
    return QStringLiteral("d -jyd ") + quoted(archive) + kBlank + quoted(member);
}

QString addToLzhCommand(const QString& archive, const QString& baseFolder, const QString& file)
{
    QString base = baseFolder;
    while (base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return QStringLiteral("u") + kBlank + QStringLiteral("-a1 -l1 -jp1 -o2") + kBlank +
           quoted(archive) + kBlank + quoted(base) + kBlank + quoted(file) + kBlank;
}

QString renameMembersCommand(const QString& archive, const QString& archiveFileName,
                             const QStringList& members)
{
    return QStringLiteral("n ") + quoted(archive) + kBlank + quoted(archiveFileName) + kBlank +
           memberList(members);
}

QString openMemberCommand(Family family, const QString& archive, const QString& workFolder,
                          const QString& member)
{
    QString prefix;
    switch (family) {
    case Family::Lzh:
        prefix = QStringLiteral("e ");
        break;
    case Family::Zip:
        prefix = QStringLiteral("-x -j ");
        break;
    case Family::Cab:
        prefix = QStringLiteral("-x ");
        break;
    }
    return prefix + quoted(archive) + kBlank + quoted(platform::withSlash(workFolder)) + kBlank +
           quoted(member);
}

QString dragOutCommand(Family family, const QString& archive, const QString& workFolder,
                       const QStringList& members)
{
    QString prefix;
    switch (family) {
    case Family::Lzh:
        prefix = QStringLiteral("e -n -d1 -m1 ");
        break;
    case Family::Zip:
        prefix = QStringLiteral("-x -u --i -o ");
        break;
    case Family::Cab:
        prefix = QStringLiteral("-x -i -n ");
        break;
    }
    return prefix + quoted(archive) + kBlank + quoted(platform::withSlash(workFolder)) + kBlank +
           memberList(members);
}

QChar memberSeparator(Family family)
{
    return family == Family::Cab ? QLatin1Char('\\') : QLatin1Char('/');
}

QString memberBaseName(Family family, const QString& member)
{
    const qsizetype at = member.lastIndexOf(memberSeparator(family));
    return at < 0 ? member : member.mid(at + 1);
}

QString namedFolderFor(const QString& currentFolder, const QString& fileName)
{
    return platform::withSlash(currentFolder) + fileName.left(fileName.size() - 4) +
           QLatin1Char('/');
}

} // namespace archive
