#include "app/Application.h"

#include "about/AboutDialog.h"
#include "archive/ArchiveListing.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "fileops/FileCommands.h"
#include "app/WorkFolder.h"
#include "platform/DriveList.h"
#include "platform/Mci.h"
#include "platform/mci/MediaMci.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/Shell.h"
#include "platform/TerminationSignals.h"
#include "platform/Twips.h"
#include "preview/BrowserPane.h"
#include "preview/MediaPanel.h"
#include "preview/PreviewDispatcher.h"
#include "preview/RichTextViewer.h"
#include "settings/Conversions.h"
#include "settings/ExpIni.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/PreviewSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTranslator>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace app {

namespace {

const QString kYokutukau = QStringLiteral("yokutukau");

// The filter list's entries, in their order.
const char* const kFilterCaptions[] = {
    "すべてのファイル", "実行可能なファイルのみ", "テキストファイルのみ", "htm&htmlファイルのみ",
    "画像ファイルのみ", "圧縮ファイル",         "プレビュー可能なファイル", "MP3ファイル",
    "MP3プレイリストファイル"};

// Favourite folders: settings key, hidden label, menu number.
struct Favourite {
    const char* key;
    const char* label;
};
const Favourite kFavourites[] = {{"folder", "Label15"},
                                 {"folder2", "Label11"},
                                 {"folder3", "Label12"},
                                 {"folder4", "Label8"},
                                 {"folder5", "Label9"}};

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

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

Application::Application(platform::Prompts& prompts, platform::Shell& shell, platform::Mci& mci,
                         QObject* parent)
    : QObject(parent), m_prompts(prompts), m_shell(shell), m_mci(mci)
{
}

MainWindow* Application::mainWindow() const
{
    return m_window;
}

Application::~Application()
{
    if (!m_shutDown)
        shutdown();
}

void Application::startUp(const QStringList& arguments)
{
    m_window = new MainWindow;
    MainWindow& w = *m_window;
    m_ini = std::make_unique<settings::ExpIni>(w.hiddenLabel(QStringLiteral("Label3")));
    m_forms = std::make_unique<settings::SettingsForms>(*m_ini, m_prompts, m_window.data());

    m_navigation = new Navigation(w, *m_forms, m_prompts, m_shell, m_mci, this);
    m_preview = new preview::PreviewDispatcher(&w, w.form(), *m_navigation, m_shell, m_mci,
                                               *m_forms, previewViewers(), this);
    // A click on a file, or moving to another file with the keys, previews it.
    connect(w.fileList(), &QListWidget::itemClicked, this, [this] { m_preview->previewSelectedFile(); });
    connect(w.fileList(), &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* current) {
                if (current && !QApplication::mouseButtons())
                    m_preview->previewSelectedFile();
            });
    connect(&w, &MainWindow::closeRequested, this, &Application::shutdown);
    connect(&w, &MainWindow::toolbarButtonClicked, this, &Application::toolbarButton);
    connect(m_forms.get(), &settings::SettingsForms::generalConfirmed, this,
            &Application::applyGeneralSettings);
    connect(w.menuAction(QStringLiteral("end")), &QAction::triggered, &w, &QWidget::close);
    connect(w.menuAction(QStringLiteral("settei")), &QAction::triggered, this,
            [this] { m_forms->showGeneral(); });
    connect(w.menuAction(QStringLiteral("help")), &QAction::triggered, this,
            [this] { about()->exec(); });

    // 1. The browser pane works offline.
    w.findChild<preview::BrowserPane*>(QStringLiteral("WebBrowser1"))->setOffline(true);

    // 2. The folder tree shows the program folder, the drive list its drive.
    const QString programFolder = platform::programFolder();
    w.folderTree()->setPath(programFolder);
    w.driveList()->setDriveOfPath(programFolder);

    // 3. The filter list: six entries, the shown text, then the last three.
    QComboBox* filter = w.filterList();
    for (int i = 0; i < 6; ++i)
        filter->addItem(QString::fromUtf8(kFilterCaptions[i]));
    filter->setCurrentIndex(0);
    for (int i = 6; i < 9; ++i)
        filter->addItem(QString::fromUtf8(kFilterCaptions[i]));

