#include "app/MainWindow.h"

#include "app/AccessibleNames.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainLayout.h"
#include "app/ToolbarButtons.h"
#include "app/ToolbarIcons.h"
#include "app/WrappingButton.h"
#include "base/NativePath.h"
#include "base/Twips.h"
#include "desktop/DriveList.h"
#include "preview/BrowserPane.h"
#include "preview/EncodingButton.h"
#include "preview/MarkdownPane.h"
#include "preview/PdfPane.h"
#include "preview/PicturePane.h"
#include "preview/RichTextViewer.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace app
{

namespace
{
// Design size of the window's inner area, in pixels at 96 DPI (12000 × 8100 twips).
constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 540;

int px(double twips, double dpi)
{
    return platform::twipsToPixels(twips, dpi);
}
} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("コラモ  - "));
    m_form = new QWidget(this);
    m_form->setObjectName(QStringLiteral("form"));
    setCentralWidget(m_form);
    m_form->installEventFilter(this);

    buildMenus();
    buildToolbar();
    buildPanes();
    nameMainWindowControls(*this);
    resize(kDesignWidth, kDesignHeight + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() = default;

double MainWindow::dpi() const
{
    return platform::logicalDpi(screen());
}

void MainWindow::buildMenus()
{
    auto named = [this](QAction* action, const char* name) {
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    auto add = [&named](QMenu* menu, const char* name, const char* caption) {
        return named(menu->addAction(QString::fromUtf8(caption)), name);
    };

    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    fileMenu->setObjectName(QStringLiteral("file"));
    add(fileMenu, "msakujyo", "ファイルの削除");
    add(fileMenu, "midou", "ファイルの移動");
    add(fileMenu, "henkou", "ファイル名変更");
    add(fileMenu, "mclip", "ファイル名（フルパス）をクリップボードにコピー");
    add(fileMenu, "fpuro2", "ファイルのプロパティー");
    add(fileMenu, "kaitou", "解凍")->setEnabled(false);
    add(fileMenu, "assyuku", "圧縮");
    add(fileMenu, "jidou", "LZHから自動解凍式書庫の作成");
    fileMenu->addSeparator();
    add(fileMenu, "sinki", "新しいフォルダを作成");
    add(fileMenu, "mfolder", "フォルダの削除");
    add(fileMenu, "fopuro", "フォルダのプロパティー");
    fileMenu->addSeparator();
    add(fileMenu, "tsakusei", "テキストファイルの作成");
    add(fileMenu, "shortcut", "ショートカットの作成");
    add(fileMenu, "find", "ファイルの検索");
    fileMenu->addSeparator();
    add(fileMenu, "end", "終了");

    QMenu* searchMenu = menuBar()->addMenu(QStringLiteral("検索(&S)"));
    searchMenu->setObjectName(QStringLiteral("kensaku"));
    add(searchMenu, "tkensaku", "検索")->setEnabled(false);
    add(searchMenu, "tuken", "次を検索")->setEnabled(false);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    viewMenu->setObjectName(QStringLiteral("hyouji"));
    add(viewMenu, "saisin", "最新の情報に更新");

    // The file list's popup menu.
    m_fileMenu = new QMenu(this);
    m_fileMenu->setObjectName(QStringLiteral("sousa"));
    add(m_fileMenu, "kaitoup", "解凍")->setEnabled(false);
    m_fileMenu->addSeparator();
    add(m_fileMenu, "copy2", "ファイルのコピー");
    add(m_fileMenu, "idou2", "ファイルの移動");
    add(m_fileMenu, "sakujyo", "削除");
    m_fileMenu->addSeparator();
    add(m_fileMenu, "memo", "メモ帳で開く");
    add(m_fileMenu, "paint", "ペイントで開く");
    m_fileMenu->addSeparator();
    add(m_fileMenu, "pshortcut", "ショートカットの作成");
    add(m_fileMenu, "puro", "プロパティー");
    m_fileMenu->addSeparator();
    add(m_fileMenu, "exnakami", "exe形式のファイルの中身を見る(LZH)");

    // The archive list's popup menu.
    m_archiveMenu = new QMenu(this);
    m_archiveMenu->setObjectName(QStringLiteral("syoko"));
    add(m_archiveMenu, "senkaitou", "選択した物を解凍");
    add(m_archiveMenu, "assyukuhenkou", "ファイル名の変更");
    // Shown for LZH archives only (see archive/ArchiveListEvents).
    named(m_archiveMenu->addSeparator(), "se");
    add(m_archiveMenu, "tuika", "追加");
    add(m_archiveMenu, "syosaku", "削除");

    // The folder tree's popup menu.
    m_folderMenu = new QMenu(this);
    m_folderMenu->setObjectName(QStringLiteral("foruda"));
    add(m_folderMenu, "sakicopy", "コピー先に指定");
    add(m_folderMenu, "fcopy", "フォルダごとコピー");
    add(m_folderMenu, "fidou", "フォルダの移動");
    add(m_folderMenu, "fhenkou", "フォルダ名の変更");
    add(m_folderMenu, "fsakujyo", "フォルダを削除");
    m_folderMenu->addSeparator();
    add(m_folderMenu, "fpuro", "プロパティー");

    m_favourites = menuBar()->addMenu(QStringLiteral("フォルダ(&O)"));
    m_favourites->setObjectName(QStringLiteral("f"));
    m_favourites->menuAction()->setObjectName(QStringLiteral("fmenu"));
    m_destinations = new QMenu(this);
    m_destinations->setObjectName(QStringLiteral("ff"));
    for (int i = 1; i <= 5; ++i) {
        QAction* f = m_favourites->addAction(QString());
        f->setObjectName(QStringLiteral("f") + QString::number(i));
        QAction* ff = m_destinations->addAction(QString());
        ff->setObjectName(QStringLiteral("ff") + QString::number(i));
    }

    named(menuBar()->addAction(QStringLiteral("ネットワーク")), "net")->setVisible(false);
    named(menuBar()->addAction(QStringLiteral("設定(&T)")), "settei");
    named(menuBar()->addAction(QStringLiteral("ヘルプ(&H)")), "help");
}

void MainWindow::buildToolbar()
{
    m_toolbar = new QToolBar(m_form);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(16, 16));

    int number = 0;
    // The pictures come from the icon theme, whose first look-up costs start-up a good part of
    // its time: they are put on the buttons once the window is up, before it is first drawn.
    QList<QPair<QAction*, int>> pictures;
    for (const ToolbarButton& button : toolbarButtons()) {
        ++number;
        QAction* action =
            button.tooltip ? m_toolbar->addAction(QString()) : m_toolbar->addSeparator();
        action->setObjectName(QStringLiteral("Button") + QString::number(number));
        if (!button.tooltip)
            continue;
        pictures.append({action, number});
        action->setToolTip(QString::fromUtf16(button.tooltip));
        connect(action, &QAction::triggered, this,
                [this, number] { Q_EMIT toolbarButtonClicked(number); });
    }
    QTimer::singleShot(0, this, [pictures] {
        for (const auto& [action, button] : pictures)
            action->setIcon(toolbarIcon(button));
    });
}

QLabel* MainWindow::addHiddenLabel(const QString& name)
{
    auto* label = new QLabel(m_form);
    label->setObjectName(name);
    label->hide();
    return label;
}

void MainWindow::buildPanes()
{
    const double d = dpi();

    m_drive = new platform::DriveList(m_form);
    m_drive->setObjectName(QStringLiteral("Drive1"));
    // As wide as the left column (2535 twips), so that a mount point and its label can be read.
    m_drive->setGeometry(0, px(480, d), px(2535, d), m_drive->sizeHint().height());

    m_tree = new FolderTree(m_form);
    m_tree->setObjectName(QStringLiteral("Dir1"));
    m_files = new FileListBox(m_form);
    m_files->setObjectName(QStringLiteral("File1"));

    m_filter = new QComboBox(m_form);
    m_filter->setObjectName(QStringLiteral("Combo1"));

    buildDestinationRow();
    buildPreviewArea(d);

    // Program-wide values kept in hidden labels.
    for (const char* name : {"Label3", "Label10", "Label15", "Label11", "Label12", "Label8",
                             "Label9", "Label17", "Label14"})
        addHiddenLabel(QString::fromLatin1(name));
    m_settingsPath = hiddenLabel(QStringLiteral("Label3"));
    m_currentFile = hiddenLabel(QStringLiteral("Label14"));

    m_status = new QStatusBar(m_form);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);
    for (int i = 1; i <= 3; ++i) {
        auto* p = new QLabel(m_status);
        p->setObjectName(QStringLiteral("Panel") + QString::number(i));
        p->setMinimumWidth(px(1800, d));
        p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_status->addWidget(p, i == 3 ? 1 : 0);
        m_panels.append(p);
    }
    m_encoding = new preview::EncodingButton(m_status);
    // The status bar is as tall as its tallest widget, shown or not: no taller than a panel.
    m_encoding->setMaximumHeight(m_panels.first()->sizeHint().height());
    m_encoding->hide();
    m_status->addPermanentWidget(m_encoding);

    m_borders = new PaneBorders(m_form);
}

