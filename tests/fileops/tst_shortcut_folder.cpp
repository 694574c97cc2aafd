// The shortcut dialog on an account whose desktop folder does not exist yet, or cannot be
// written: the user is told why and where, what was typed stays in the dialog, and a missing
// folder is made when the user agrees.
#include "GuiRun.h"
#include "ModalSteps.h"

#include "app/FileListBox.h"
#include "app/MainWindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
template <typename T> T* child(QDialog* dialog, const char* name)
{
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

void clickOk(QDialog* dialog)
{
    auto* ok = child<QPushButton>(dialog, "Command1");
    QVERIFY(ok);
    QTest::mouseClick(ok, Qt::LeftButton);
}

// The desktop folder the freedesktop user-dirs file names, for the time of one test.
class DesktopAt
{
public:
    explicit DesktopAt(const QString& folder) : m_saved(qgetenv("XDG_CONFIG_HOME"))
    {
        QFile dirs(m_config.path() + QStringLiteral("/user-dirs.dirs"));
        if (dirs.open(QIODevice::WriteOnly))
            dirs.write("XDG_DESKTOP_DIR=\"" + folder.toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }
    ~DesktopAt()
    {
        if (m_saved.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_saved);
    }

private:
    QTemporaryDir m_config;
    QByteArray m_saved;
};

struct Run : GuiRun {
    Run()
    {
        write(QStringLiteral("メモ.txt"), "memo");
        start({browse.path()});
        app::FileListBox* list = window()->fileList();
        const int entry = list->rowShowing(QStringLiteral("メモ.txt"));
        if (entry >= 0)
            list->setCurrentRow(entry);
    }
    // Opens the dialog from the file menu and runs the step on it; true when the step ran and
    // the dialog was closed by the program.
    void inDialog(const ModalSteps::Step& step)
    {
        ModalSteps steps;
        steps.then(QStringLiteral("Form8"), step);
        QAction* action = window()->menuAction(QStringLiteral("shortcut"));
        QVERIFY(action && action->isEnabled());
        action->trigger();
        QCOMPARE(steps.left(), 0);
        QCOMPARE(steps.wrong, 0);
    }
    QString lastText() const
    {
        return prompts.shown().isEmpty() ? QString() : prompts.shown().last().text;
    }
};

const QString kName = QStringLiteral("-memo shortcut");
} // namespace

class ShortcutFolderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingDesktopIsMadeWhenTheUserAgrees()
    {
        QTemporaryDir home;
        // Three levels missing, a blank and a leading "-" among them.
        const QString desktop = home.path() + QStringLiteral("/新しい アカウント/-デスクトップ/x");
        DesktopAt at(desktop);
        Run run;
        run.prompts.answerMessage(platform::Prompts::No);
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.inDialog([&](QDialog* d) {
            QCOMPARE(child<QLabel>(d, "Label5")->text(), desktop + QLatin1Char('/'));
            typeInto(child<QLineEdit>(d, "Text1"), kName);
            // No: nothing is made, the dialog stays with the name typed.
            clickOk(d);
            QCOMPARE(run.prompts.shown().size(), 1);
            const auto& question = run.prompts.shown().first();
            QCOMPARE(question.text,
                     QStringLiteral("ショートカットを作成する場所のフォルダがありません。\n") +
                         desktop + QStringLiteral("/\nフォルダを作成しますか？"));
            QCOMPARE(question.title, QStringLiteral("確認"));
            QCOMPARE(question.buttons, int(platform::Prompts::YesNo));
            QCOMPARE(question.icon, int(platform::Prompts::Question));
            QVERIFY(d->isVisible());
            QCOMPARE(child<QLineEdit>(d, "Text1")->text(), kName);
            QVERIFY(!QFileInfo::exists(home.path() + QStringLiteral("/新しい アカウント")));
            // Yes: the folders are made and the launcher is written into them.
            clickOk(d);
        });
        QCOMPARE(run.prompts.shown().size(), 2);
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        QVERIFY(QFileInfo(desktop).isDir());
        QVERIFY(
            QFileInfo(desktop + QLatin1Char('/') + kName + QStringLiteral(".desktop")).isFile());
    }

    void folderThatCannotBeMadeIsToldAndTheDialogStays()
    {
        QTemporaryDir home;
        // A file stands where a folder of the path would have to be.
        QFile blocker(home.path() + QStringLiteral("/file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString desktop = home.path() + QStringLiteral("/file/デスクトップ");
        DesktopAt at(desktop);
        Run run;
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.prompts.expectMessages(1);
        run.inDialog([&](QDialog* d) {
            typeInto(child<QLineEdit>(d, "Text1"), kName);
            clickOk(d);
            QCOMPARE(run.prompts.shown().size(), 2);
            QCOMPARE(
                run.lastText(),
                QStringLiteral("フォルダを作成できませんでした。\nフォルダではありません。\n") +
                    desktop + QLatin1Char('/'));
            QVERIFY(d->isVisible());
            QCOMPARE(child<QLineEdit>(d, "Text1")->text(), kName);
            d->reject();
        });
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void failedWriteSaysWhyAndWhereAndKeepsTheInput()
    {
        QTemporaryDir home;
        // The location is a file, not a folder: no question, the writing fails with its reason.
        const QString location = home.path() + QStringLiteral("/デスクトップ");
        QFile file(location);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        DesktopAt at(location);
        Run run;
        run.prompts.expectMessages(1);
        run.inDialog([&](QDialog* d) {
            typeInto(child<QLineEdit>(d, "Text1"), kName);
            clickOk(d);
            QCOMPARE(run.prompts.shown().size(), 1);
            QCOMPARE(
                run.lastText(),
                QStringLiteral("ショートカットの作成に失敗しました。\nフォルダではありません。\n") +
                    location + QLatin1Char('/') + kName + QStringLiteral(".desktop"));
            QVERIFY(d->isVisible());
            QCOMPARE(child<QLineEdit>(d, "Text1")->text(), kName);
            d->reject();
        });
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(ShortcutFolderTest)
#include "tst_shortcut_folder.moc"
