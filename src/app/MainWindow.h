#pragma once

#include "preview/PreviewPane.h"
#include "settings/WindowHolder.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

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

namespace platform
{
class DriveList;
}
namespace preview
{
class BrowserPane;
class MarkdownPane;
class PdfPane;
class PicturePane;
class RichTextViewer;
class EncodingButton;
} // namespace preview

namespace app
{

class FileListBox;
class FolderTree;
class PaneBorders;

// The main window: it owns every widget of the browser and of the preview pane, each named
// as the rest of the program knows it, and places the panes on every resize. What happens
// when the window opens and closes is the Application's work. Other parts reach its widgets
// through the typed accessors below, never by name.
class MainWindow final : public QMainWindow, public settings::WindowHolder
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The area below the menu bar in which every pane is placed.
    QWidget* form() const { return m_form; }

    platform::DriveList* driveList() const { return m_drive; }
    FolderTree* folderTree() const { return m_tree; }
    // The draggable borders between the left column, the preview and the two lists.
    PaneBorders* paneBorders() const { return m_borders; }
    FileListBox* fileList() const { return m_files; }
    QComboBox* filterList() const { return m_filter; }
    QLineEdit* destinationBox() const { return m_destination; }
    QStatusBar* statusBar1() const { return m_status; }
    // Status-bar panel 1, 2 or 3.
    QLabel* panel(int number) const;

    // The destination row's buttons: Command1 "参照", Command2 "コピー", Command3 favourites.
    QPushButton* browseButton() const { return m_browseButton; }
    QPushButton* copyButton() const { return m_copyButton; }
    QPushButton* favouriteButton() const { return m_favouriteButton; }

    // The preview area.
    preview::RichTextViewer* textViewer() const { return m_text; }
    preview::BrowserPane* browserPane() const { return m_browser; }
    preview::PicturePane* picturePane() const { return m_picture; }
    QTreeWidget* archiveList() const { return m_archiveList; }
    QLabel* noticeLabel() const { return m_notice; }
    preview::MediaWidgets mediaWidgets() const;
    // The area video is drawn in, once adopted; otherwise nullptr.
    QWidget* mediaArea() const { return m_mediaArea; }
    // Everything the preview works on.
    preview::PreviewPane previewPane();

    // Hidden labels by their role.
    QLabel* settingsPathLabel() const { return m_settingsPath; } // Label3
    QLabel* currentFileLabel() const { return m_currentFile; }   // Label14
    QString backFolder() const;                                  // Label17
    void setBackFolder(const QString& folder);
    QString favouriteDrive() const; // Label10
    // Favourite folder n (1 to 5): Label15, Label11, Label12, Label8, Label9.
    QString favouriteFolder(int number) const;

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
    QAction* favouriteAction(int number) const;
    QAction* destinationAction(int number) const;

    // settings::WindowHolder
    void setFavouriteDrive(const QString& drive) override;
    void setFavouriteFolder(int number, const QString& folder) override;
    void setNetworkItemVisible(bool visible) override;
    bool isMinimised() const override;
    bool isMaximised() const override;
    void maximise() override;
    QSizeF outerSizeTwips() const override;
    void setOuterWidthTwips(double width) override;
    void setOuterHeightTwips(double height) override;
    QSizeF screenSizeTwips() const override;

    // The title follows the current folder.
    void showFolderInTitle(const QString& folder);

    // Takes the area the media device draws video into: it covers the viewers' rectangle,
    // hidden until a file plays.
    void adoptMediaArea(QWidget* area);

    // Places the panes for the current size (also run on every resize).
    void layoutPanes();
    double dpi() const;
    // Moves the window so that its whole frame is on its screen.
    void keepOnScreen();
    // Asked before the window closes; false keeps the window (and the program) open.
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

Q_SIGNALS:
    // A toolbar button was clicked, with its number (separators count).
    void toolbarButtonClicked(int number);
    // The user asked the window to close; the receiver decides (see Application).
    void closeRequested();
    // The media area was adopted (see adoptMediaArea).
    void mediaAreaAdopted(QWidget* area);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildPanes();
    QLabel* addHiddenLabel(const QString& name);
    void buildDestinationRow();
    void buildPreviewArea(double dpi);

    QWidget* m_form = nullptr;
    QToolBar* m_toolbar = nullptr;
    QStatusBar* m_status = nullptr;
    preview::EncodingButton* m_encoding = nullptr;
    QList<QLabel*> m_panels;
    platform::DriveList* m_drive = nullptr;
    FolderTree* m_tree = nullptr;
    PaneBorders* m_borders = nullptr;
    FileListBox* m_files = nullptr;
    QComboBox* m_filter = nullptr;
    QLineEdit* m_destination = nullptr;
    QMenu* m_favourites = nullptr;
    QMenu* m_destinations = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_folderMenu = nullptr;
    QMenu* m_archiveMenu = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_copyButton = nullptr;
    QPushButton* m_favouriteButton = nullptr;
    preview::RichTextViewer* m_text = nullptr;
    preview::BrowserPane* m_browser = nullptr;
    preview::PicturePane* m_picture = nullptr;
    preview::PdfPane* m_pdf = nullptr;
    preview::MarkdownPane* m_markdown = nullptr;
    QTreeWidget* m_archiveList = nullptr;
    QLabel* m_notice = nullptr;
    preview::MediaWidgets m_media;
    QPointer<QWidget> m_mediaArea;
    QLabel* m_settingsPath = nullptr;
    QLabel* m_currentFile = nullptr;
    bool m_closing = false;
    std::function<bool()> m_closeGuard;
};

// The window's outer size (frame included) in pixels, and setting it.
QSize outerSize(const QWidget* window);
void setOuterWidth(QWidget* window, int width);
void setOuterHeight(QWidget* window, int height);

} // namespace app
