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
    const ArchiveFormat& format = formatOf(family);
    const bool into = way == ExtractWay::ChosenFolder || way == ExtractWay::NewFolder;
    return QString::fromLatin1(into ? format.extractInto : format.extractHere);
}
} // namespace

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
    return Line(QString::fromLatin1(formatOf(family).extractMembers))
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
    return Line(QString::fromLatin1(formatOf(family).openMember))
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
    return Line(QString::fromLatin1(formatOf(family).dragOut))
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
    return QChar(formatOf(family).memberSeparator);
}

QString memberBaseName(Family family, const QString& member)
{
    const qsizetype at = member.lastIndexOf(memberSeparator(family));
    return at < 0 ? member : member.mid(at + 1);
}

QString namedFolderFor(const QString& currentFolder, const QString& fileName)
{
    // The name without its archive ending: "src.tar.gz" extracts into "src".
    return platform::withSlash(currentFolder) +
           fileName.left(fileName.size() - endingLengthOf(fileName)) + QLatin1Char('/');
}

} // namespace archive
