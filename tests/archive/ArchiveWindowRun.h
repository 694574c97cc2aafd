#pragma once

#include "ArchiveTestDoubles.h"
#include "GuiRun.h"

#include <QStringList>

class QTreeWidget;
namespace app
{
class MainWindow;
}
namespace archive
{
class ArchiveListEvents;
}

// The main window over a browsed folder with the archiver libraries of the build beside the
// program, and the steps the archive window tests share: click a file and wait for its member
// list, trigger a menu entry while the driver answers the windows it opens, select members.
struct ArchiveWindowRun : GuiRun {
    ModalDriver driver;
    QStringList reports;

    // Copies the build's archiver libraries and the self-extracting stub into the program
    // folder.
    void copyLibraries() const;
    // Each result window's report goes into `reports`, and the window is closed.
    void collectReports();

    app::MainWindow* w() const { return window(); }
    QTreeWidget* list() const;
    archive::ArchiveListEvents& events() const;
    void click(const QString& name) const;
    void settle() const;
    // Triggers the enabled menu entry of that name with the driver running, then waits for the
    // member list.
    void trigger(const char* name);
    // Triggers the entry and answers the destination dialog with the button of that number.
    void extractWith(const char* entry, int button);
    // Selects exactly the members of those names.
    void select(const QStringList& names) const;
    // The member names in list order.
    QStringList rows() const;
};
