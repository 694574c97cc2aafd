#include "archive/CommandLines.h"

#include "base/Paths.h"

namespace archive
{

namespace
{
const QString kBlank = QStringLiteral(" ");

// A command line put together piece by piece; an operand that cannot be quoted spoils it.
class Line final
{
public:
    explicit Line(const QString& start) : m_text(start) {}
    Line& text(const QString& raw)
    {
        m_text += raw;
        return *this;
    }
    Line& operand(const QString& value)
    {
        if (value.contains(QLatin1Char('"')))
            m_ok = false;
        else
            m_text += QLatin1Char('"') + value + QLatin1Char('"');
        return *this;
    }
    Line& operands(const QStringList& values)
    {
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (i > 0)
                m_text += kBlank;
            operand(values.at(i));
        }
        return *this;
    }
    std::optional<QString> result() const
    {
        return m_ok ? std::optional<QString>(m_text) : std::nullopt;
    }

private:
    QString m_text;
    bool m_ok = true;
};

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

std::optional<QString> memberList(const QStringList& names)
{
    return Line(QString()).operands(names).result();
}

QString unquotableNameText()
{
    return QStringLiteral("名前に \" を含むファイルやフォルダは書庫操作に使えません。");
}

std::optional<QString> extractCommand(Family family, ExtractWay way, const QString& archive,
                                      const QString& destination)
{
    return Line(extractSwitches(family, way))
        .operand(archive)
        .text(kBlank)
        .operand(destination)
        .result();
}

std::optional<QString> extractMembersCommand(Family family, const QString& archive,
                                             const QString& destination, const QStringList& members)
{
    QString prefix;
    switch (family) {
    case Family::Lzh:
        prefix = QStringLiteral("e --exact ");
        break;
    case Family::Zip:
        prefix = QStringLiteral("-x --exact ");
        break;
    case Family::Cab:
        prefix = QStringLiteral("-x -r --exact ");
        break;
    }
    return Line(prefix)
        .operand(archive)
        .text(kBlank)
        .operand(destination)
        .text(kBlank)
        .operands(members)
        .result();
}

std::optional<QString> deleteMemberCommand(const QString& archive, const QString& member)
{
    return Line(QStringLiteral("d -jyd --exact "))
        .operand(archive)
        .text(kBlank)
        .operand(member)
        .result();
}

std::optional<QString> addToLzhCommand(const QString& archive, const QString& baseFolder,
                                       const QString& file)
{
    QString base = baseFolder;
    while (base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return Line(QStringLiteral("u") + kBlank + QStringLiteral("-a1 -l1 -jp1 -o2") + kBlank)
        .operand(archive)
        .text(kBlank)
        .operand(base)
        .text(kBlank)
        .operand(file)
        .text(kBlank)
        .result();
}

std::optional<QString> renameMembersCommand(const QString& archive, const QString& archiveFileName,
                                            const QStringList& members)
{
    return Line(QStringLiteral("n --exact "))
        .operand(archive)
        .text(kBlank)
        .operand(archiveFileName)
        .text(kBlank)
        .operands(members)
        .result();
}

std::optional<QString> openMemberCommand(Family family, const QString& archive,
                                         const QString& workFolder, const QString& member)
{
    QString prefix;
    switch (family) {
    case Family::Lzh:
        prefix = QStringLiteral("e --exact ");
        break;
    case Family::Zip:
        prefix = QStringLiteral("-x -j --exact ");
        break;
    case Family::Cab:
        prefix = QStringLiteral("-x --exact ");
        break;
    }
    return Line(prefix)
        .operand(archive)
        .text(kBlank)
        .operand(platform::withSlash(workFolder))
        .text(kBlank)
        .operand(member)
        .result();
}

std::optional<QString> dragOutCommand(Family family, const QString& archive,
                                      const QString& workFolder, const QStringList& members)
{
    QString prefix;
    switch (family) {
    case Family::Lzh:
        prefix = QStringLiteral("e -n -d1 -m1 --exact ");
        break;
    case Family::Zip:
        prefix = QStringLiteral("-x -u --i -o --exact ");
        break;
    case Family::Cab:
        // With their folders, as for the other families: namesakes in different folders must
        // not land on one file.
        prefix = QStringLiteral("-x -r -i --exact ");
        break;
    }
    return Line(prefix)
        .operand(archive)
        .text(kBlank)
        .operand(platform::withSlash(workFolder))
        .text(kBlank)
        .operands(members)
        .result();
}

QString withArchiveExtension(const QString& file, const QString& extension)
{
    if (file.isEmpty() || file.endsWith(extension, Qt::CaseInsensitive))
        return file;
    return file + extension;
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