    // 4. The whole command line names a folder to open; a bad one leaves the program folder.
    const QString commandLine = arguments.join(QLatin1Char(' '));
    if (!commandLine.isEmpty())
        w.folderTree()->setPath(commandLine);

    // 5. The settings file: the program folder followed by "/exp.ini".
    w.setHiddenValue(QStringLiteral("Label3"), programFolder + QStringLiteral("/exp.ini"));

    // 6. The window is shown, at its design size.
    w.show();

    readFavourites();       // 7
    loadPreviewSettings();  // 8
    // 9. The destination box and the file list take drops handled by the program.
    w.destinationBox()->setAcceptDrops(true);
    w.fileList()->setAcceptDrops(true);
    loadCustomRules();      // 10
    loadGeneralSettings();  // 11
    loadAbout();            // 12

    // 13.–15. From here an error ends the start-up at step 16.
    if (restoreWindowSize())
        finishSettings();

    // 16. The back command returns to the folder shown now.
    w.setHiddenValue(QStringLiteral("Label17"), w.folderTree()->path());
}

preview::PreviewViewers Application::previewViewers()
{
    preview::PreviewViewers viewers;
    QWidget* form = m_window->form();
    auto* text = form->findChild<preview::RichTextViewer*>(QStringLiteral("RichTextBox1"));
    // A viewer whose load fails is still shown; the dispatcher goes on either way.
    viewers.loadText = [text](const QString& path) { text->loadFile(path); };
    m_media = new preview::MediaPanel(form, m_mci, this);
    viewers.startMedia = [this, form](const QString& path) {
        // Pictures of a video appear in the media area, under the media buttons.
        if (QWidget* area = form->findChild<QWidget*>(QStringLiteral("MediaArea"))) {
            area->show();
            area->raise();
        }
        for (const char* name : {"Label4", "Command4", "Command5"})
            form->findChild<QWidget*>(QString::fromLatin1(name))->raise();
        m_media->startMedia(path);
    };
    viewers.showTag = [this](const QString& path) { m_media->showTag(path); };
    viewers.listArchive = [this](const QString& family, const QString& path) {
        archive::listArchive(family, path,
                             m_window->form()->findChild<QTreeWidget*>(QStringLiteral("ListView1")),
                             static_cast<quintptr>(m_window->winId()), platform::programFolder());
    };
    return viewers;
}

void Application::readFavourites()
{
    MainWindow& w = *m_window;
    w.setHiddenValue(QStringLiteral("Label10"), m_ini->read(kYokutukau, QStringLiteral("drive")));
    for (int i = 0; i < 5; ++i) {
        const QString label = latin(kFavourites[i].label);
        w.setHiddenValue(label, m_ini->read(kYokutukau, latin(kFavourites[i].key)));
        w.setFavouriteCaption(i + 1, w.hiddenValue(label));
    }
}

void Application::loadPreviewSettings()
{
    settings::PreviewSettingsDialog* preview = m_forms->preview();
    const QString pre = QStringLiteral("pre");
    const struct {
        int check;
        const char* key;
    } boxes[] = {{1, "htm"}, {2, "jpg"}, {3, "txt"}, {4, "bmp"}, {5, "mp3"},
                 {6, "subete"}, {9, "lzh"}, {10, "zip"}, {11, "taro"}, {12, "multi"}};
    for (const auto& b : boxes)
        settings::applyCheckValue(preview->check(b.check), m_ini->read(pre, latin(b.key)));
}

void Application::loadCustomRules()
{
    settings::PreviewSettingsDialog* preview = m_forms->preview();
    const QString cust = QStringLiteral("cust");
    for (int rule = 1; rule <= 2; ++rule) {
        const QString n = QString::number(rule);
        const QString mode = m_ini->read(cust, QStringLiteral("syu") + n);
        if (const std::optional<int> index = settings::toInteger16(mode)) {
            if (QRadioButton* option = preview->option(rule, *index))
                option->setChecked(true);
        }
        preview->modeLabel(rule)->setText(mode);
        preview->extensionBox(rule)->setText(m_ini->read(cust, QStringLiteral("kaku") + n));
        settings::applyCheckValue(preview->check(rule + 6),
                                  m_ini->read(cust, QStringLiteral("jyou") + n));
    }
}