void MainWindow::buildDestinationRow()
{
    // The row is laid out from the captions' own sizes (see applyMainLayout).
    auto* destinationLabel = new QLabel(QStringLiteral("コピー先"), m_form);
    destinationLabel->setObjectName(QStringLiteral("Label1"));
    destinationLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_destination = new QLineEdit(m_form);
    m_destination->setObjectName(QStringLiteral("Text2"));
    // The empty box says what it is for.
    m_destination->setPlaceholderText(QStringLiteral("コピー先または移動先"));
    m_browseButton = new QPushButton(QStringLiteral("参照(&S)"), m_form);
    m_browseButton->setObjectName(QStringLiteral("Command1"));
    m_favouriteButton = new WrappingButton(QStringLiteral("よく使うフォルダを指定"), m_form);
    m_favouriteButton->setObjectName(QStringLiteral("Command3"));
    QPushButton* copy = m_copyButton = new QPushButton(QStringLiteral("コピー(&C)"), m_form);
    copy->setObjectName(QStringLiteral("Command2"));
    copy->setEnabled(false);
    connect(m_destination, &QLineEdit::textChanged, copy,
            [copy](const QString& text) { copy->setEnabled(!text.isEmpty()); });
}

void MainWindow::buildPreviewArea(double d)
{
    // The preview area: four viewers share one rectangle, one of them visible at a time.
    m_notice = new QLabel(QStringLiteral("プレビューできません"), m_form);
    m_notice->setObjectName(QStringLiteral("Label2"));
    m_notice->setGeometry(px(2640 + 240, d), px(480 + 240, d), px(3000, d), px(300, d));
    m_notice->hide();

    m_browser = new preview::BrowserPane(m_form);
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));
    m_browser->hide();

    m_archiveList = new QTreeWidget(m_form);
    m_archiveList->setObjectName(QStringLiteral("ListView1"));
    m_archiveList->setColumnCount(3);
    m_archiveList->setHeaderLabels(
        {QStringLiteral("ファイル名"), QStringLiteral("サイズ(ﾊﾞｲﾄ)"), QStringLiteral("日時")});
    m_archiveList->setRootIsDecorated(false);
    m_archiveList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_archiveList->hide();

    m_picture = new preview::PicturePane(m_form);
    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->hide();
    m_pdf = new preview::PdfPane(m_form);
    m_markdown = new preview::MarkdownPane(m_form);

    m_text = new preview::RichTextViewer(m_form);
    m_text->setObjectName(QStringLiteral("RichTextBox1"));

    // The MP3 tag lines and the media controls sit at the top of the preview area.
    auto place = [this, d](QWidget* widget, const char* name, QRect twips) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(px(twips.x(), d), px(twips.y(), d), px(twips.width(), d),
                            px(twips.height(), d));
        widget->hide();
    };
    m_media.title = new QLineEdit(m_form);
    place(m_media.title, "Text1", QRect(2760, 720, 5000, 300));
    m_media.artist = new QLineEdit(m_form);
    place(m_media.artist, "Text3", QRect(2760, 1080, 5000, 300));
    m_media.status = new QLabel(m_form);
    place(m_media.status, "Label4", QRect(2760, 1500, 5000, 300));
    m_media.stop = new QPushButton(QStringLiteral("停止(&P)"), m_form);
    place(m_media.stop, "Command4", QRect(2760, 1920, 1215, 375));
    m_media.pause = new QPushButton(QStringLiteral("一時停止(&T)"), m_form);
    place(m_media.pause, "Command5", QRect(4095, 1920, 1215, 375));
}

