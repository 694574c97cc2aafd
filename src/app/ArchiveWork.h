#pragma once

#include "archive/SelfExtracting.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace platform
{
class Prompts;
class Shell;
} // namespace platform
namespace settings
{
class Settings;
}
namespace preview
{
class PreviewDispatcher;
}
namespace archive
{
class ArchiveListEvents;
class ArchiverCall;
class CompressDialog;
class Extraction;
class MemberCommands;
} // namespace archive

namespace app
{

class MainWindow;
class Navigation;

// The archive work of the main window: extraction of the selected archive, the commands of
// the member list's popup menu and the mouse on the member list, put together with the
// window's widgets, the settings and the library call.
class ArchiveWork final : public QObject
{
    Q_OBJECT
public:
    ArchiveWork(MainWindow& window, Navigation& navigation, settings::Settings& settings,
                platform::Prompts& prompts, platform::Shell& shell, archive::ArchiverCall& archiver,
                preview::PreviewDispatcher& preview, QObject* parent = nullptr);
    ~ArchiveWork() override;

    archive::Extraction& extraction() { return *m_extraction; }
    archive::MemberCommands& members() { return *m_members; }
    archive::ArchiveListEvents& listEvents() { return *m_events; }

    // "exe形式のファイルの中身を見る(LZH)": lists the LZH archive inside the selected
    // self-extracting archive in the member list, as for an LZH file.
    void listSelfExtracting();

    // "圧縮": the compression dialog (not modal); when it is open already it comes to the front.
    void openCompressDialog();
    archive::CompressDialog* compressDialog() const;
    // "LZHから自動解凍式書庫の作成".
    void selfExtractingFromLzh();

private:
    // Lists the archive again the way it was listed (after a member command changed it).
    void relist();

    MainWindow& m_window;
    Navigation& m_navigation;
    archive::ArchiverCall& m_archiver;
    preview::PreviewDispatcher& m_preview;
    std::unique_ptr<archive::Extraction> m_extraction;
    std::unique_ptr<archive::MemberCommands> m_members;
    std::unique_ptr<archive::ArchiveListEvents> m_events;
    archive::Services m_services;
    QPointer<archive::CompressDialog> m_compress;
};

} // namespace app