void Application::loadGeneralSettings()
{
    settings::GeneralSettingsDialog* general = m_forms->general(); // its load reads every key
    settings::applyCheckValue(general->check(5), m_ini->read(QStringLiteral("gomi"),
                                                             QStringLiteral("subete")));
    settings::applyCheckValue(general->check(1), m_ini->read(QStringLiteral("kanren"),
                                                             QStringLiteral("hiraku")));
    settings::applyCheckValue(general->check(2), m_ini->read(QStringLiteral("fairu"),
                                                             QStringLiteral("drag")));
    settings::applyCheckValue(general->check(4), m_ini->read(QStringLiteral("net"),
                                                             QStringLiteral("siyou")));
    m_window->menuAction(QStringLiteral("net"))
        ->setVisible(settings::checkValue(general->check(4)) == 1);
    settings::applyCheckValue(general->check(6), m_ini->read(QStringLiteral("mes"),
                                                             QStringLiteral("kaitou")));
}

void Application::loadAbout()
{
    about()->markMissingLibraries();
}

about::AboutDialog* Application::about()
{
    if (!m_about) {
        m_about = new about::AboutDialog(platform::programFolder(), m_window.data());
        connect(m_about, &about::AboutDialog::openRequested, this, [](const QString& target) {
            const QUrl url = QUrl::fromUserInput(target, QString(), QUrl::AssumeLocalFile);
            QDesktopServices::openUrl(url);
        });
        connect(m_about, &about::AboutDialog::unloadRequested, this, [this] {
            if (m_about) {
                m_about->deleteLater();
                m_about = nullptr;
            }
        });
    }
    return m_about;
}

bool Application::restoreWindowSize()
{
    MainWindow& w = *m_window;
    const std::optional<double> record =
        settings::toNumber(m_ini->read(QStringLiteral("window"), QStringLiteral("size")));
    if (!record)
        return false;
    if (*record != 1)
        return true;
    const QString hyouji = QStringLiteral("hyouji");
    if (m_ini->read(hyouji, QStringLiteral("saidai")) == QLatin1String("2")) {
        w.showMaximized();
        return true;
    }
    const double dpi = w.dpi();
    const std::optional<double> width = settings::toNumber(m_ini->read(hyouji, QStringLiteral("width")));
    if (!width)
        return false;
    setOuterWidth(&w, platform::twipsToPixels(*width, dpi));
    const std::optional<double> height =
        settings::toNumber(m_ini->read(hyouji, QStringLiteral("height")));
    if (!height)
        return false;
    setOuterHeight(&w, platform::twipsToPixels(*height, dpi));
    return true;
}

bool Application::finishSettings()
{
    settings::GeneralSettingsDialog* general = m_forms->general();
    if (!settings::applyCheckValue(general->check(3), m_ini->read(QStringLiteral("window"),
                                                                  QStringLiteral("size"))))
        return false;
    if (!settings::applyCheckValue(general->check(7), m_ini->read(QStringLiteral("kanren"),
                                                                  QStringLiteral("n"))))
        return false;
    m_window->fileList()->refresh();
    return true;
}

void Application::applyGeneralSettings()
{
    settings::GeneralSettingsDialog* general = m_forms->general();
    MainWindow& w = *m_window;
    for (int i = 0; i < 5; ++i) {
        const QString text = general->folderBox(i + 1)->text();
        w.setHiddenValue(latin(kFavourites[i].label), text);
        w.setFavouriteCaption(i + 1, text);
    }
    w.menuAction(QStringLiteral("net"))->setVisible(settings::checkValue(general->check(4)) == 1);
}

void Application::toolbarButton(int number)
{
    MainWindow& w = *m_window;
    fileops::FileCommands& commands = m_navigation->commands();
    switch (number) {
    case 1:
        commands.deleteFiles();
        break;
    case 2:
        commands.copyFullPath();
        break;
    case 3:
        if (w.destinationBox()->text().isEmpty())
            m_prompts.message(&w, QStringLiteral("コピー先を指定してください。"));
        else
            commands.CopySelectedFiles();
        break;
    case 4:
        commands.moveFiles();
        break;
    case 6:
        if (w.driveList()->setDrive(w.hiddenValue(QStringLiteral("Label10"))))
            m_navigation->driveChanged(w.driveList()->currentIndex());
        else
            m_prompts.message(&w, QStringLiteral("ドライブの指定が不正です。"));
        break;
    case 7:
        w.favouriteMenu()->popup(QCursor::pos());
        break;
    case 9:
        m_forms->showGeneral();
        break;
    case 15:
        w.fileList()->refresh();
        w.folderTree()->refresh();
        break;
    case 16:
        m_navigation->goBack();
        break;
    case 21:
        about()->show();
        about()->raise();
        break;
    default:
        break;
    }
}

