// The file and folder commands on the real main window, with the shell and the prompts
// recorded.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "fileops/ExistingFile.h"
#include "fileops/FileCommands.h"
#include "fileops/FolderPicker.h"
#include "fileops/ShellLaunch.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace
{
const QChar NUL(u'\0');
}

class FileCommandsTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        Run()
        {
            for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
                write(QLatin1String(name), name);
            start({browse.path()});
            shell.calls.clear();
        }
        app::MainWindow* w() const { return window(); }
        fileops::FileCommands& commands() const { return program->navigation()->commands(); }
        void select(const QStringList& names) const
        {
            app::FileListBox* list = w()->fileList();
            list->clearSelection();
            for (int i = 0; i < list->count(); ++i) {
                if (names.contains(list->textAt(i))) {
                    list->setRowSelected(i, true);
                    list->setCurrentRow(i, QItemSelectionModel::Select);
                }
            }
        }
        void trigger(const char* name) const
        {
            QAction* action = w()->menuAction(QString::fromLatin1(name));
            QVERIFY2(action, name);
            action->trigger();
        }
        QString path(const char* name) const
        {
            return browse.path() + QLatin1Char('/') + QLatin1String(name);
        }
    };

private Q_SLOTS:
    void sourceListLayout()
    {
        Run run;
        int count = -1;
        run.select({});
        QCOMPARE(run.commands().sourceList(false, count), QString());
        QCOMPARE(count, 0);
        run.select({QStringLiteral("b.txt")});
        QCOMPARE(run.commands().sourceList(false, count), run.path("b.txt") + NUL);
        QCOMPARE(count, 1);
        run.select({QStringLiteral("a.txt"), QStringLiteral("c.txt"), QStringLiteral("d.txt")});
        QCOMPARE(run.commands().sourceList(false, count), run.path("a.txt") + NUL +
                                                              run.path("c.txt") + NUL +
                                                              run.path("d.txt") + NUL + NUL + NUL);
        QCOMPARE(count, 3);
    }

    void copyAndMoveNeedADestination()
    {
        Run run;
        run.select({QStringLiteral("a.txt")});
        run.prompts.expectMessages(2);
        run.trigger("copy2");
        run.trigger("idou2");
        QCOMPARE(run.prompts.shown().size(), 2);
        QCOMPARE(run.prompts.shown().at(0).text, QStringLiteral("コピー先を指定してください。"));
        QCOMPARE(run.prompts.shown().at(1).text, QStringLiteral("移動先を指定してください。"));
        QVERIFY(run.shell.callsOf(QStringLiteral("op")).isEmpty());
    }

    void nothingSelected()
    {
        // Copy stops silently; move and delete say so.
        Run run;
        run.w()->destinationBox()->setText(QStringLiteral("/tmp/dest"));
        run.select({});
        run.trigger("copy2");
        QVERIFY(run.prompts.shown().isEmpty());
        run.prompts.expectMessages(2);
        run.trigger("idou2");
        run.trigger("sakujyo");
        QCOMPARE(run.prompts.shown().size(), 2);
        for (const auto& box : run.prompts.shown())
            QCOMPARE(box.text, QStringLiteral("エラー発生"));
        QVERIFY(run.shell.callsOf(QStringLiteral("op")).isEmpty());
    }

    void copyMoveDeleteReachTheShell()
    {
        Run run;
        run.w()->destinationBox()->setText(QStringLiteral("/tmp/dest"));
        run.select({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        run.trigger("copy2");
        run.trigger("midou");
        run.trigger("msakujyo");
        const auto ops = run.shell.callsOf(QStringLiteral("op"));
        QCOMPARE(ops.size(), 3);
        const QString list = run.path("a.txt") + NUL + run.path("b.txt") + NUL + NUL + NUL;
        QCOMPARE(int(ops.at(0).operation.operation), 2);
        QCOMPARE(ops.at(0).operation.to, QStringLiteral("/tmp/dest"));
        QCOMPARE(int(ops.at(1).operation.operation), 1);
        QCOMPARE(int(ops.at(2).operation.operation), 3);
        for (const auto& op : ops) {
            QCOMPARE(op.operation.from, list);
            QCOMPARE(op.operation.flags, 0u);
            QCOMPARE(op.operation.owner, static_cast<QWidget*>(run.w()));
        }
    }

    void deleteFollowsTheTrashSetting()
    {
        Run run;
        run.program->forms()
            ->general()
            ->findChild<QCheckBox*>(QStringLiteral("Check5"))
            ->setChecked(true);
        run.select({QStringLiteral("c.txt")});
        run.trigger("sakujyo");
        run.trigger("fsakujyo");
        const auto ops = run.shell.callsOf(QStringLiteral("op"));
        QCOMPARE(ops.size(), 2);
        QCOMPARE(ops.at(0).operation.flags, 0x40u);
        QCOMPARE(ops.at(0).operation.from, run.path("c.txt") + NUL);
        QCOMPARE(ops.at(1).operation.flags, 0x40u);
        QCOMPARE(ops.at(1).operation.from, run.browse.path() + NUL);
        run.program->forms()
            ->general()
            ->findChild<QCheckBox*>(QStringLiteral("Check5"))
            ->setChecked(false);
        run.trigger("mfolder");
        QCOMPARE(run.shell.callsOf(QStringLiteral("op")).last().operation.flags, 0u);
    }

    void copyButtonCreatesTheDestinationWhenAsked()
    {
        Run run;
        const QString dest = run.browse.path() + QStringLiteral("/新しい");
        run.w()->destinationBox()->setText(dest);
        run.select({QStringLiteral("a.txt")});
        auto* copy = run.w()->form()->findChild<QPushButton*>(QStringLiteral("Command2"));
        QVERIFY(copy->isEnabled());

        run.prompts.answerMessage(platform::Prompts::No);
        copy->click();
        QCOMPARE(run.w()->destinationBox()->text(), dest + QLatin1Char('/'));
        QCOMPARE(run.prompts.shown().last().text,
                 QStringLiteral("ディレクトリが存在しません。作成しますか？"));
        QCOMPARE(run.prompts.shown().last().title, QStringLiteral("確認"));
        QCOMPARE(run.prompts.shown().last().buttons, int(platform::Prompts::YesNo));
        QVERIFY(!QFileInfo::exists(dest));
        QVERIFY(run.shell.callsOf(QStringLiteral("op")).isEmpty());

        run.prompts.answerMessage(platform::Prompts::Yes);
        copy->click();
        QVERIFY(QFileInfo(dest).isDir());
        QCOMPARE(run.shell.callsOf(QStringLiteral("op")).size(), 1);
        QCOMPARE(run.shell.callsOf(QStringLiteral("op")).first().operation.to,
                 dest + QLatin1Char('/'));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void destinationRow()
    {
        Run run;
        auto* copy = run.w()->form()->findChild<QPushButton*>(QStringLiteral("Command2"));
        QVERIFY(!copy->isEnabled());
        run.prompts.answerText(QStringLiteral("/media/外付け"));
        run.w()->form()->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QCOMPARE(run.prompts.shown().last().text, QStringLiteral("フォルダを選択してください。"));
        QCOMPARE(run.w()->destinationBox()->text(), QStringLiteral("/media/外付け"));
        QVERIFY(copy->isEnabled());
        QCOMPARE(fileops::lastPickedFolder(), QStringLiteral("/media/外付け"));
        run.trigger("sakicopy");
        QCOMPARE(run.w()->destinationBox()->text(), run.browse.path());
    }

    void folderCommandsUseThePicker()
    {
        Run run;
        run.prompts.answerText(QString());
        run.trigger("fcopy");
        QVERIFY(run.shell.callsOf(QStringLiteral("op")).isEmpty());
        run.prompts.answerText(QStringLiteral("/tmp/to"));
        run.trigger("fcopy");
        run.prompts.answerText(QStringLiteral("/tmp/there"));
        run.trigger("fidou");
        const auto ops = run.shell.callsOf(QStringLiteral("op"));
        QCOMPARE(ops.size(), 2);
        QCOMPARE(int(ops.at(0).operation.operation), 2);
        QCOMPARE(ops.at(0).operation.from, run.browse.path() + NUL);
        QCOMPARE(ops.at(0).operation.to, QStringLiteral("/tmp/to"));
        QCOMPARE(int(ops.at(1).operation.operation), 1);
        QCOMPARE(run.prompts.shown().at(0).text, QStringLiteral("コピー先を選択してください。"));
        QCOMPARE(run.prompts.shown().at(2).text, QStringLiteral("移動先を選択してください。"));
    }

    void renameFolder()
    {
        Run run;
        const QString old = run.browse.path() + QStringLiteral("/古い");
        QVERIFY(QDir().mkdir(old));
        QVERIFY(run.w()->folderTree()->setPath(old));
        run.prompts.answerText(QString());
        run.trigger("fhenkou");
        QVERIFY(QFileInfo(old).isDir());
        QCOMPARE(run.prompts.shown().last().text, QStringLiteral("現在のフォルダ名：") + old);
        QCOMPARE(run.prompts.shown().last().title, QStringLiteral("フォルダ名の変更"));
        run.prompts.answerText(QStringLiteral("新しい"));
        run.trigger("fhenkou");
        QVERIFY(!QFileInfo::exists(old));
        const QString renamed = run.browse.path() + QStringLiteral("/新しい");
        QVERIFY(QFileInfo(renamed).isDir());
        // The view follows the folder to its new name, also once the tree has looked again.
        QCOMPARE(run.program->navigation()->currentFolder(), renamed);
        // Nothing signals that the tree has looked again: give it the time it takes.
        QTest::qWait(300);
        QCOMPARE(run.program->navigation()->currentFolder(), renamed);
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void renameFolderFailuresAreShown()
    {
        Run run;
        const QString old = run.browse.path() + QStringLiteral("/one");
        const QString other = run.browse.path() + QStringLiteral("/two");
        QVERIFY(QDir().mkdir(old) && QDir().mkdir(other));
        QVERIFY(QFile::copy(run.path("a.txt"), other + QStringLiteral("/inside.txt")));
        QVERIFY(run.w()->folderTree()->setPath(old));
        // An existing name, a folder or a file, is never replaced, and the user is told.
        for (const QString& name : {QStringLiteral("two"), QStringLiteral("a.txt")}) {
            run.prompts.clear();
            run.prompts.answerText(name);
            run.prompts.expectMessages(1);
            run.trigger("fhenkou");
            QCOMPARE(run.prompts.shown().size(), 2);
            QCOMPARE(run.prompts.shown().last().text,
                     QStringLiteral("同名のファイルまたはフォルダが存在しています。"));
            QVERIFY(QFileInfo(old).isDir());
            QVERIFY(QFileInfo(other + QStringLiteral("/inside.txt")).isFile());
        }
        // A name that would lead elsewhere.
        for (const QString& name : {QStringLiteral("../escape"), QStringLiteral("..")}) {
            run.prompts.clear();
            run.prompts.answerText(name);
            run.prompts.expectMessages(1);
            run.trigger("fhenkou");
            QCOMPARE(run.prompts.shown().size(), 2);
            QVERIFY(run.prompts.shown().last().text.startsWith(
                QStringLiteral("このフォルダ名は使えません。")));
            QVERIFY(QFileInfo(old).isDir());
        }
        QCOMPARE(run.program->navigation()->currentFolder(), old);
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void pathToClipboardAndProperties()
    {
        Run run;
        run.select({QStringLiteral("b.txt")});
        run.trigger("mclip");
        QCOMPARE(run.shell.clipboard, run.path("b.txt"));
        run.trigger("puro");
        run.trigger("fopuro");
        const auto properties = run.shell.callsOf(QStringLiteral("properties"));
        QCOMPARE(properties.size(), 2);
        QCOMPARE(properties.at(0).path, run.path("b.txt"));
        QCOMPARE(properties.at(1).path, run.browse.path());
    }

    void editorsAndTheirFailures()
    {
        Run run;
        run.select({QStringLiteral("a.txt")});
        run.trigger("memo");
        QCOMPARE(run.shell.calls.last().kind, QStringLiteral("editor:text"));
        QCOMPARE(run.shell.calls.last().path, run.path("a.txt"));
        QVERIFY(run.prompts.shown().isEmpty());
        run.shell.editorTask = 0;
        run.prompts.expectMessages(2);
        run.trigger("memo");
        QCOMPARE(run.prompts.shown().last().text,
                 QStringLiteral("メモ帳の場所が正しくありません。"));
        run.trigger("paint");
        QCOMPARE(run.shell.calls.last().kind, QStringLiteral("editor:image"));
        QCOMPARE(run.prompts.shown().last().text, QStringLiteral("メモ帳のパスが不正です。"));
    }

    void openErrorTexts()
    {
        QCOMPARE(fileops::openErrorText(0), QStringLiteral("システムメモリが不足しています。"));
        QCOMPARE(fileops::openErrorText(2), QStringLiteral("ファイルが見つかりません。"));
        QCOMPARE(fileops::openErrorText(3), QStringLiteral("ファイルのパスが無効です。"));
        QCOMPARE(fileops::openErrorText(8), QStringLiteral("メモリが不足しています。"));
        QCOMPARE(fileops::openErrorText(5),
                 QStringLiteral(" 5:起動エラー ファイルのパスを確認してください。 "));
        QVERIFY(fileops::openErrorText(31).isEmpty());
        QVERIFY(fileops::openErrorText(42).isEmpty());

        RecordingShell shell;
        RecordingPrompts prompts;
        shell.openResult = 5;
        prompts.expectMessages(1);
        fileops::openWithShell(shell, prompts, nullptr, QStringLiteral("/x/y.abc"),
                               QStringLiteral("/x/"));
        QCOMPARE(prompts.shown().size(), 1);
        QCOMPARE(prompts.shown().first().icon, int(platform::Prompts::Critical));
        QVERIFY(prompts.shown().first().title.isEmpty()); // the application's title
        shell.openResult = platform::Shell::kOpenOk;
        fileops::openWithShell(shell, prompts, nullptr, QStringLiteral("/x/y.abc"),
                               QStringLiteral("/x/"));
        QCOMPARE(prompts.shown().size(), 1);
    }

    void existingFileFindsRegularFilesOnly()
    {
        QVERIFY(!fileops::existingFile(QStringLiteral("/nonexistent/file/")));
        QVERIFY(!fileops::existingFile(QString()));
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        QVERIFY(!fileops::existingFile(folder)); // folders are not files
        const QString file = dir.path() + QStringLiteral("/-f 1.txt");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(fileops::existingFile(file), std::optional<QString>(file));
        // A trailing separator is left out of what it found; the caller's text stays as it was.
        const QString withSeparator = file + QLatin1Char('/');
        QCOMPARE(fileops::existingFile(withSeparator), std::optional<QString>(file));
        QCOMPARE(withSeparator, file + QLatin1Char('/'));
    }

    void associationLookup()
    {
        Run run;
        app::Navigation& nav = *run.program->navigation();
        run.shell.findResult = platform::Shell::kNoAssociation;
        fileops::findAssociatedProgram(run.shell, nav, QStringLiteral("a.txt"),
                                       run.browse.path() + QLatin1Char('/'));
        QCOMPARE(nav.associationFlag(), QStringLiteral("1"));
        QCOMPARE(run.w()->panel(3)->text(), QStringLiteral("関連づけられていません。"));
        run.shell.findResult = 42;
        fileops::findAssociatedProgram(run.shell, nav, QStringLiteral("a.txt"),
                                       run.browse.path() + QLatin1Char('/'));
        QCOMPARE(nav.associationFlag(), QStringLiteral("0"));
        QCOMPARE(run.w()->panel(3)->text(), run.shell.associatedProgram);
        run.shell.findResult = platform::Shell::kFileNotFound;
        fileops::findAssociatedProgram(run.shell, nav, QStringLiteral("gone"),
                                       run.browse.path() + QLatin1Char('/'));
        QCOMPARE(nav.associationFlag(), QStringLiteral("0"));
        QCOMPARE(run.w()->panel(3)->text(), QString());
    }

    // The toolbar's numbered buttons reach their commands; the ones still without a command,
    // and the separators, do nothing (11 and 12 save the previewed text: tests/editor).
    void toolbarButtonsReachTheirCommands()
    {
        Run run;
        auto button = [&run](int number) {
            auto* action =
                run.w()->findChild<QAction*>(QStringLiteral("Button") + QString::number(number));
            return action;
        };
        run.select({QStringLiteral("b.txt")});
        run.shell.calls.clear();
        for (int number : {5, 8, 10, 13, 14, 17, 18, 19, 20}) {
            QVERIFY(button(number));
            button(number)->trigger();
            Q_EMIT run.w()->toolbarButtonClicked(number);
        }
        Q_EMIT run.w()->toolbarButtonClicked(0);
        Q_EMIT run.w()->toolbarButtonClicked(22);
        QVERIFY(run.shell.calls.isEmpty());
        QVERIFY(run.prompts.shown().isEmpty());

        // 3 without a destination asks for one; 2 puts the full path on the clipboard.
        run.w()->destinationBox()->clear();
        run.prompts.expectMessages(1);
        button(3)->trigger();
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().at(0).text, QStringLiteral("コピー先を指定してください。"));
        QVERIFY(run.shell.callsOf(QStringLiteral("op")).isEmpty());
        button(2)->trigger();
        QCOMPARE(run.shell.clipboard, run.path("b.txt"));
        // 1 deletes the selected file; 16 goes back to the folder of the start.
        button(1)->trigger();
        const auto ops = run.shell.callsOf(QStringLiteral("op"));
        QCOMPARE(ops.size(), 1);
        QCOMPARE(ops.at(0).operation.from, run.path("b.txt") + NUL);
        QVERIFY(run.w()->folderTree()->setPath(QDir::tempPath()));
        button(16)->trigger();
        QCOMPARE(run.w()->folderTree()->path(), run.browse.path());
    }
};

QTEST_MAIN(FileCommandsTest)
#include "tst_file_commands.moc"
