// The shortcut dialog and the launchers it writes: what the dialog shows and asks, the file
// on disk read back by an independent reader of the launcher format, checked by
// desktop-file-validate and started by GLib's own launcher code.
#include "GuiRun.h"
#include "ModalSteps.h"

#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "base/NativePath.h"
#include "fileops/ShortcutDialog.h"
#include "platform/shortcut/DesktopEntry.h"
#include "platform/shortcut/Shortcut.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace
{
template <typename T> T* child(QDialog* dialog, const char* name)
{
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

void click(QDialog* dialog, const char* name)
{
    QPushButton* button = child<QPushButton>(dialog, name);
    QVERIFY2(button, name);
    button->click();
}

// A launcher read back as the format describes it, written apart from the program's writer:
// the keys of the main group with string escapes undone, and Exec split into its arguments.
struct ReadLauncher {
    QMap<QString, QString> keys;
    QStringList exec;
    bool ok = false;
};

QString unescape(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) != QLatin1Char('\\') || i + 1 == value.size()) {
            out += value.at(i);
            continue;
        }
        const QChar next = value.at(++i);
        if (next == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (next == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else
            out += QLatin1Char('\\') + next; // left for the Exec quoting rules
    }
    return out;
}

QStringList splitExec(const QString& exec, bool& ok)
{
    QStringList arguments;
    QString current;
    bool inQuotes = false;
    bool started = false;
    ok = true;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size() &&
                QStringLiteral("\"`$\\").contains(exec.at(i + 1))) {
                current += exec.at(++i);
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = started = true;
        } else if (c == QLatin1Char(' ')) {
            if (started)
                arguments << current;
            current.clear();
            started = false;
        } else {
            // Outside quotes no reserved character may stand.
            if (QStringLiteral("\t\n'\\><~|&;$*?#()`").contains(c))
                ok = false;
            current += c;
            started = true;
        }
    }
    if (started)
        arguments << current;
    ok = ok && !inQuotes;
    for (QString& argument : arguments) {
        // "%%" is one percent sign; any other field code has no place in our launchers.
        QString plain;
        for (qsizetype i = 0; i < argument.size(); ++i) {
            if (argument.at(i) == QLatin1Char('%')) {
                if (i + 1 < argument.size() && argument.at(i + 1) == QLatin1Char('%'))
                    ++i;
                else
                    ok = false;
            }
            plain += argument.at(i);
        }
        argument = plain;
    }
    return arguments;
}

ReadLauncher readLauncher(const QString& path)
{
    ReadLauncher launcher;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return launcher;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    bool inGroup = false;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals <= 0)
            continue;
        launcher.keys.insert(line.left(equals).trimmed(), unescape(line.mid(equals + 1).trimmed()));
    }
    launcher.exec = splitExec(launcher.keys.value(QStringLiteral("Exec")), launcher.ok);
    return launcher;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A name with every character the Exec rules care about, and Japanese.
const QString kAwkward = QStringLiteral("メモ 100% \"引用\" 'x' $HOME `id` back\\slash #1.txt");

} // namespace

class ShortcutTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        Run()
        {
            write(kAwkward, "memo");
            write(QStringLiteral("plain.txt"), "plain");
            start({browse.path()});
        }
        void select(const QString& name) const
        {
            app::FileListBox* list = window()->fileList();
            for (int i = 0; i < list->count(); ++i) {
                if (list->textAt(i) == name)
                    list->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
            }
            QCOMPARE(list->fileName(), name);
        }
        void trigger(const char* name) const
        {
            QAction* action = window()->menuAction(QString::fromLatin1(name));
            QVERIFY2(action && action->isEnabled(), name);
            action->trigger();
        }
        QString target(const QString& name) const
        {
            return browse.path() + QLatin1Char('/') + name;
        }
        QTemporaryDir out;
    };

    // Opens the dialog from the menu entry and runs the steps on it.
    static void inDialog(Run& run, const char* entry, const ModalSteps::Step& step)
    {
        ModalSteps steps;
        steps.then(QStringLiteral("Form8"), step);
        run.trigger(entry);
        QCOMPARE(steps.left(), 0);
        QCOMPARE(steps.wrong, 0);
    }

    static QString validatorOutput(const QString& file, int& status)
    {
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral("desktop-file-validate"), {file});
        validate.waitForFinished(30000);
        status = validate.exitStatus() == QProcess::NormalExit ? validate.exitCode() : -1;
        return QString::fromUtf8(validate.readAll());
    }

