#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QToolBar;
class QTreeWidget;

namespace platform {
class DriveList;
}

namespace app {

class FileListBox;
class FolderTree;

// The main window: it owns every widget of the browser and of the preview pane, each named
// as the rest of the program knows it, and places the panes on every resize. What happens
// when the window opens and closes is the Application's work.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The area below the menu bar in which every pane is placed.
    QWidget* form() const { return m_form; }

    platform::DriveList* driveList() const { return m_drive; }
    FolderTree* folderTree() const { return m_tree; }
    FileListBox* fileList() const { return m_files; }
    QComboBox* filterList() const { return m_filter; }
    QLineEdit* destinationBox() const { return m_destination; }
    QStatusBar* statusBar1() const { return m_status; }
    // Status-bar panel 1, 2 or 3.
    QLabel* panel(int number) const;

    // A hidden label that holds a program-wide value ("Label3", "Label17", …).
    QLabel* hiddenLabel(const QString& name) const;
    QString hiddenValue(const QString& name) const;
    void setHiddenValue(const QString& name, const QString& value);

    // A menu action by its name ("f1", "ff3", "net", "settei", …).
    QAction* menuAction(const QString& name) const;
    QMenu* favouriteMenu() const { return m_favourites; }
    QMenu* destinationMenu() const { return m_destinations; }
    // The popup menus of the file list and of the folder tree.
    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* folderMenu() const { return m_folderMenu; }
    QMenu* archiveMenu() const { return m_archiveMenu; }
    // Captions of f1..f5 and ff1..ff5.
    void setFavouriteCaption(int number, const QString& caption);

    // The title follows the current folder.
    void showFolderInTitle(const QString& folder);

    // Takes the area the media device draws video into: it covers the viewers' rectangle,
    // hidden until a file plays.
    void adoptMediaArea(QWidget* area);

    // Places the panes for the current size (also run on every resize).
    void layoutPanes();
    double dpi() const;

Q_SIGNALS:
    // A toolbar button was clicked, with its number (separators count).
    void toolbarButtonClicked(int number);
    // The user asked the window to close; the receiver decides (see Application).
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildPanes();
    QLabel* addHiddenLabel(const QString& name);

    QWidget* m_form = nullptr;
    QToolBar* m_toolbar = nullptr;
    QStatusBar* m_status = nullptr;
    QList<QLabel*> m_panels;
    platform::DriveList* m_drive = nullptr;
    FolderTree* m_tree = nullptr;
    FileListBox* m_files = nullptr;
    QComboBox* m_filter = nullptr;
    QLineEdit* m_destination = nullptr;
    QMenu* m_favourites = nullptr;
    QMenu* m_destinations = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_folderMenu = nullptr;
    QMenu* m_archiveMenu = nullptr;
    bool m_closing = false;
};

} // namespace app
