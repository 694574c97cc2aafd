#include "app/KeyboardCommands.h"

#include "app/ArchiveWork.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "archive/ArchiveListEvents.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>

namespace app
{

namespace
{
// True when the widget is the list or inside it (its viewport).
bool within(const QWidget* focus, const QWidget* list)
{
    return focus && list && (focus == list || list->isAncestorOf(focus));
}

// Where a pop-up opened from the keyboard appears: at the list's current item, or at its
// top-left corner when it has none.
QPoint popupPoint(const QAbstractItemView* list)
{
    QRect item = list->visualRect(list->currentIndex());
    if (!item.isValid() || !list->viewport()->rect().intersects(item))
        item = QRect(QPoint(0, 0), QSize(1, 1));
    return list->viewport()->mapToGlobal(item.bottomLeft());
}
} // namespace

KeyboardCommands::KeyboardCommands(RouteTargets targets, MainWindow& window, Navigation& navigation,
                                   QObject* parent)
    : QObject(parent), m_targets(std::move(targets)), m_window(window), m_navigation(navigation)
{
    add({QKeySequence(Qt::Key_F2)}, &KeyboardCommands::renameFocused);
    addTrigger({QKeySequence(Qt::Key_F5)}, "saisin");
    add({QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::ALT | Qt::Key_Up)},
        &KeyboardCommands::goToParentFolder);
    add({QKeySequence(Qt::ALT | Qt::Key_Left)}, &KeyboardCommands::goBack);
    addTrigger({QKeySequence(Qt::CTRL | Qt::Key_F)}, "tkensaku");
    addTrigger({QKeySequence(Qt::Key_F3)}, "tuken");
    add({QKeySequence(Qt::Key_F1)}, &KeyboardCommands::openManual);
    add({QKeySequence(Qt::Key_F10)}, &KeyboardCommands::openMenuBar);
    addTrigger({QKeySequence(Qt::CTRL | Qt::Key_Q)}, "end");
    add({QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)},
        &KeyboardCommands::popupFocused);
}

QAction* KeyboardCommands::shortcut(const QList<QKeySequence>& keys)
{
    auto* action = new QAction(&m_window);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    m_window.addAction(action);
    return action;
}

void KeyboardCommands::add(const QList<QKeySequence>& keys, void (KeyboardCommands::*command)())
{
    connect(shortcut(keys), &QAction::triggered, this, command);
}

void KeyboardCommands::addTrigger(const QList<QKeySequence>& keys, const char* actionName)
{
    connect(shortcut(keys), &QAction::triggered, this, [this, actionName] { trigger(actionName); });
}

void KeyboardCommands::trigger(const char* actionName)
{
    // A disabled entry (find with nothing previewed) stays without effect, as from the menu.
    QAction* action = m_window.menuAction(QString::fromLatin1(actionName));
    if (action && action->isEnabled())
        action->trigger();
}

void KeyboardCommands::goToParentFolder()
{
    // By the path's text: a name on the way that is not UTF-8 is kept as its bytes.
    const QString current = m_window.folderTree()->path();
    const QString target = QFileInfo(current).path();
    if (current.isEmpty() || target == current)
        return;
    m_window.setBackFolder(current);
    m_window.folderTree()->setPath(target);
}

void KeyboardCommands::goBack()
{
    m_navigation.goBack();
}

void KeyboardCommands::renameFocused()
{
    const QWidget* focus = QApplication::focusWidget();
    if (within(focus, m_window.folderTree()))
        trigger("fhenkou");
    else if (within(focus, m_window.archiveList()) && m_window.archiveList()->isVisible())
        trigger("assyukuhenkou");
    else
        trigger("henkou");
}

void KeyboardCommands::popupFocused()
{
    const QWidget* focus = QApplication::focusWidget();
    if (within(focus, m_window.archiveList()) && m_window.archiveList()->isVisible()) {
        if (ArchiveWork* work = m_targets.archive)
            work->listEvents().mouseUp(Qt::RightButton, popupPoint(m_window.archiveList()));
        return;
    }
    if (within(focus, m_window.folderTree())) {
        m_navigation.setPopupSource(0);
        m_window.folderMenu()->popup(popupPoint(m_window.folderTree()));
        return;
    }
    if (within(focus, m_window.fileList())) {
        m_navigation.setPopupSource(0);
        m_window.fileMenu()->popup(popupPoint(m_window.fileList()));
    }
}

void KeyboardCommands::openManual()
{
    m_targets.showHelp(&m_window);
}

void KeyboardCommands::openMenuBar()
{
    QMenuBar* bar = m_window.menuBar();
    const QList<QAction*> entries = bar->actions();
    for (QAction* entry : entries) {
        if (entry->isVisible() && entry->isEnabled()) {
            bar->setFocus(Qt::ShortcutFocusReason);
            bar->setActiveAction(entry);
            return;
        }
    }
}

} // namespace app
