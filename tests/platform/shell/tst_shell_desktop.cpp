// The shell's desktop side through the real GIO lookup and launch, in a desktop of the test's
// own: temporary XDG folders holding two desktop entries whose program writes a marker file,
// and a mimeapps.list naming them as defaults. GIO reads these folders once, so they are set
// up in main() before anything touches GIO.
#include "RecordingShellUi.h"
#include "ShellTestFiles.h"

#include "desktop/LinuxShell.h"
#include "desktop/OpenWithDialog.h"
#include "desktop/PropertiesDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>

using namespace shelltest;
using platform::Shell;

namespace
{

QTemporaryDir* desktop = nullptr;

QString under(const QString& rest)
{
    return desktop->path() + u'/' + rest;
}

void writeDesktop()
{
    const QString script = under(QStringLiteral("bin/record.sh"));
    writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" +
                          QFile::encodeName(under(QStringLiteral("marker"))) + ".$$\" && mv \"" +
                          QFile::encodeName(under(QStringLiteral("marker"))) + ".$$\" \"" +
                          QFile::encodeName(under(QStringLiteral("marker"))) + "\"\n");
    ::chmod(QFile::encodeName(script).constData(), 0755);
    const QByteArray exec = QFile::encodeName(script);
    writeFile(under(QStringLiteral("data/applications/koramo-test-viewer.desktop")),
              "[Desktop Entry]\nType=Application\nName=Koramo Test Viewer\nExec=" + exec +
                  " %f\nMimeType=text/plain;\n");
    writeFile(under(QStringLiteral("data/applications/koramo-test-handler.desktop")),
              "[Desktop Entry]\nType=Application\nName=Koramo Test Handler\nExec=" + exec +
                  " %u\nMimeType=x-scheme-handler/koramotest;\nNoDisplay=true\n");
    writeFile(under(QStringLiteral("data/applications/koramo-test-editor.desktop")),
              "[Desktop Entry]\nType=Application\nName=Koramo Test Editor\nExec=" + exec +
                  " --editor %f\nMimeType=text/plain;\n");
    // An application that runs in a terminal: without a terminal program it cannot start.
    writeFile(under(QStringLiteral("data/applications/koramo-test-gone.desktop")),
              "[Desktop Entry]\nType=Application\nName=Koramo Test Terminal\nTerminal=true\nExec=" +
                  exec + " %f\nMimeType=text/csv;\n");
    // The MIME cache as the desktop's package tools write it (GIO lists applications from it).
    writeFile(under(QStringLiteral("data/applications/mimeinfo.cache")),
              "[MIME Cache]\ntext/plain=koramo-test-editor.desktop;koramo-test-viewer.desktop;\n"
              "x-scheme-handler/koramotest=koramo-test-handler.desktop;\n"
              "text/csv=koramo-test-gone.desktop;\n");
    writeFile(under(QStringLiteral("config/mimeapps.list")),
              "[Default Applications]\ntext/plain=koramo-test-viewer.desktop\n"
              "x-scheme-handler/koramotest=koramo-test-handler.desktop\n"
              "text/csv=koramo-test-gone.desktop\n");
    // Only the MIME database of the system is shared, not its applications.
    QDir().mkpath(under(QStringLiteral("share")));
    QFile::link(QStringLiteral("/usr/share/mime"), under(QStringLiteral("share/mime")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(under(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(under(QStringLiteral("config"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(under(QStringLiteral("share"))));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(under(QStringLiteral("etc"))));
    qputenv("GIO_USE_VFS", "local");
}

} // namespace

class ShellDesktopTest : public QObject
{
    Q_OBJECT

private:
    QString marker() const { return under(QStringLiteral("marker")); }
    QString textFile() const { return under(QStringLiteral("files/read me.txt")); }
    // The marker's lines once the started program has written them.
    QStringList launched()
    {
        if (!QTest::qWaitFor([&] { return QFile::exists(marker()); }, 10000))
            return {QStringLiteral("<nothing was started>")};
        QStringList lines = QString::fromUtf8(readFile(marker())).split(u'\n', Qt::SkipEmptyParts);
        QFile::remove(marker());
        return lines;
    }

    std::unique_ptr<platform::LinuxShell> m_shell;
    RecordingShellUi* m_ui = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        std::signal(SIGCHLD, SIG_DFL);
        // Content types come from the system's MIME database (package shared-mime-info).
        if (!QFile::exists(QStringLiteral("/usr/share/mime/mime.cache")))
            QSKIP("no MIME database in /usr/share/mime: install shared-mime-info");
        writeFile(textFile(), "plain text\n");
        writeFile(under(QStringLiteral("files/data.bin")),
                  QByteArray("\x00\x01\x02\xff\xfe", 5) + pattern(4096, 9));
        writeFile(under(QStringLiteral("files/picture.png")),
                  QByteArray::fromHex("89504e470d0a1a0a"));
        auto ui = std::make_unique<RecordingShellUi>();
        m_ui = ui.get();
        m_shell = std::make_unique<platform::LinuxShell>(std::move(ui));
    }

    void findExecutableGivesTheDefaultApplicationsProgram()
    {
        QString program;
        QCOMPARE(m_shell->findExecutable(textFile(), QString(), program), Shell::kOpenOk);
        QCOMPARE(program, under(QStringLiteral("bin/record.sh")));
        // Relative names are taken in the given folder.
        QCOMPARE(m_shell->findExecutable(QStringLiteral("read me.txt"),
                                         under(QStringLiteral("files")), program),
                 Shell::kOpenOk);
        QCOMPARE(
            m_shell->findExecutable(under(QStringLiteral("files/data.bin")), QString(), program),
            Shell::kNoAssociation);
        QVERIFY(program.isEmpty());
        QCOMPARE(
            m_shell->findExecutable(under(QStringLiteral("files/none.txt")), QString(), program),
            Shell::kFileNotFound);
        QCOMPARE(
            m_shell->findExecutable(under(QStringLiteral("nofolder/none.txt")), QString(), program),
            Shell::kPathNotFound);
    }

    void openStartsTheDefaultApplicationOnTheFile()
    {
        QFile::remove(marker());
        QCOMPARE(m_shell->open(nullptr, textFile(), QString()), Shell::kOpenOk);
        QCOMPARE(launched(), QStringList{textFile()});
        QCOMPARE(m_shell->open(nullptr, under(QStringLiteral("files/data.bin")), QString()),
                 Shell::kNoAssociation);
        QCOMPARE(m_shell->open(nullptr, under(QStringLiteral("files/gone.txt")), QString()),
                 Shell::kFileNotFound);
        QCOMPARE(m_shell->open(nullptr, under(QStringLiteral("gone/gone.txt")), QString()),
                 Shell::kPathNotFound);
        QVERIFY(!QFile::exists(marker()));
    }

    // An application that cannot be started: the code says so and the system's reason is kept
    // for the message; a later success forgets it.
    void openThatCannotStartSaysWhy()
    {
        const QString table = under(QStringLiteral("files/table.csv"));
        writeFile(table, "a,b\n1,2\n");
        // No terminal program can be found on this search path.
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(under(QStringLiteral("bin"))));
        const int result = m_shell->open(nullptr, table, QString());
        qputenv("PATH", path);
        QCOMPARE(result, Shell::kLaunchFailed);
        QVERIFY2(
            m_shell->lastOpenFailure().contains(QStringLiteral("terminal"), Qt::CaseInsensitive),
            qPrintable(m_shell->lastOpenFailure()));
        QCOMPARE(m_shell->open(nullptr, textFile(), QString()), Shell::kOpenOk);
        QCOMPARE(launched(), QStringList{textFile()});
        QVERIFY(m_shell->lastOpenFailure().isEmpty());
    }

    void openGivesAddressesToTheirSchemesHandler()
    {
        QCOMPARE(m_shell->open(nullptr, QStringLiteral("koramotest:hello?x=1"), QString()),
                 Shell::kOpenOk);
        QCOMPARE(launched(), QStringList{QStringLiteral("koramotest:hello?x=1")});
        QCOMPARE(m_shell->open(nullptr, QStringLiteral("nohandler:x"), QString()),
                 Shell::kNoAssociation);
        // A file address is opened as the file.
        const QString uri = QUrl::fromLocalFile(textFile()).toString(QUrl::FullyEncoded);
        QCOMPARE(m_shell->open(nullptr, uri, QString()), Shell::kOpenOk);
        QCOMPARE(launched(), QStringList{textFile()});
    }

    void startEditorReturnsTheProcessOfTheTextEditor()
    {
        const qint64 pid = m_shell->startEditor(Shell::Editor::Text, textFile());
        QVERIFY(pid > 0);
        QCOMPARE(launched(), QStringList{textFile()});
        // This desktop has no image editor.
        QCOMPARE(
            m_shell->startEditor(Shell::Editor::Image, under(QStringLiteral("files/picture.png"))),
            qint64(0));
    }

    void openWithListsTheApplicationsForTheTypeAndStartsTheChoice()
    {
        QStringList listed;
        QTimer::singleShot(0, this, [&] {
            auto* dialog =
                qobject_cast<platform::OpenWithDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* list = dialog->findChild<QListWidget*>(QStringLiteral("applications"));
            for (int i = 0; i < list->count(); ++i)
                listed << list->item(i)->text();
            list->setCurrentRow(1);
            dialog->accept();
        });
        m_shell->openWith(nullptr, textFile());
        // The default first, then the others registered for the type.
        QCOMPARE(listed, (QStringList{QStringLiteral("Koramo Test Viewer"),
                                      QStringLiteral("Koramo Test Editor")}));
        QCOMPARE(launched(), (QStringList{QStringLiteral("--editor"), textFile()}));

        QTimer::singleShot(0, this, [&] {
            auto* dialog =
                qobject_cast<platform::OpenWithDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("command")),
                             under(QStringLiteral("bin/record.sh")) + QStringLiteral(" --custom"));
            dialog->accept();
        });
        m_shell->openWith(nullptr, textFile());
        QCOMPARE(launched(), (QStringList{QStringLiteral("--custom"), textFile()}));
        QVERIFY(m_ui->errors.isEmpty());
    }

