#include "archive/ArchiveViewer.h"

#include "archive/MemberListing.h"
#include "archive/NameEncodingButton.h"
#include "archive/NameEncodings.h"
#include "base/Paths.h"
#include "preview/PreviewDispatcher.h"
#include "preview/PreviewPane.h"

#include <QAction>
#include <QHeaderView>
#include <QTreeWidget>

namespace archive
{

ArchiveViewer::ArchiveViewer(const ArchiveFormat& format, QTreeWidget* list, const Actions& actions,
                             QWidget* window)
    : m_format(format), m_list(list), m_actions(actions), m_window(window)
{
    // Every row is one line of text: the list lays out many members without measuring each.
    m_list->setUniformRowHeights(true);
    if (!m_format.nameEncodingChoice)
        return;
    // The list is read again in the encoding the user picks; the library's extraction of the
    // archive follows the same choice.
    // Formats that share the list share its one button; each acts on its own archives.
    m_encoding =
        m_list->header()->findChild<NameEncodingButton*>(QString(), Qt::FindDirectChildrenOnly);
    if (!m_encoding)
        m_encoding = new NameEncodingButton(m_list);
    QObject::connect(m_encoding, &NameEncodingButton::chosen, m_list,
                     [this](const QString& path, const QString& encoding) {
                         if (familyOfFileName(path) != m_format.family)
                             return;
                         setNameEncoding(m_format.family, platform::programFolder(), path,
                                         encoding);
                         listMembers(path);
                     });
}

void ArchiveViewer::enableExtraction(bool enabled)
{
    for (QAction* action : {m_actions.extractPopup, m_actions.extract}) {
        if (action)
            action->setEnabled(enabled);
    }
}

void ArchiveViewer::clear()
{
    QAction* rename = m_actions.renameMember;
    if (m_format.editable) {
        if (rename)
            rename->setVisible(true);
        m_list->setAcceptDrops(true);
        // Drops arrive at the area the items are drawn in.
        m_list->viewport()->setAcceptDrops(true);
    } else if (m_format.renameEntry == RenameEntry::HiddenWhenEmptied && rename) {
        rename->setVisible(false);
    }
    MemberListing::of(m_list)->abandon();
    m_list->clear();
}

void ArchiveViewer::show(const preview::PreviewFile& file)
{
    if (m_format.renameEntry == RenameEntry::HiddenWhenShown && m_actions.renameMember)
        m_actions.renameMember->setVisible(false);
    enableExtraction(true);
    if (m_encoding) {
        setNameEncoding(m_format.family, platform::programFolder(), file.path,
                        m_encoding->encodingOf(file.path));
        m_encoding->showFor(file.path);
    }
    listMembers(file.path);
    m_list->show();
}

void ArchiveViewer::listMembers(const QString& path)
{
    // Listed by a worker; the rows arrive in batches while the window keeps answering.
    MemberListing::of(m_list)->start(
        m_format.family, path, static_cast<quintptr>(m_window->winId()), platform::programFolder());
}

void ArchiveViewer::hide()
{
    if (m_encoding)
        m_encoding->hide();
    enableExtraction(false);
    m_list->hide();
}

void ArchiveViewer::stop()
{
    // A listing still running is of a file no longer chosen.
    MemberListing::of(m_list)->abandon();
}

void registerArchiveViewers(preview::PreviewDispatcher& dispatcher,
                            const preview::PreviewPane& pane)
{
    const ArchiveViewer::Actions actions{pane.extract, pane.extractPopup, pane.renameMember};
    constexpr auto atOnce = preview::PreviewDispatcher::HideWhen::AtOnce;
    for (const ArchiveFormat& format : archiveFormats()) {
        dispatcher.add(
            std::make_unique<ArchiveViewer>(format, pane.archiveList, actions, pane.window),
            {{{format.endings.begin(), format.endings.end()}, format.previewSwitch, true}}, {},
            atOnce);
    }
}

} // namespace archive
