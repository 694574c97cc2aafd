#include "app/Application.h"

#include "app/EarlyFolderRead.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "desktop/Prompts.h"
#include "platform/LocalTimeZone.h"
#include "platform/Mci.h"
#include "platform/Shell.h"
#include "platform/TerminationSignals.h"
#include "platform/mci/MediaMci.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <unistd.h>

#include <cstdio>

namespace app
{

namespace
{

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
    platform::pinLocalTimeZone();
    // The browser engine refuses to start its sandbox for the superuser and ends the whole
    // program on the first web page; run as root (a rescue shell, a container) it goes without.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // No shared OpenGL context is asked for: making one costs start-up most of a tenth of a
    // second, and the browser engine, loaded on the first page, draws without it.
    // The folder named on the command line starts being read now, beside the window's start.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QString firstFolder = folderOfCommandLine(arguments);
    if (!firstFolder.isEmpty())
        EarlyFolderRead::start(firstFolder, FileListBox::kListedAtOnce);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("koramo"));
    // The window's picture and the desktop entry it belongs to (koramo.desktop), so that the
    // task bar shows the program's own icon: the icon theme's when installed, else the built-in.
    QGuiApplication::setDesktopFileName(QStringLiteral("koramo"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("koramo"));
    if (icon.isNull()) {
        icon.addFile(QStringLiteral(":/koramo/koramo.png"));
        icon.addFile(QStringLiteral(":/koramo/koramo-128.png"));
    }
    QApplication::setWindowIcon(icon);
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
    // Asked to end (logout, kill): running work is cancelled and waited for, then the window
    // closes as the user would close it, so nothing is lost.
    platform::onTerminationRequest(&program, [&program] { program.requestEnd(); });
    program.startUp(QApplication::arguments().mid(1));
    program.mainWindow()->adoptMediaArea(videoArea);
    return application.exec();
}

} // namespace app