    void propertiesCountAFoldersSizeInTheBackground()
    {
        writeFile(under(QStringLiteral("sized/a.bin")), pattern(1000, 1));
        writeFile(under(QStringLiteral("sized/in/b.bin")), pattern(200, 2));
        writeFile(under(QStringLiteral("sized/in/deeper/c.bin")), pattern(34, 3));
        QFile::link(QStringLiteral("/usr"), under(QStringLiteral("sized/in/usr-link")));
        QWidget owner;
        QCOMPARE(m_shell->showProperties(&owner, under(QStringLiteral("sized"))), Shell::kOpenOk);
        auto* dialog = owner.findChild<platform::PropertiesDialog*>();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("name"))->text(),
                 QStringLiteral("sized"));
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("location"))->text(), desktop->path());
        // The link counts as one file of its own size, /usr is not entered.
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->sizeText().contains(QStringLiteral("計算中")), 10000);
        // 1000 + 200 + 34 bytes of files and 4 of the link ("/usr").
        QVERIFY2(dialog->sizeText().endsWith(
                     QStringLiteral("(1,238 バイト)、ファイル 4 個、フォルダ 2 個")),
                 qPrintable(dialog->sizeText()));
        QCOMPARE(m_shell->showProperties(&owner, under(QStringLiteral("sized/none"))),
                 Shell::kFileNotFound);
    }

    void clipboardTakesTheText()
    {
        m_shell->setClipboardText(QStringLiteral("/tmp/コラモ.txt"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/tmp/コラモ.txt"));
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    desktop = &dir;
    writeDesktop();
    QApplication app(argc, argv);
    ShellDesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell_desktop.moc"
