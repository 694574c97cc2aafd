#include "preview/ArchiveViewer.h"

#include "archive/ArchiveListing.h"
#include "platform/Paths.h"

#include <QAction>
#include <QTreeWidget>

namespace preview
{

ArchiveViewer::ArchiveViewer(QString family, QTreeWidget* list, const Actions& actions,
                             QWidget* window)
    : m_family(std::move(family)), m_list(list), m_actions(actions), m_window(window)
{
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
    if (m_family == QLatin1String("lzh")) {
        if (rename)
            rename->setVisible(true);
        m_list->setAcceptDrops(true);
    } else if (m_family == QLatin1String("cab") && rename) {
        rename->setVisible(false);
    }
    m_list->clear();
}

void ArchiveViewer::show(const PreviewFile& file)
{
    if (m_family == QLatin1String("zip") && m_actions.renameMember)
        m_actions.renameMember->setVisible(false);
    enableExtraction(true);
    // Filled while hidden, shown once.
    m_list->setUpdatesEnabled(false);
    archive::listArchive(m_family, file.path, m_list, static_cast<quintptr>(m_window->winId()),
                         platform::programFolder());
    m_list->setUpdatesEnabled(true);
    m_list->show();
}

void ArchiveViewer::hide()
{
    enableExtraction(false);
    m_list->hide();
}

void ArchiveViewer::stop()
{
    // The members are listed at once; nothing goes on afterwards.
}

} // namespace preview
