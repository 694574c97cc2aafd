#pragma once

#include "archive/ArchiveFormats.h"
#include "preview/Viewer.h"

#include <QString>

class QAction;
class QTreeWidget;
class QWidget;

namespace preview
{
class PreviewDispatcher;
struct PreviewPane;
} // namespace preview

namespace archive
{

class NameEncodingButton;

// The member list of one archive format in the archive list. The extraction entries are enabled
// while it lists an archive; the member rename entry is offered for a format whose members are
// edited in place (LZH), whose list also takes files dropped onto it. Where the format lets the
// user choose (ZIP), a button at the end of the list's header chooses the encoding of names
// stored without a UTF-8 mark.
class ArchiveViewer final : public preview::Viewer
{
public:
    struct Actions {
        QAction* extract = nullptr;
        QAction* extractPopup = nullptr;
        QAction* renameMember = nullptr;
    };

    ArchiveViewer(const ArchiveFormat& format, QTreeWidget* list, const Actions& actions,
                  QWidget* window);

    // Shows the list and starts listing the members into it (through the archiver library, on
    // a worker); the list stays empty when the archive cannot be opened.
    void show(const preview::PreviewFile& file) override;
    void hide() override;
    // Abandons a listing that still runs.
    void stop() override;
    // Empties the list and readies it for this format, before the preview setting is asked.
    void clear() override;

private:
    void enableExtraction(bool enabled);
    void listMembers(const QString& path);

    const ArchiveFormat& m_format;
    NameEncodingButton* m_encoding = nullptr;
    QTreeWidget* m_list;
    Actions m_actions;
    QWidget* m_window;
};

// Registers the member list's viewers with the preview: one a format, each with the ending it
// lists and the preview setting that turns it off. The list is put away at once when another
// file is chosen.
void registerArchiveViewers(preview::PreviewDispatcher& dispatcher,
                            const preview::PreviewPane& pane);

} // namespace archive
