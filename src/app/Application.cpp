#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "archive/ArchiverCall.h"
#include "archive/ArchiverWorker.h"

#include "about/AboutDialog.h"
#include "about/HelpWindow.h"
#include "app/CommandRoutes.h"
#include "app/EarlyFolderRead.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "app/PaneBorders.h"
#include "base/NativePath.h"
#include "base/Paths.h"
#include "desktop/DriveList.h"
#include "desktop/Prompts.h"
#include "editor/PreviewSearch.h"
#include "editor/TextPrint.h"
#include "fileops/FolderPicker.h"
#include "fileops/ShellLaunch.h"
#include "platform/Mci.h"
#include "platform/Shell.h"
#include "platform/TerminationSignals.h"
#include "platform/WorkFolder.h"
#include "preview/BrowserPane.h"
#include "preview/LargeTextView.h"
#include "preview/PreviewDispatcher.h"
#include "preview/RichTextViewer.h"
#include "settings/ExpIni.h"
#include "settings/Settings.h"
#include "settings/SettingsForms.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace app
{

namespace
{
// The filter list's entries, in their order.
const char* const kFilterCaptions[] = {"すべてのファイル",         "実行可能なファイルのみ",
                                       "テキストファイルのみ",     "htm&htmlファイルのみ",
                                       "画像ファイルのみ",         "圧縮ファイル",
                                       "プレビュー可能なファイル", "MP3ファイル",
                                       "MP3プレイリストファイル"};

// The path the command line names: the whole line (a folder name may hold blanks), or else its
// first argument when that alone names something (a file manager passes several files).
QString commandLinePath(const QStringList& arguments)
{
    const QString whole = arguments.join(QLatin1Char(' '));
    if (arguments.size() > 1 && !QFileInfo::exists(whole) && QFileInfo::exists(arguments.first()))
        return arguments.first();
    return whole;
}
} // namespace

QString folderOfCommandLine(const QStringList& arguments)
{
    const QString named = commandLinePath(arguments);
    if (named.isEmpty())
        return QString();
    const QFileInfo info(named);
    if (info.isFile())
        return info.absolutePath();
    return info.isDir() ? named : QString();
}

Application::Application(platform::Prompts& prompts, platform::Shell& shell, platform::Mci& mci,
                         QObject* parent)
    : QObject(parent), m_prompts(prompts), m_shell(shell), m_mci(mci),
      // Every library call runs on a worker while the window keeps answering.
      m_ownArchiver(std::make_unique<archive::ThreadedArchiverCall>(
          std::make_unique<archive::LibraryArchiverCall>())),
      m_archiver(*m_ownArchiver)
{
}

Application::Application(platform::Prompts& prompts, platform::Shell& shell, platform::Mci& mci,
                         archive::ArchiverCall& archiver, QObject* parent)
    : QObject(parent), m_prompts(prompts), m_shell(shell), m_mci(mci), m_archiver(archiver)
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

void Application::makeParts()
{
    m_window = new MainWindow;
    MainWindow& w = *m_window;
    m_ini = std::make_unique<settings::ExpIni>(w.settingsPathLabel());
    m_forms = std::make_unique<settings::SettingsForms>(*m_ini, m_prompts, m_window.data());
    m_forms->setFolderPicker([this](QWidget* owner, const QString& prompt) {
        return fileops::pickFolder(m_prompts, owner, prompt);
    });
    m_settings = std::make_unique<settings::Settings>(*m_ini, *m_forms, w);

    m_navigation = new Navigation(w, *m_settings, m_prompts, m_shell, m_mci, this);
    m_preview = new preview::PreviewDispatcher(w.previewPane(), *m_navigation, m_shell, m_mci,
                                               *m_settings, this);
    w.textViewer()->largeView()->setPrompts(&m_prompts);
    m_archiveWork = new ArchiveWork(w, *m_navigation, *m_settings, m_prompts, m_shell, m_archiver,
                                    *m_preview, this);
    m_search = new editor::PreviewSearch(w.textViewer(), w.panel(3), m_prompts, &w, this);
    m_print = new editor::PreviewPrint(w.textViewer(), w.panel(3), m_prompts, &w, this);
    RouteTargets targets;
    targets.archive = m_archiveWork;
    targets.search = m_search;
    targets.print = m_print;
    targets.about = [this] { return about(); };
    targets.showFile = [this](const QString& path) { showFile(path); };
    targets.showHelp = [this](QWidget* owner) { showHelp(owner); };
    m_routes = new CommandRoutes(std::move(targets), w, *m_navigation, *m_forms, m_prompts, this);
    // A click on a file, or moving to another file with the keys, previews it.
    connect(w.fileList(), &QAbstractItemView::clicked, this, [this] {
        if (m_preview)
            m_preview->previewSelectedFile();
    });
    connect(w.fileList(), &FileListBox::currentEntryChanged, this, [this] {
        if (m_preview && m_window->fileList()->currentRow() >= 0 && !QApplication::mouseButtons())
            m_preview->previewSelectedFile();
    });
    connect(&w, &MainWindow::mediaAreaAdopted, m_preview,
            &preview::PreviewDispatcher::setMediaArea);
    connect(&w, &MainWindow::closeRequested, this, &Application::shutdown);
    // The editor asks about unsaved edits before the program ends; "No" keeps it running.
    w.setCloseGuard([this] { return !m_routes || m_routes->closeEditor(); });
}

void Application::fillFilterList()
{
    // Six entries, the shown text, then the last three.
    QComboBox* filter = m_window->filterList();
    for (int i = 0; i < 6; ++i)
        filter->addItem(QString::fromUtf8(kFilterCaptions[i]));
    filter->setCurrentIndex(0);
    for (int i = 6; i < 9; ++i)
        filter->addItem(QString::fromUtf8(kFilterCaptions[i]));
}

void Application::startUp(const QStringList& arguments)
{
    makeParts();
    MainWindow& w = *m_window;

    // The browser pane works offline.
    w.browserPane()->setOffline(true);

    // The folder tree shows the program folder, the drive list its drive; an installed
    // program, whose folder holds only its parts, starts in the home folder instead.
    const QString startFolder =
        platform::keepsFilesBesideProgram() ? platform::programFolder() : QDir::homePath();
    w.folderTree()->setPath(startFolder);
    w.driveList()->setDriveOfPath(startFolder);

    // The filter list.
    fillFilterList();

    // The command line names a folder to open; a bad one leaves the program folder. A file
    // (opened with this program from another one) opens its folder and is selected at the end.
    const QString commandLine = commandLinePath(arguments);
    const QFileInfo named(commandLine);
    const bool namesFile = !commandLine.isEmpty() && named.isFile();
    if (namesFile)
        w.folderTree()->setPath(named.absolutePath());
    else if (!commandLine.isEmpty())
        w.folderTree()->setPath(commandLine);

    // The settings file: beside the program, or in the user's configuration folder when the
    // program folder is not the user's to write (installed).
    w.settingsPathLabel()->setText(platform::settingsFilePath());
    // This instance's work folder; what ended instances left there is removed.
    claimWorkFolder();

    // The window is shown, at its design size.
    w.show();

    // The favourites and the preview settings.
    m_settings->readFavourites();
    m_settings->loadPreviewBoxes();
    // The destination box and the file list take drops handled by the program.
    w.destinationBox()->setAcceptDrops(true);
    w.fileList()->setAcceptDrops(true);
    // The custom rules, the general settings, and the libraries that are missing.
    m_settings->loadCustomRules();
    m_settings->loadGeneral();
    about()->markMissingLibraries();

    // The window's size, the last general settings and the panes: from here a missing or
    // broken number ends the start-up, with the back folder set below.
    // A reading of the folder begun during this start-up is as new as the refresh would be:
    // it is not started over.
    if (m_settings->restoreWindowSize() && m_settings->finishGeneral() &&
        !w.fileList()->isListing())
        w.fileList()->refresh();
    restorePaneSplit();
    // A reading begun before the window for a folder the list did not ask for is not needed.
    EarlyFolderRead::withdraw();

    // The back command returns to the folder shown now.
    w.setBackFolder(w.folderTree()->path());

    if (namesFile)
        selectFile(named.fileName());
}

namespace
{
// The borders' places live in a section of their own, written only once the user has moved a
// border: a settings file without it gives the window as designed.
const QString kPanesSection = QStringLiteral("panes");
} // namespace

about::HelpWindow* Application::helpWindow() const
{
    return m_help.data();
}

void Application::showHelp(QWidget* owner)
{
    const QString file = about()->helpFile();
    const int result = m_shell.open(owner, file, QString());
    if (result > 32)
        return;
    // No browser took the manual: the program's own browser engine shows it.
    const QString cause = m_shell.lastOpenFailure();
    if (result != platform::Shell::kFileNotFound && result != platform::Shell::kPathNotFound) {
        if (!m_help)
            m_help = new about::HelpWindow(m_window.data());
        if (m_help->showFile(file))
            return;
    }
    QString text = fileops::openErrorText(result);
    if (text.isEmpty())
        text = QStringLiteral("ヘルプを開けません。");
    if (!cause.trimmed().isEmpty())
        text += QLatin1Char('\n') + cause.trimmed();
    m_prompts.message(owner, text + QLatin1Char('\n') + file, QString(),
                      platform::Prompts::Critical);
}

void Application::restorePaneSplit()
{
    PaneBorders* borders = m_window->paneBorders();
    bool columnOk = false;
    bool treeOk = false;
    const double column = m_ini->read(kPanesSection, QStringLiteral("column")).toDouble(&columnOk);
    const double tree = m_ini->read(kPanesSection, QStringLiteral("tree")).toDouble(&treeOk);
    if (borders && (columnOk || treeOk))
        borders->setSplit({columnOk ? column : 0, treeOk ? tree : 0});
}

void Application::savePaneSplit()
{
    PaneBorders* borders = m_window->paneBorders();
    if (!borders || !borders->changedByUser())
        return;
    const PaneSplit split = borders->split();
    QList<settings::ProfileEntry> entries{
        {kPanesSection, QStringLiteral("column"), QString::number(qRound(split.column))},
        {kPanesSection, QStringLiteral("tree"), QString::number(qRound(split.tree))}};
    m_ini->save(entries, m_prompts, m_window.data());
}

bool Application::selectFile(const QString& name)
{
    FileListBox* list = m_window->fileList();
    if (list->path() != m_window->folderTree()->path())
        return false;
    list->refresh();
    // A large folder is read on a worker: the file is looked for once it is listed.
    list->finishListing();
    // By the name behind each entry: an entry shows a name that is not UTF-8 differently.
    const int row = list->rowOf(name);
    if (row < 0)
        return false; // hidden by the filter
    list->setCurrentRow(row);
    list->scrollTo(list->model()->index(row, 0));
    // Made current, the file is previewed (an archive lists its members); the list previews a
    // new current file itself unless a mouse button is down, and then it is asked here.
    if (m_preview && QApplication::mouseButtons())
        m_preview->previewSelectedFile();
    return true;
}

void Application::showFile(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (!m_window || slash < 0)
        return;
    const QString folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
    const QString name = path.mid(slash + 1);
    if (!m_window->folderTree()->setPath(folder)) {
        m_prompts.message(m_window, QStringLiteral("フォルダ「") + platform::displayPath(folder) +
                                        QStringLiteral("」を開けません。"));
        return;
    }
    if (!selectFile(name) && m_window->filterList()->currentIndex() != 0) {
        m_window->filterList()->setCurrentIndex(0);
        m_navigation->applyFilter(0);
        selectFile(name);
    }
    if (m_window->fileList()->fileName() != name)
        m_prompts.message(m_window, QStringLiteral("「") + platform::displayName(name) +
                                        QStringLiteral("」が見つかりません。"));
    m_window->raise();
    m_window->activateWindow();
}

about::AboutDialog* Application::about()
{
    if (!m_about) {
        m_about = new about::AboutDialog(platform::programFolder(), m_window.data());
        // The help document and the home page open through the shell, which reports a
        // failure (a missing help file) with its own message; the dialog stays open.
        connect(m_about, &about::AboutDialog::openRequested, this, [this](const QString& target) {
            if (target == m_about->helpFile())
                showHelp(m_about);
            else
                fileops::openWithShell(m_shell, m_prompts, m_about, target, QString());
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

void Application::requestEnd()
{
    m_endRequested = true;
    platform::markEndRequested();
    endWhenIdle();
}

void Application::endWhenIdle()
{
    if (m_shutDown)
        return;
    // Work on a worker stops at its next step: a file operation looks at the end request
    // itself, an archiver's progress window is cancelled.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* progress = qobject_cast<QProgressDialog*>(window);
            progress && !progress->wasCanceled())
            progress->cancel();
    }
    // The window is closed only from the program's own event loop: while a command is still
    // under way (waiting for its work, or for an answer) it would go from under it.
    if (QThread::currentThread()->loopLevel() > 1) {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        else if (auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            question->reject();
        QTimer::singleShot(50, this, &Application::endWhenIdle);
        return;
    }
    if (m_window)
        m_window->close();
    else
        QApplication::quit();
}

void Application::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    if (m_window && m_settings) {
        m_settings->saveWindowSize();
        savePaneSplit();
    }

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
    // The preview (and its media status line, which ticks) goes before its window.
    delete m_routes;
    m_routes = nullptr;
    delete m_search;
    m_search = nullptr;
    delete m_print;
    m_print = nullptr;
    delete m_preview;
    m_preview = nullptr;
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
    releaseWorkFolder();
    Q_EMIT shutDownFinished();
}

} // namespace app
