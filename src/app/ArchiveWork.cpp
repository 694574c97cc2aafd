#include "app/ArchiveWork.h"

#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "app/WorkFolder.h"
#include "archive/CompressDialog.h"
#include "archive/Extraction.h"
#include "archive/MemberCommands.h"
#include "archive/MemberListing.h"
#include "archive/RunCommand.h"
#include "archive/Staging.h"
#include "fileops/ShellRoutines.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "preview/ArchiveListEvents.h"
#include "preview/PreviewDispatcher.h"
#include "settings/Settings.h"

#include <QAction>
#include <QDir>
#include <QTreeWidget>

namespace app
{

namespace
{
// The member list's use of the work folder leaves the compression dialog's staging folder
// alone: a member opened while files are staged must not take them away.
void emptyWorkFolderKeepingStaging()
{
    const QString work = workFolderPath();
    if (work.isEmpty())
        return;
    const QString staging = QString::fromUtf16(archive::kStagingFolderName);
    const QDir folder(work);
    if (!folder.exists(staging)) {
        deleteFolderTree(work);
        return;
    }
    for (const QString& name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (name != staging)
            archive::removeTree(work + name);
    }
}
} // namespace

ArchiveWork::ArchiveWork(MainWindow& window, Navigation& navigation,
                         const settings::Settings& settings, platform::Prompts& prompts,
                         platform::Shell& shell, archive::ArchiverCall& archiver,
                         preview::PreviewDispatcher& preview, QObject* parent)
    : QObject(parent), m_window(window), m_navigation(navigation), m_archiver(archiver),
      m_preview(preview)
{
    archive::ExtractionServices extraction;
    extraction.prompts = &prompts;
    extraction.shell = &shell;
    extraction.browser = &navigation;
    extraction.archiver = &archiver;
    extraction.askToShowExtracted = [&settings] { return settings.askToShowExtracted(); };
    m_extraction = std::make_unique<archive::Extraction>(extraction);

    archive::MemberServices members;
    members.prompts = &prompts;
    members.shell = &shell;
    members.browser = &navigation;
    members.archiver = &archiver;
    members.extraction = m_extraction.get();
    members.list = window.archiveList();
    members.relist = [this] { m_preview.previewSelectedFile(); };
    m_members = std::make_unique<archive::MemberCommands>(members);

    preview::ArchiveListServices list;
    list.prompts = &prompts;
    list.shell = &shell;
    list.browser = &navigation;
    list.archiver = &archiver;
    list.members = m_members.get();
    list.list = window.archiveList();
    list.popup = window.archiveMenu();
    for (const char* name : {"se", "syosaku", "tuika"}) {
        if (QAction* action = window.menuAction(QString::fromLatin1(name)))
            list.lzhOnlyEntries.append(action);
    }
    list.workFolder = [] { return workFolderPath(); };
    list.deleteWorkFolder = [] { emptyWorkFolderKeepingStaging(); };
    list.createWorkFolder = [] { QDir().mkdir(workFolderPath()); };
    list.clearBackFolder = [this] { m_window.setBackFolder(QString()); };
    list.dragAndDropOff = [&settings] { return settings.fileDragOff(); };
    list.relist = [this] { m_preview.previewSelectedFile(); };
    m_events = std::make_unique<preview::ArchiveListEvents>(list);

    m_compressServices.prompts = &prompts;
    m_compressServices.archiver = &archiver;
    m_compressServices.mainWindow = &window;
    m_compressServices.workFolder = [] { return workFolderPath(); };
}

ArchiveWork::~ArchiveWork() = default;

void ArchiveWork::listSelfExtracting()
{
    const QString name = m_navigation.selectedFileName();
    if (name.isEmpty())
        return;
    const QString path = platform::withSlash(m_navigation.currentFolder()) + name;
    // The usual preview first (status bar, other viewers put away), then the payload's members.
    m_preview.previewSelectedFile();
    QTreeWidget* list = m_window.archiveList();
    archive::MemberListing::of(list)->start(
        QStringLiteral("lzh"), path, archive::ownerWindowId(&m_window), platform::programFolder());
    m_members->listAs(path, archive::Family::Lzh);
    m_events->setDropMode(false);
    list->show();
}

void ArchiveWork::openCompressDialog()
{
    if (m_compress) {
        m_compress->raise();
        m_compress->activateWindow();
        return;
    }
    m_compress = new archive::CompressDialog(m_compressServices, &m_window);
    m_compress->show();
}

archive::CompressDialog* ArchiveWork::compressDialog() const
{
    return m_compress.data();
}

void ArchiveWork::selfExtractingFromLzh()
{
    archive::SelfExtracting(m_compressServices).fromLzhArchive();
}

} // namespace app
