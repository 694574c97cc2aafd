#pragma once

#include "app/CommandRoutes.h"

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace app
{

class MainWindow;
class Navigation;

// The keys desktop file-manager users press every day, each leading to the command the window
// already has: F2 rename (file, folder or member, whichever list has the focus), F5 refresh,
// Backspace and Alt+Up the parent folder, Alt+Left back, Ctrl+F and F3 find in the preview,
// F1 the manual, F10 the menu bar, Ctrl+Q quit, Shift+F10 and the Menu key the pop-up menu of
// the focused list. Keys typed into a text box stay with it (Backspace deletes there).
class KeyboardCommands final : public QObject
{
    Q_OBJECT
public:
    KeyboardCommands(RouteTargets targets, MainWindow& window, Navigation& navigation,
                     QObject* parent = nullptr);

    // The folder above the one shown; the folder shown stays the one to go back to.
    void goToParentFolder();
    // F2: the rename command of the list that has the focus.
    void renameFocused();
    // Shift+F10 / Menu: the pop-up menu of the list that has the focus, at its current item.
    void popupFocused();

private:
    // A window-wide shortcut action for the keys.
    QAction* shortcut(const QList<QKeySequence>& keys);
    void add(const QList<QKeySequence>& keys, void (KeyboardCommands::*command)());
    void addTrigger(const QList<QKeySequence>& keys, const char* actionName);
    void trigger(const char* actionName);
    void goBack();
    void openManual();
    void openMenuBar();

    RouteTargets m_targets;
    MainWindow& m_window;
    Navigation& m_navigation;
};

} // namespace app