void Application::saveWindowSize()
{
    if (!m_window || !m_forms)
        return;
    if (settings::checkValue(m_forms->general()->check(3)) != 1 || m_window->isMinimized())
        return;
    const QString hyouji = QStringLiteral("hyouji");
    if (m_window->isMaximized()) {
        m_ini->write(hyouji, QStringLiteral("saidai"), QStringLiteral("2"));
        return;
    }
    const double dpi = m_window->dpi();
    const QSize outer = outerSize(m_window);
    m_ini->write(hyouji, QStringLiteral("saidai"), QStringLiteral("0"));
    m_ini->write(hyouji, QStringLiteral("height"),
                 settings::singleText(platform::pixelsToTwips(outer.height(), dpi)));
    m_ini->write(hyouji, QStringLiteral("width"),
                 settings::singleText(platform::pixelsToTwips(outer.width(), dpi)));
}

void Application::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    saveWindowSize();

    if (m_forms) {
        if (m_forms->isPreviewLoaded()) {
            m_forms->unloadPreview(true);
            m_unloadOrder << QStringLiteral("preview settings");
        }
        if (m_forms->isGeneralLoaded()) {
            m_forms->unloadGeneral(true);
            m_unloadOrder << QStringLiteral("general settings");
        }
    }
    // The media status line ticks no more once its window is gone.
    delete m_media;
    m_media = nullptr;
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
        m_window = nullptr;
        m_unloadOrder << QStringLiteral("main window");
    }
    if (m_about) {
        delete m_about.data();
        m_unloadOrder << QStringLiteral("about");
    }

    m_mci.send(QStringLiteral("stop Media"));
    m_mci.send(QStringLiteral("close Media"));
    deleteFolderTree(workFolderPath());
    Q_EMIT shutDownFinished();
}

namespace {

bool haveDisplay()
{
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    return x11 || wayland || platformChosen;
}

} // namespace

void installJapaneseTexts(QApplication& application)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ja", "qt_ja"}) {
        auto* translator = new QTranslator(&application);
        if (translator->load(QString::fromLatin1(name), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
    // Japanese glyph shapes rather than another CJK variant, when the font is there.
    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::families().contains(japanese)) {
        QFont font(japanese);
        font.setPointSize(QApplication::font().pointSize());
        QApplication::setFont(font);
    }
}

int runProgram(int argc, char** argv,
               const std::function<std::unique_ptr<platform::Shell>()>& makeShell)
{
    if (!haveDisplay()) {
        std::fputs("koramo: no graphical display (DISPLAY or WAYLAND_DISPLAY is not set); "
                   "start it from a desktop session or under xvfb-run.\n",
                   stderr);
        return 1;
    }
    // No shared OpenGL context is asked for: making one costs start-up most of a tenth of a
    // second, and the browser engine, loaded on the first page, draws without it.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("koramo"));
    installJapaneseTexts(application);

    platform::QtPrompts prompts;
    const std::unique_ptr<platform::Shell> shell = makeShell();
    // The media device draws video into an area of the preview pane; the pipeline itself is
    // made on the first file played.
    auto* videoArea = new QWidget;
    videoArea->setObjectName(QStringLiteral("MediaArea"));
    const std::unique_ptr<platform::Mci> mci = platform::createMediaMci(videoArea);
    Application program(prompts, *shell, *mci);
    QObject::connect(&program, &Application::shutDownFinished, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    // Asked to end (logout, kill): close the window as the user would, so nothing is lost.
    platform::onTerminationRequest(&program, [&program] {
        if (MainWindow* window = program.mainWindow())
            window->close();
        else
            QApplication::quit();
    });
    program.startUp(QApplication::arguments().mid(1));
    program.mainWindow()->adoptMediaArea(videoArea);
    return application.exec();
}

} // namespace app