preview::MediaWidgets MainWindow::mediaWidgets() const
{
    return m_media;
}

preview::PreviewPane MainWindow::previewPane()
{
    preview::PreviewPane pane;
    pane.window = this;
    pane.text = m_text;
    pane.browser = m_browser;
    pane.picture = m_picture;
    pane.pdf = m_pdf;
    pane.markdown = m_markdown;
    pane.archiveList = m_archiveList;
    pane.media = m_media;
    pane.notice = m_notice;
    pane.currentFile = m_currentFile;
    pane.sizePanel = panel(1);
    pane.datePanel = panel(2);
    pane.associationPanel = panel(3);
    pane.encoding = m_encoding;
    pane.extract = menuAction(QStringLiteral("kaitou"));
    pane.extractPopup = menuAction(QStringLiteral("kaitoup"));
    pane.search = menuAction(QStringLiteral("tkensaku"));
    pane.searchNext = menuAction(QStringLiteral("tuken"));
    pane.renameMember = menuAction(QStringLiteral("assyukuhenkou"));
    return pane;
}

void MainWindow::adoptMediaArea(QWidget* area)
{
    area->setParent(m_form);
    area->hide();
    m_mediaArea = area;
    layoutPanes();
    Q_EMIT mediaAreaAdopted(area);
}

