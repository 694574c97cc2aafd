#include "archive/MemberCommands.h"

#include "archive/CommandLines.h"
#include "archive/CommandRunner.h"
#include "archive/Extraction.h"
#include "fileops/FileBrowser.h"
#include "fileops/ShellRoutines.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"

#include <QTreeWidget>

namespace archive
{

void addToLzhArchive(CommandRunner& runner, QWidget* owner, const QString& archive,
                     const QString& baseFolder, const QString& file)
{
    runner.run(owner, Family::Lzh, addToLzhCommand(archive, baseFolder, file), kReportSize);
}

QStringList selectedMembers(const QTreeWidget* list)
{
    QStringList names;
    if (!list)
        return names;
    const int count = list->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->isSelected())
            names.append(item->text(0));
    }
    return names;
}

MemberCommands::MemberCommands(MemberServices services) : m_services(std::move(services)) {}

QWidget* MemberCommands::window() const
{
    return m_services.browser ? m_services.browser->window() : nullptr;
}

ListedArchive MemberCommands::archive() const
{
    if (!m_services.browser)
        return {};
    const QString name = m_services.browser->selectedFileName();
    const QString path = platform::withSlash(m_services.browser->currentFolder()) + name;
    if (!m_listedAs.path.isEmpty() && m_listedAs.path == path)
        return m_listedAs;
    return {path, familyOfFileName(name)};
}

void MemberCommands::listAs(const QString& path, Family family)
{
    m_listedAs = {path, family};
}

QString MemberCommands::run(Family family, const QString& line, int bufferSize)
{
    return m_services.runner ? m_services.runner->run(window(), family, line, bufferSize)
                             : QString();
}

void MemberCommands::extractSelected()
{
    QString folder = fileops::PickFolder(*m_services.prompts, window(),
                                         QStringLiteral("解凍先ﾌｫﾙﾀﾞを選択してください。"));
    m_memberFolder = folder;
    if (folder.isEmpty())
        return;
    folder = platform::withSlash(folder);
    m_memberFolder = folder;
    const ListedArchive listed = archive();
    QString report;
    if (listed.family) {
        report = run(*listed.family,
                     extractMembersCommand(*listed.family, listed.path, folder,
                                           selectedMembers(m_services.list)),
                     kReportSize);
    }
    if (m_services.extraction)
        m_services.extraction->showResult(report);
}

void MemberCommands::add()
{
    const QString file = m_services.prompts->openFileName(window(), QString(),
                                                          QStringLiteral("すべてのファイル (*)"));
    if (file.isEmpty())
        return;
    if (m_services.runner)
        addToLzhArchive(*m_services.runner, window(), archive().path, QString(), file);
    if (m_services.relist)
        m_services.relist();
}

void MemberCommands::rename()
{
    const ListedArchive listed = archive();
    if (listed.family != Family::Lzh)
        return;
    const QString line = renameMembersCommand(listed.path, m_services.browser->selectedFileName(),
                                              selectedMembers(m_services.list));
    const QString report = run(Family::Lzh, line, kReportSize);
    if (m_services.extraction)
        m_services.extraction->showResult(report);
}

void MemberCommands::remove()
{
    const QString path = archive().path;
    for (const QString& member : selectedMembers(m_services.list))
        run(Family::Lzh, deleteMemberCommand(path, member), kShortReportSize);
    if (m_services.relist)
        m_services.relist();
}

} // namespace archive