private Q_SLOTS:
    void execQuotingFollowsTheLauncherRules()
    {
        using platform::desktop::escapeValue;
        using platform::desktop::execArgument;
        using platform::desktop::execValue;
        QCOMPARE(execArgument(QStringLiteral("/usr/bin/plain")), QStringLiteral("/usr/bin/plain"));
        QCOMPARE(execArgument(QStringLiteral("/写真/海.jpg")), QStringLiteral("/写真/海.jpg"));
        QCOMPARE(execArgument(QStringLiteral("/a b")), QStringLiteral("\"/a b\""));
        QCOMPARE(execArgument(QStringLiteral("/100%")), QStringLiteral("/100%%"));
        QCOMPARE(execArgument(QStringLiteral("/a \"q\"")), QStringLiteral("\"/a \\\"q\\\"\""));
        QCOMPARE(execArgument(QStringLiteral("/$HOME")), QStringLiteral("\"/\\$HOME\""));
        QCOMPARE(execArgument(QStringLiteral("/`id`")), QStringLiteral("\"/\\`id\\`\""));
        QCOMPARE(execArgument(QStringLiteral("/it's")), QStringLiteral("\"/it's\""));
        QCOMPARE(execArgument(QString()), QStringLiteral("\"\""));
        // A backslash is doubled by the quoting and again by the string escaping.
        QCOMPARE(execValue({QStringLiteral("xdg-open"), QStringLiteral("/a\\b c")}),
                 QStringLiteral("xdg-open \"/a\\\\\\\\b c\""));
        QCOMPARE(execValue({QStringLiteral("/1$ %")}), QStringLiteral("\"/1\\\\$ %%\""));
        QCOMPARE(escapeValue(QStringLiteral(" lead and trail ")),
                 QStringLiteral("\\slead and trail\\s"));
        QCOMPARE(escapeValue(QStringLiteral("a\nb\tc\\d")), QStringLiteral("a\\nb\\tc\\\\d"));
    }

    void dialogOpensWithTheSelectedFileAndTheDesktop()
    {
        QTemporaryDir config;
        QFile dirs(config.path() + QStringLiteral("/user-dirs.dirs"));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write(
            "# written by a test\nXDG_DESKTOP_DIR=\"$HOME/\xE3\x83\x87\xE3\x82\xB9\xE3\x82\xAF"
            "\xE3\x83\x88\xE3\x83\x83\xE3\x83\x97\"\nXDG_MUSIC_DIR=\"$HOME/Music\"\n");
        dirs.close();
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString desktop = QDir::homePath() + QStringLiteral("/デスクトップ/");
        Run run;
        run.select(QStringLiteral("plain.txt"));
        for (const char* entry : {"shortcut", "pshortcut"}) {
            inDialog(run, entry, [&](QDialog* d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("ショートカットの作成"));
                QCOMPARE(child<QLineEdit>(d, "Text1")->text(), QString());
                QCOMPARE(child<QLineEdit>(d, "Text2")->text(),
                         run.target(QStringLiteral("plain.txt")));
                QCOMPARE(child<QLineEdit>(d, "Text3")->text(), QString());
                QCOMPARE(child<QLabel>(d, "Label5")->text(), desktop);
                QVERIFY(!child<QCheckBox>(d, "Check1")->isChecked());
                QCOMPARE(child<QCheckBox>(d, "Check1")->text(),
                         QStringLiteral("作業フォルダとリンクするフォルダ名を同じにする"));
                const QStringList captions{
                    child<QLabel>(d, "Label1")->text(), child<QLabel>(d, "Label2")->text(),
                    child<QLabel>(d, "Label3")->text(), child<QLabel>(d, "Label4")->text()};
                QCOMPARE(captions, (QStringList{QStringLiteral("作成するショートカット名"),
                                                QStringLiteral("リンクするファイル名"),
                                                QStringLiteral("作業フォルダ"),
                                                QStringLiteral("ショートカットを作成する場所")}));
                QCOMPARE(child<QPushButton>(d, "Command3")->text(), QStringLiteral("参照"));
                QCOMPARE(child<QPushButton>(d, "Command4")->text(), QStringLiteral("参照"));
                click(d, "Command2");
            });
        }
        // The same answer as the desktop's own tool, with the file and without it.
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-user-dir"));
        for (bool withFile : {true, false}) {
            if (!withFile)
                QVERIFY(QFile::remove(dirs.fileName()));
            const QString ours = platform::desktopFolder();
            QCOMPARE(ours,
                     withFile ? desktop.chopped(1) : QDir::homePath() + QStringLiteral("/Desktop"));
            if (!tool.isEmpty()) {
                QProcess process;
                process.start(tool, {QStringLiteral("DESKTOP")});
                QVERIFY(process.waitForFinished(10000));
                QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(), ours);
            }
        }
        if (saved.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", saved);
    }

    void awkwardPathMakesAFaithfulLauncher()
    {
        Run run;
        run.select(kAwkward);
        run.prompts.answerText(run.out.path()); // Command3, without a trailing separator
        inDialog(run, "pshortcut", [&](QDialog* d) {
            QCOMPARE(child<QLineEdit>(d, "Text2")->text(), run.target(kAwkward));
            click(d, "Command3");
            QCOMPARE(run.prompts.shown().last().kind, QStringLiteral("folder"));
            QCOMPARE(run.prompts.shown().last().text,
                     QStringLiteral("フォルダを選択してください。"));
            QCOMPARE(child<QLabel>(d, "Label5")->text(), run.out.path());
            child<QCheckBox>(d, "Check1")->click();
            QCOMPARE(child<QLineEdit>(d, "Text3")->text(), run.browse.path());
            typeInto(child<QLineEdit>(d, "Text1"), QStringLiteral("メモ 100% \"引用\""));
            click(d, "Command1");
            QCOMPARE(child<QLabel>(d, "Label5")->text(), run.out.path() + QLatin1Char('/'));
        });
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        const QString file = run.out.path() + QStringLiteral("/メモ 100% \"引用\".desktop");
        QVERIFY(QFileInfo(file).isFile());
        QVERIFY(QFileInfo(file).isExecutable());
        const ReadLauncher launcher = readLauncher(file);
        QVERIFY(launcher.ok);
        QCOMPARE(launcher.keys.value(QStringLiteral("Type")), QStringLiteral("Application"));
        QCOMPARE(launcher.keys.value(QStringLiteral("Name")), QStringLiteral("メモ 100% \"引用\""));
        QCOMPARE(launcher.exec, (QStringList{QStringLiteral("xdg-open"), run.target(kAwkward)}));
        QCOMPARE(launcher.keys.value(QStringLiteral("Path")), run.browse.path());
        // No temporary file is left beside it.
        QCOMPARE(QDir(run.out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void emptyOrPathLikeNamesWriteNothing()
    {
        Run run;
        run.select(QStringLiteral("plain.txt"));
        run.prompts.answerText(run.out.path());
        run.prompts.expectMessages(2);
        inDialog(run, "shortcut", [&](QDialog* d) {
            click(d, "Command3");
            click(d, "Command1");
            QVERIFY(d->isVisible());
            QCOMPARE(run.prompts.shown().last().text,
                     QStringLiteral("ショートカット名が入力されていません。"));
            typeInto(child<QLineEdit>(d, "Text1"), QStringLiteral("../outside"));
            click(d, "Command1");
            QVERIFY(d->isVisible());
            QCOMPARE(run.prompts.shown().last().text,
                     QStringLiteral("ショートカット名に「/」は使えません。"));
            click(d, "Command2");
        });
        QVERIFY(QDir(run.out.path()).isEmpty());
        QVERIFY(!QFileInfo::exists(run.out.path() + QStringLiteral("/../outside.desktop")));
    }

    void anExistingFileIsReplacedOnlyWhenTheUserSaysSo()
    {
        Run run;
        run.select(QStringLiteral("plain.txt"));
        const QString file = run.out.path() + QStringLiteral("/plain.desktop");
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("keep me");
        old.close();
        run.prompts.answerText(run.out.path());
        run.prompts.answerMessage(platform::Prompts::No);
        run.prompts.answerMessage(platform::Prompts::Yes);
        inDialog(run, "shortcut", [&](QDialog* d) {
            click(d, "Command3");
            typeInto(child<QLineEdit>(d, "Text1"), QStringLiteral("plain"));
            click(d, "Command1");
            QVERIFY(d->isVisible());
            QCOMPARE(contentOf(file), QByteArray("keep me"));
            const auto& box = run.prompts.shown().last();
            QVERIFY(box.text.startsWith(file));
            QCOMPARE(box.buttons, int(platform::Prompts::YesNo));
            click(d, "Command1");
        });
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        QCOMPARE(readLauncher(file).exec, (QStringList{QStringLiteral("xdg-open"),
                                                       run.target(QStringLiteral("plain.txt"))}));
        // Without the question the writer itself never replaces a file.
        QCOMPARE(platform::CreateShortCut(file, run.target(QStringLiteral("plain.txt")),
                                          QStringLiteral("title"), QString()),
                 0);
    }

    // The selected file was deleted after the dialog opened: the user is asked, "No" keeps the
    // dialog and writes nothing, "Yes" writes the launcher all the same.
    void missingTargetIsQuestioned()
    {
        Run run;
        run.select(QStringLiteral("plain.txt"));
        const QString target = run.target(QStringLiteral("plain.txt"));
        const QString file = run.out.path() + QStringLiteral("/gone.desktop");
        run.prompts.answerText(run.out.path());
        run.prompts.answerMessage(platform::Prompts::No);
        run.prompts.answerMessage(platform::Prompts::Yes);
        inDialog(run, "shortcut", [&](QDialog* d) {
            QCOMPARE(child<QLineEdit>(d, "Text2")->text(), target);
            QVERIFY(QFile::remove(target));
            click(d, "Command3");
            typeInto(child<QLineEdit>(d, "Text1"), QStringLiteral("gone"));
            click(d, "Command1");
            QVERIFY(d->isVisible());
            QVERIFY(QDir(run.out.path()).isEmpty());
            const auto& box = run.prompts.shown().last();
            QVERIFY2(box.text.contains(target), qPrintable(box.text));
            QCOMPARE(box.buttons, int(platform::Prompts::YesNo));
            click(d, "Command1");
        });
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        QCOMPARE(readLauncher(file).exec, (QStringList{QStringLiteral("xdg-open"), target}));
    }

    void targetIsPickedWithTheOpenDialog()
    {
        Run run;
        run.select(QStringLiteral("plain.txt"));
        run.prompts.answerText(QStringLiteral("/usr/share/doc/選ばれた.txt"));
        run.prompts.answerText(QString()); // cancelled: no change
        inDialog(run, "shortcut", [&](QDialog* d) {
            click(d, "Command4");
            QCOMPARE(run.prompts.shown().last().kind, QStringLiteral("open"));
            QCOMPARE(child<QLineEdit>(d, "Text2")->text(),
                     QStringLiteral("/usr/share/doc/選ばれた.txt"));
            click(d, "Command4");
            QCOMPARE(child<QLineEdit>(d, "Text2")->text(),
                     QStringLiteral("/usr/share/doc/選ばれた.txt"));
            child<QCheckBox>(d, "Check1")->click();
            QCOMPARE(child<QLineEdit>(d, "Text3")->text(), QStringLiteral("/usr/share/doc"));
            // Unchecking leaves the folder as it is.
            child<QCheckBox>(d, "Check1")->click();
            QCOMPARE(child<QLineEdit>(d, "Text3")->text(), QStringLiteral("/usr/share/doc"));
            click(d, "Command2");
        });
        using fileops::ShortcutDialog;
        QCOMPARE(ShortcutDialog::parentFolderName(QStringLiteral("/a/b/c.txt")),
                 QStringLiteral("/a/b"));
        QCOMPARE(ShortcutDialog::parentFolderName(QStringLiteral("/c.txt")), QStringLiteral("/"));
        QCOMPARE(ShortcutDialog::parentFolderName(QStringLiteral("/a/b/")), QStringLiteral("/a"));
        QCOMPARE(ShortcutDialog::parentFolderName(QStringLiteral("name")), QString());
    }

    void launchersOfEveryKindPassTheValidator()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
            QSKIP("desktop-file-validate is not installed (scripts/install-deps.sh installs it)");
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/作業 フォルダ");
        QVERIFY(QDir().mkpath(folder));
        const QString program = folder + QStringLiteral("/run me.sh");
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexit 0\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        const struct {
            QString name, target, workingFolder, command;
        } cases[] = {
            {QStringLiteral("document"), dir.path() + QLatin1Char('/') + kAwkward, folder,
             QStringLiteral("xdg-open")},
            {QStringLiteral(" 先頭の空白"), folder, QString(), QStringLiteral("xdg-open")},
            {QStringLiteral("プログラム"), program, folder, program},
        };
        for (const auto& c : cases) {
            const QString link = dir.path() + QLatin1Char('/') + c.name;
            QVERIFY(platform::CreateShortCut(link, c.target, QStringLiteral("title"),
                                             c.workingFolder) != 0);
            int status = 0;
            const QString output = validatorOutput(link + QStringLiteral(".desktop"), status);
            QVERIFY2(status == 0 && output.trimmed().isEmpty(), qPrintable(output));
            const ReadLauncher read = readLauncher(link + QStringLiteral(".desktop"));
            QVERIFY(read.ok);
            QCOMPARE(read.keys.value(QStringLiteral("Name")), c.name);
            QCOMPARE(read.exec.first(), c.command);
            QCOMPARE(read.exec.last(), c.target);
            QCOMPARE(read.keys.value(QStringLiteral("Path")), c.workingFolder);
        }
        QCOMPARE(readLauncher(dir.path() + QStringLiteral("/ 先頭の空白.desktop"))
                     .keys.value(QStringLiteral("Icon")),
                 QStringLiteral("folder"));
    }

    void glibStartsTheLauncherWithTheExactPath()
    {
        const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
        if (gio.isEmpty())
            QSKIP("the gio tool is not installed");
        QTemporaryDir dir;
        // A stand-in for the desktop's opener that writes down what it was given and where.
        const QString bin = dir.path() + QStringLiteral("/bin");
        QVERIFY(QDir().mkpath(bin));
        QFile opener(bin + QStringLiteral("/xdg-open"));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\n{ pwd; printf '%s\\n' \"$@\"; } > \"$RECORD.tmp\"\n"
                     "mv \"$RECORD.tmp\" \"$RECORD\"\n");
        opener.close();
        QVERIFY(opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner));
        const QString work = dir.path() + QStringLiteral("/作業 $HOME");
        QVERIFY(QDir().mkpath(work));
        const QString target = dir.path() + QLatin1Char('/') + kAwkward;
        QFile(target).open(QIODevice::WriteOnly);
        const QString link = dir.path() + QStringLiteral("/開く");
        QVERIFY(platform::CreateShortCut(link, target, QStringLiteral("title"), work) != 0);

        const QString record = dir.path() + QStringLiteral("/record");
        QProcess launch;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"),
                   bin + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("RECORD"), record);
        launch.setProcessEnvironment(env);
        launch.start(gio, {QStringLiteral("launch"), link + QStringLiteral(".desktop")});
        QVERIFY(launch.waitForFinished(30000));
        QCOMPARE(launch.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 10000);
        const QStringList lines =
            QString::fromUtf8(contentOf(record)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, (QStringList{work, target}));
    }

    void namesThatCannotStandInALauncherFail()
    {
        QTemporaryDir dir;
        const QString foreign =
            platform::fromNativePath(QFile::encodeName(dir.path()) + "/\x83\x65");
        QCOMPARE(platform::CreateShortCut(dir.path() + QStringLiteral("/a"), foreign,
                                          QStringLiteral("title"), QString()),
                 0);
        QCOMPARE(platform::CreateShortCut(dir.path() + QStringLiteral("/b"),
                                          QStringLiteral("/tmp/bell\a"), QStringLiteral("title"),
                                          QString()),
                 0);
        QVERIFY(QDir(dir.path()).isEmpty());
        // The trust mark is best effort: where the desktop keeps file metadata it is there.
        const QString link = dir.path() + QStringLiteral("/c");
        QVERIFY(platform::CreateShortCut(link, dir.path(), QStringLiteral("title"), QString()) !=
                0);
        if (platform::markLauncherTrusted(link + QStringLiteral(".desktop"))) {
            QProcess info;
            info.start(QStringLiteral("gio"),
                       {QStringLiteral("info"), QStringLiteral("-a"),
                        QStringLiteral("metadata::trusted"), link + QStringLiteral(".desktop")});
            QVERIFY(info.waitForFinished(10000));
            QVERIFY(info.readAllStandardOutput().contains("metadata::trusted: true"));
        }
    }
};

QTEST_MAIN(ShortcutTest)
#include "tst_shortcut.moc"