QLabel* MainWindow::panel(int number) const
{
    return number >= 1 && number <= m_panels.size() ? m_panels.at(number - 1) : nullptr;
}

QLabel* MainWindow::hiddenLabel(const QString& name) const
{
    return m_form->findChild<QLabel*>(name, Qt::FindDirectChildrenOnly);
}

QString MainWindow::hiddenValue(const QString& name) const
{
    const QLabel* label = hiddenLabel(name);
    return label ? label->text() : QString();
}

void MainWindow::setHiddenValue(const QString& name, const QString& value)
{
    if (QLabel* label = hiddenLabel(name))
        label->setText(value);
}

QAction* MainWindow::menuAction(const QString& name) const
{
    return findChild<QAction*>(name);
}

void MainWindow::setFavouriteCaption(int number, const QString& caption)
{
    // A caption is plain text: an "&" in a folder name must not become a shortcut key.
    QString shown = caption;
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    if (QAction* f = menuAction(QStringLiteral("f") + QString::number(number)))
        f->setText(shown);
    if (QAction* ff = menuAction(QStringLiteral("ff") + QString::number(number)))
        ff->setText(shown);
}

QAction* MainWindow::favouriteAction(int number) const
{
    return menuAction(QStringLiteral("f") + QString::number(number));
}

QAction* MainWindow::destinationAction(int number) const
{
    return menuAction(QStringLiteral("ff") + QString::number(number));
}

namespace
{
// The hidden labels of the favourite folders 1 to 5.
const char* const kFavouriteLabels[] = {"Label15", "Label11", "Label12", "Label8", "Label9"};
} // namespace

QString MainWindow::backFolder() const
{
    return hiddenValue(QStringLiteral("Label17"));
}

