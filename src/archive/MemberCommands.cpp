#include "archive/MemberCommands.h"

#include "archive/CommandLines.h"
#include "archive/Extraction.h"
#include "archive/RunCommand.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "fileops/FolderPicker.h"

#include <QTreeWidget>

namespace archive
{

bool addToLzhArchive(ArchiverCall* archiver, platform::Prompts* prompts, QWidget* owner,
                     const QString& archive, const QString& baseFolder, const QString& file,
                     const QString& what)
{
    const std::optional<CallResult> result =
        runCommand(archiver, prompts, owner, Family::Lzh,
                   addToLzhCommand(archive, baseFolder, file), kReportBufferSize);
    return result && succeeded(prompts, owner, what, *result);
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

MemberCommands::MemberCommands(Services services) : m_services(std::move(services)) {}

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

std::optional<CallResult> MemberCommands::run(Family family, const std::optional<QString>& line,
                                              int bufferSize)
{
    return runCommand(m_services.archiver, m_services.prompts, window(), family, line, bufferSize);
}

void MemberCommands::relist()
{
    if (m_services.relist)
        m_services.relist();
}

void MemberCommands::extractSelected()
{
    QString folder = fileops::pickFolder(*m_services.prompts, window(),
                                         QStringLiteral("解凍先ﾌｫﾙﾀﾞを選択してください。"));
    m_memberFolder = folder;
    if (folder.isEmpty())
        return;
    folder = platform::withSlash(folder);
    m_memberFolder = folder;
    const ListedArchive listed = archive();
    if (!listed.family)
        return;
    const std::optional<CallResult> result =
        run(*listed.family,
            extractMembersCommand(*listed.family, listed.path, folder,
                                  selectedMembers(m_services.list)),
            kReportBufferSize);
    if (!result)
        return;
    if (m_services.extraction)
        m_services.extraction->showResult(result->report);
    succeeded(m_services.prompts, window(),
              QStringLiteral("書庫 %1 から %2 に解凍できませんでした。").arg(listed.path, folder),
              *result);
}

void MemberCommands::add()
{
    const QString file = m_services.prompts->openFileName(window(), QString(),
                                                          QStringLiteral("すべてのファイル (*)"));
    if (file.isEmpty())
        return;
    const QString path = archive().path;
    addToLzhArchive(m_services.archiver, m_services.prompts, window(), path, QString(), file,
                    QStringLiteral("%1 を書庫 %2 に追加できませんでした。").arg(file, path));
    relist();
}

void MemberCommands::rename()
{
    const ListedArchive listed = archive();
    if (listed.family != Family::Lzh)
        return;
    const std::optional<CallResult> result =
        run(Family::Lzh,
            renameMembersCommand(listed.path, m_services.browser->selectedFileName(),
                                 selectedMembers(m_services.list)),
            kReportBufferSize);
    if (result) {
        if (m_services.extraction)
            m_services.extraction->showResult(result->report);
        succeeded(m_services.prompts, window(),
                  QStringLiteral("書庫 %1 のファイル名を変更できませんでした。").arg(listed.path),
                  *result);
    }
    relist();
}

void MemberCommands::remove()
{
    const QString path = archive().path;
    QStringList failed;
    for (const QString& member : selectedMembers(m_services.list)) {
        const std::optional<CallResult> result =
            run(Family::Lzh, deleteMemberCommand(path, member), kDeleteReportBufferSize);
        if (result && result->code != 0)
            failed << failureText(QStringLiteral("「%1」").arg(member), *result);
    }
    if (!failed.isEmpty())
        m_services.prompts->message(
            window(),
            QStringLiteral("書庫 %1 から次のものを削除できませんでした。\n\n").arg(path) +
                failed.join(QStringLiteral("\n\n")),
            QString(), platform::Prompts::Exclamation);
    relist();
}

} // namespace archive
