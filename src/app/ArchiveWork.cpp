#include "app/ArchiveWork.h"

#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "archive/ArchiveListEvents.h"
#include "archive/ArchiveViewer.h"
#include "archive/CommandLines.h"
#include "archive/CompressDialog.h"
#include "archive/Extraction.h"
#include "archive/MemberCommands.h"
#include "archive/MemberListing.h"
#include "archive/RunCommand.h"
#include "archive/Staging.h"
#include "archive/WorkArea.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "platform/WorkFolder.h"
#include "preview/PreviewDispatcher.h"
#include "settings/Settings.h"

#include <QAction>
#include <QDir>
#include <QTreeWidget>

namespace app
{

namespace
{
// This instance's work folder, or the folder that could not be made and why.
archive::WorkFolder currentWorkFolder()
{
    const QString path = workFolderPath();
    if (!path.isEmpty())
        return {path};
    const WorkFolderFailure failure = workFolderFailure();
    return {QString(), archive::workFolderErrorText(failure.folder, failure.reason)};
}

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

ArchiveWork::ArchiveWork(MainWindow& window, Navigation& navigation, settings::Settings& settings,
                         platform::Prompts& prompts, platform::Shell& shell,
                         archive::ArchiverCall& archiver, preview::PreviewDispatcher& preview,
                         QObject* parent)
    : QObject(parent), m_window(window), m_navigation(navigation), m_archiver(archiver),
      m_preview(preview)
{
    archive::registerArchiveViewers(preview, window.previewPane());

    archive::Services& services = m_services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.browser = &navigation;
    services.archiver = &archiver;
    services.mainWindow = &window;
    services.askToShowExtracted = [&settings] { return settings.askToShowExtracted(); };
    // A self-extracting archive listed through its LZH payload is extracted as LZH.
    services.familyOf = [this](const QString& path) -> std::optional<archive::Family> {
        const archive::ListedArchive listed = m_members->archive();
        if (listed.path == path)
            return listed.family;
        return archive::familyOfFileName(platform::namePart(path));
    };
    services.list = window.archiveList();
    services.popup = window.archiveMenu();
    for (const char* name : {"se", "syosaku", "tuika"}) {
        if (QAction* action = window.menuAction(QString::fromLatin1(name)))
            services.lzhOnlyEntries.append(action);
    }
    services.relist = [this] { relist(); };
    services.workFolder = [] { return currentWorkFolder(); };
    services.deleteWorkFolder = [] { emptyWorkFolderKeepingStaging(); };
    services.clearBackFolder = [this] { m_window.setBackFolder(QString()); };
    services.dragAndDropOff = [&settings] { return settings.fileDragOff(); };
    services.zipNamesInCp932 = [&settings] { return settings.zipNamesInCp932(); };
    services.keepZipNamesInCp932 = [&settings](bool cp932) { settings.keepZipNamesInCp932(cp932); };

    // Each part is handed the set once the parts it reports to exist.
    m_extraction = std::make_unique<archive::Extraction>(services);
    services.extraction = m_extraction.get();
    m_members = std::make_unique<archive::MemberCommands>(services);
    services.members = m_members.get();
    m_events = std::make_unique<archive::ArchiveListEvents>(services);
}

ArchiveWork::~ArchiveWork() = default;

void ArchiveWork::relist()
{
    // A self-extracting archive is listed again through its payload, as the user listed it.
    const archive::ListedArchive listed = m_members->archive();
    if (listed.family == archive::Family::Lzh &&
        !archive::familyOfFileName(m_navigation.selectedFileName())) {
        listSelfExtracting();
        return;
    }
    m_preview.previewSelectedFile();
}

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
        archive::Family::Lzh, path, archive::ownerWindowId(&m_window), platform::programFolder());
    m_members->listAs(path, archive::Family::Lzh);
    m_events->setDropMode(false);
    // The payload is extracted as an LZH archive's members are.
    for (const char* entry : {"kaitou", "kaitoup"}) {
        if (QAction* action = m_window.menuAction(QString::fromLatin1(entry)))
            action->setEnabled(true);
    }
    list->show();
}

void ArchiveWork::openCompressDialog()
{
    if (m_compress) {
        m_compress->raise();
        m_compress->activateWindow();
        return;
    }
    // Files are staged in the work folder: without it there is nothing to open.
    if (!archive::usableWorkFolder(m_services.workFolder, m_services.prompts, &m_window))
        return;
    m_compress = new archive::CompressDialog(m_services, &m_window);
    m_compress->show();
}

archive::CompressDialog* ArchiveWork::compressDialog() const
{
    return m_compress.data();
}

void ArchiveWork::selfExtractingFromLzh()
{
    archive::SelfExtracting(m_services).fromLzhArchive();
}

} // namespace app