void MainWindow::setBackFolder(const QString& folder)
{
    setHiddenValue(QStringLiteral("Label17"), folder);
}

QString MainWindow::favouriteDrive() const
{
    return hiddenValue(QStringLiteral("Label10"));
}

QString MainWindow::favouriteFolder(int number) const
{
    if (number < 1 || number > 5)
        return QString();
    return hiddenValue(QString::fromLatin1(kFavouriteLabels[number - 1]));
}

void MainWindow::setFavouriteDrive(const QString& drive)
{
    setHiddenValue(QStringLiteral("Label10"), drive);
}

void MainWindow::setFavouriteFolder(int number, const QString& folder)
{
    if (number < 1 || number > 5)
        return;
    setHiddenValue(QString::fromLatin1(kFavouriteLabels[number - 1]), folder);
    setFavouriteCaption(number, folder);
}

void MainWindow::setNetworkItemVisible(bool visible)
{
    menuAction(QStringLiteral("net"))->setVisible(visible);
}

bool MainWindow::isMinimised() const
{
    return isMinimized();
}

bool MainWindow::isMaximised() const
{
    return isMaximized();
}

void MainWindow::maximise()
{
    showMaximized();
}

QSizeF MainWindow::outerSizeTwips() const
{
    const QSize outer = outerSize(this);
    const double d = dpi();
    return QSizeF(platform::pixelsToTwips(outer.width(), d),
                  platform::pixelsToTwips(outer.height(), d));
}

void MainWindow::setOuterWidthTwips(double width)
{
    setOuterWidth(this, platform::twipsToPixels(width, dpi()));
    keepOnScreen();
}

void MainWindow::setOuterHeightTwips(double height)
{
    setOuterHeight(this, platform::twipsToPixels(height, dpi()));
    keepOnScreen();
}

QSizeF MainWindow::screenSizeTwips() const
{
    const QScreen* shown = screen();
    if (!shown)
        return {};
    const QSize area = shown->availableGeometry().size();
    const double d = dpi();
    return QSizeF(platform::pixelsToTwips(area.width(), d),
                  platform::pixelsToTwips(area.height(), d));
}

void MainWindow::keepOnScreen()
{
    const QScreen* shown = screen();
    if (!shown)
        return;
    // The whole frame on the screen: moved in from an edge it crosses.
    const QRect area = shown->availableGeometry();
    const QRect frame = frameGeometry();
    if (area.contains(frame))
        return;
    const int x =
        qBound(area.left(), frame.left(), qMax(area.left(), area.right() + 1 - frame.width()));
    const int y =
        qBound(area.top(), frame.top(), qMax(area.top(), area.bottom() + 1 - frame.height()));
    move(x, y);
}

QSize outerSize(const QWidget* window)
{
    return window->frameGeometry().size();
}

void setOuterWidth(QWidget* window, int width)
{
    const int frame = window->frameGeometry().width() - window->width();
    window->resize(qMax(1, width - frame), window->height());
}

void setOuterHeight(QWidget* window, int height)
{
    const int frame = window->frameGeometry().height() - window->height();
    window->resize(window->width(), qMax(1, height - frame));
}

void MainWindow::showFolderInTitle(const QString& folder)
{
    setWindowTitle(QStringLiteral("コラモ  - ") + platform::displayPath(folder));
}

void MainWindow::layoutPanes()
{
    const int toolbarHeight = m_toolbar->sizeHint().height();
    m_toolbar->setGeometry(0, 0, m_form->width(), toolbarHeight);
    const int statusHeight = m_status->sizeHint().height();
    m_status->setGeometry(0, m_form->height() - statusHeight, m_form->width(), statusHeight);
    applyMainLayout(m_form, dpi());
    // The media area shares the viewers' rectangle.
    if (m_mediaArea)
        m_mediaArea->setGeometry(m_text->geometry());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_form && event->type() == QEvent::Resize)
        layoutPanes();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_closing && m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_closing)
        return;
    m_closing = true;
    Q_EMIT closeRequested();
}

} // namespace app
