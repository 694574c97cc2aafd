// The rename and new-folder dialogs on the real main window: opened from their menu entries,
// typed into and answered as a user would, with the file system as the judge.
#include "GuiRun.h"
#include "ModalSteps.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "base/NativePath.h"
#include "base/Paths.h"
#include "fileops/NameRules.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

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

// Replaces the name box's text by typing, as a user does after the preselected text.
void typeName(QDialog* dialog, const QString& text)
{
    QLineEdit* box = child<QLineEdit>(dialog, "Text1");
    QVERIFY(box);
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    typeInto(box, text);
    QCOMPARE(box->text(), text);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
} // namespace

class NameDialogsTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        explicit Run(const QStringList& files)
        {
            for (const QString& name : files)
                write(name, name.toUtf8());
            start({browse.path()});
        }
        void select(const QString& shown) const
        {
            app::FileListBox* list = window()->fileList();
            list->clearSelection();
            for (int i = 0; i < list->count(); ++i) {
                if (list->textAt(i) == shown) {
                    list->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
                    return;
                }
            }
            QFAIL(qPrintable(QStringLiteral("not listed: ") + shown));
        }
        void trigger(const char* name) const
        {
            QAction* action = window()->menuAction(QString::fromLatin1(name));
            QVERIFY2(action && action->isEnabled(), name);
            action->trigger();
        }
        QString folder() const { return browse.path() + QLatin1Char('/'); }
        QStringList listed() const { return window()->fileList()->names(); }
    };

    // Renames one file through the dialog: checks how it opened, types the new name, sets the
    // box and clicks OK.
    static void rename(Run& run, const QString& from, const QString& to, bool keep)
    {
        run.select(from);
        ModalSteps steps;
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("ファイル名の変更"));
            QCOMPARE(child<QLabel>(d, "Label1")->text(), run.folder() + from);
            QCOMPARE(child<QLabel>(d, "Label2")->text(), QStringLiteral("に変更します"));
            QLineEdit* name = child<QLineEdit>(d, "Text1");
            QCOMPARE(name->text(), from);
            QCOMPARE(name->selectedText(), from);
            QCOMPARE(name->selectionStart(), 0);
            QCheckBox* check = child<QCheckBox>(d, "Check1");
            QCOMPARE(check->text(), QStringLiteral("元の拡張子を自動的につける"));
            QVERIFY(!check->isChecked());
            QCOMPARE(child<QLineEdit>(d, "Text2")->text(), run.folder() + from);
            QCOMPARE(child<QPushButton>(d, "Command1")->text(), QStringLiteral("OK"));
            QCOMPARE(child<QPushButton>(d, "Command2")->text(), QStringLiteral("キャンセル"));
            typeName(d, to);
            check->setChecked(keep);
            click(d, "Command1");
        });
        run.trigger("henkou");
        QCOMPARE(steps.left(), 0);
        QCOMPARE(steps.wrong, 0);
    }

private Q_SLOTS:
    void extensionIsTakenFromTheLastDot_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("to");
        auto row = [](const char* tag, const char16_t* from, const char16_t* typed, bool keep,
                      const char16_t* to) {
            QTest::newRow(tag) << QString::fromUtf16(from) << QString::fromUtf16(typed) << keep
                               << QString::fromUtf16(to);
        };
        row("four letters", u"a.jpeg", u"b", true, u"b.jpeg");
        row("html upper case", u"index.HTML", u"top", true, u"top.html");
        row("three letters", u"memo.txt", u"note", true, u"note.txt");
        row("box unchecked", u"memo.txt", u"note", false, u"note");
        row("no extension", u"README", u"readme2", true, u"readme2");
        row("two dots", u"backup.tar.gz", u"old", true, u"old.gz");
        row("japanese", u"写真.jpeg", u"海の写真", true, u"海の写真.jpeg");
        row("one-letter extension", u"prog.c", u"main", true, u"main.c");
    }
    void extensionIsTakenFromTheLastDot()
    {
        QFETCH(QString, from);
        QFETCH(QString, typed);
        QFETCH(bool, keep);
        QFETCH(QString, to);
        Run run({from, QStringLiteral("other.txt")});
        rename(run, from, typed, keep);
        QVERIFY(!QFileInfo::exists(run.folder() + from));
        QCOMPARE(contentOf(run.folder() + to), from.toUtf8());
        // The file list was read again at once.
        QVERIFY(run.listed().contains(to));
        QVERIFY(!run.listed().contains(from));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void emptyNameKeepsTheDialogOpen()
    {
        Run run({QStringLiteral("a.txt")});
        run.select(QStringLiteral("a.txt"));
        run.prompts.expectMessages(1);
        ModalSteps steps;
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) {
            typeName(d, QString());
            child<QCheckBox>(d, "Check1")->setChecked(true);
            click(d, "Command1");
            QVERIFY(d->isVisible());
            QCOMPARE(run.prompts.shown().size(), 1);
            QCOMPARE(run.prompts.shown().at(0).text,
                     QStringLiteral("ファイル名が入力されていません。"));
            QCOMPARE(run.prompts.shown().at(0).icon, 0);
            QCOMPARE(run.prompts.shown().at(0).buttons, 0);
            click(d, "Command2");
        });
        run.trigger("henkou");
        QCOMPARE(steps.left(), 0);
        QCOMPARE(QDir(run.browse.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("a.txt")});
    }

    void existingNameIsNeverReplacedAndTheDialogComesBack_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("typed");
        QTest::newRow("box checked") << true << QStringLiteral("b");
        QTest::newRow("box unchecked") << false << QStringLiteral("b.txt");
    }
    void existingNameIsNeverReplacedAndTheDialogComesBack()
    {
        QFETCH(bool, keep);
        QFETCH(QString, typed);
        Run run({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        run.select(QStringLiteral("a.txt"));
        run.prompts.expectMessages(1);
        ModalSteps steps;
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) {
            typeName(d, typed);
            child<QCheckBox>(d, "Check1")->setChecked(keep);
            click(d, "Command1");
        });
        // Opened afresh, with the first contents.
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) {
            QCOMPARE(run.prompts.shown().size(), 1);
            QCOMPARE(run.prompts.shown().at(0).text,
                     QStringLiteral("同名のファイルが存在しています。"));
            QCOMPARE(child<QLineEdit>(d, "Text1")->text(), QStringLiteral("a.txt"));
            QCOMPARE(child<QLineEdit>(d, "Text1")->selectedText(), QStringLiteral("a.txt"));
            QVERIFY(!child<QCheckBox>(d, "Check1")->isChecked());
            QCOMPARE(child<QLabel>(d, "Label1")->text(), run.folder() + QStringLiteral("a.txt"));
            click(d, "Command2");
        });
        run.trigger("henkou");
        QCOMPARE(steps.left(), 0);
        QCOMPARE(steps.seen, (QStringList{QStringLiteral("Form10"), QStringLiteral("Form10")}));
        QCOMPARE(contentOf(run.folder() + QStringLiteral("a.txt")), QByteArray("a.txt"));
        QCOMPARE(contentOf(run.folder() + QStringLiteral("b.txt")), QByteArray("b.txt"));
    }

    void namesThatLeaveTheFolderAreRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("parent") << QStringLiteral("../escaped.txt");
        QTest::newRow("into a folder") << QStringLiteral("sub/inside.txt");
        QTest::newRow("dot dot") << QStringLiteral("..");
        QTest::newRow("dot") << QStringLiteral(".");
    }
    void namesThatLeaveTheFolderAreRefused()
    {
        QFETCH(QString, typed);
        Run run({QStringLiteral("a.txt")});
        QVERIFY(QDir(run.browse.path()).mkdir(QStringLiteral("sub")));
        run.select(QStringLiteral("a.txt"));
        run.prompts.expectMessages(1);
        ModalSteps steps;
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) {
            typeName(d, typed);
            click(d, "Command1");
        });
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) { click(d, "Command2"); });
        run.trigger("henkou");
        QCOMPARE(steps.left(), 0);
        QCOMPARE(run.prompts.shown().size(), 1);
        QVERIFY(run.prompts.shown().at(0).text.startsWith(
            QStringLiteral("このファイル名は使えません。")));
        QCOMPARE(contentOf(run.folder() + QStringLiteral("a.txt")), QByteArray("a.txt"));
        QVERIFY(!QFileInfo::exists(run.folder() + QStringLiteral("../escaped.txt")));
        QVERIFY(QDir(run.folder() + QStringLiteral("sub")).isEmpty());
    }

    void enterInTheNameBoxRenamesOnce()
    {
        Run run({QStringLiteral("a.txt")});
        run.select(QStringLiteral("a.txt"));
        ModalSteps steps;
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) {
            typeName(d, QStringLiteral("c"));
            child<QCheckBox>(d, "Check1")->setChecked(true);
            QTest::keyClick(child<QLineEdit>(d, "Text1"), Qt::Key_Return);
        });
        run.trigger("henkou");
        QCOMPARE(steps.left(), 0);
        // A second OK would have found c.txt.txt missing the source and said so.
        QCOMPARE(QDir(run.browse.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("c.txt")});
        QCOMPARE(run.prompts.shown().size(), 0);
    }

    void nameThatIsNotUtf8CanBeRenamed()
    {
        Run run({});
        // "テスト.txt" in Shift-JIS, as an old disc gives it.
        const QByteArray raw =
            QFile::encodeName(run.browse.path()) + "/\x83\x65\x83\x58\x83\x67.txt";
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "sjis", 4), ssize_t(4));
        ::close(fd);
        run.window()->fileList()->refresh();
        const QString real = platform::fromNativePath(raw);
        run.select(platform::displayName(platform::namePart(real)));
        ModalSteps steps;
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) {
            QCOMPARE(child<QLabel>(d, "Label1")->text(), platform::displayPath(real));
            QCOMPARE(child<QLineEdit>(d, "Text1")->text(), QStringLiteral("テスト.txt"));
            click(d, "Command1");
        });
        run.trigger("henkou");
        QCOMPARE(steps.left(), 0);
        QCOMPARE(run.prompts.shown().size(), 0);
        QCOMPARE(contentOf(run.folder() + QStringLiteral("テスト.txt")), QByteArray("sjis"));
        QCOMPARE(::access(raw.constData(), F_OK), -1);
    }

    void renameWithoutASelectionSaysSo()
    {
        Run run({QStringLiteral("a.txt")});
        run.window()->fileList()->setCurrentRow(-1);
        run.prompts.expectMessages(1);
        ModalSteps steps;
        run.trigger("henkou");
        QCOMPARE(steps.seen, QStringList());
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().at(0).text,
                 QStringLiteral("名前を変更するファイルを選択してください。"));
        QCOMPARE(QDir(run.browse.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("a.txt")});
    }

    void newFolderIsMadeInTheCurrentFolder()
    {
        Run run({});
        ModalSteps steps;
        steps.then(QStringLiteral("Form11"), [&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("新規フォルダの作成"));
            QCOMPARE(child<QLabel>(d, "Label1")->text(), run.folder());
            QCOMPARE(child<QLabel>(d, "Label2")->text(), QStringLiteral("を作ります"));
            QLineEdit* name = child<QLineEdit>(d, "Text1");
            QCOMPARE(name->text(), QStringLiteral("新しいフォルダ"));
            QCOMPARE(name->selectedText(), QStringLiteral("新しいフォルダ"));
            QCOMPARE(child<QPushButton>(d, "Command1")->text(), QStringLiteral("ＯＫ"));
            QCOMPARE(child<QPushButton>(d, "Command2")->text(), QStringLiteral("キャンセル"));
            QTest::keyClick(name, Qt::Key_Return);
        });
        run.trigger("sinki");
        QCOMPARE(steps.left(), 0);
        QVERIFY(QFileInfo(run.folder() + QStringLiteral("新しいフォルダ")).isDir());
        // One Enter made it once: a second OK would have met the folder and said so.
        QCOMPARE(run.prompts.shown().size(), 0);
    }

    void newFolderThatExistsKeepsTheDialogOpen()
    {
        Run run({});
        QVERIFY(QDir(run.browse.path()).mkdir(QStringLiteral("新しいフォルダ")));
        QVERIFY(QDir(run.browse.path()).mkdir(QStringLiteral("a")));
        run.prompts.expectMessages(2);
        ModalSteps steps;
        steps.then(QStringLiteral("Form11"), [&](QDialog* d) {
            // Enter says it once: the name box, not also a default button.
            QTest::keyClick(child<QLineEdit>(d, "Text1"), Qt::Key_Return);
            QVERIFY(d->isVisible());
            QCOMPARE(child<QLineEdit>(d, "Text1")->text(), QStringLiteral("新しいフォルダ"));
            // Two levels at once are refused like a bad name.
            typeName(d, QStringLiteral("a/b"));
            click(d, "Command1");
            QVERIFY(d->isVisible());
            QCOMPARE(child<QLineEdit>(d, "Text1")->text(), QStringLiteral("a/b"));
            typeName(d, QStringLiteral("作業"));
            click(d, "Command1");
        });
        run.trigger("sinki");
        QCOMPARE(steps.left(), 0);
        QCOMPARE(run.prompts.shown().size(), 2);
        for (const auto& box : run.prompts.shown())
            QCOMPARE(box.text,
                     QStringLiteral(
                         "エラー。指定したフォルダがすでに存在するか、フォルダ名が不適切です。"));
        QVERIFY(!QFileInfo::exists(run.folder() + QStringLiteral("a/b")));
        QVERIFY(QFileInfo(run.folder() + QStringLiteral("作業")).isDir());
    }

    void newFolderCancelMakesNothing()
    {
        Run run({});
        ModalSteps steps;
        steps.then(QStringLiteral("Form11"), [&](QDialog* d) { click(d, "Command2"); });
        run.trigger("sinki");
        QCOMPARE(steps.left(), 0);
        QVERIFY(QDir(run.browse.path()).isEmpty());
    }

    void newFolderInTheRootHasOneSeparator()
    {
        Run run({});
        QVERIFY(run.window()->folderTree()->setPath(QStringLiteral("/")));
        ModalSteps steps;
        steps.then(QStringLiteral("Form11"), [&](QDialog* d) {
            QCOMPARE(child<QLabel>(d, "Label1")->text(), QStringLiteral("/"));
            click(d, "Command2");
        });
        run.trigger("sinki");
        QCOMPARE(steps.left(), 0);
    }

    // Names pasted into the box: a line break is refused like a separator; a name longer than
    // the file system allows is reported with the system's reason. Either way the dialog comes
    // back and the file keeps its name.
    void hostileNamesLeaveTheFileAlone_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("message");
        const QString unusable = QStringLiteral("このファイル名は使えません。");
        QTest::newRow("line break") << QStringLiteral("a\nb.txt") << unusable;
        QTest::newRow("carriage return") << QStringLiteral("a\r.txt") << unusable;
        QTest::newRow("tab") << QStringLiteral("a\tb.txt") << unusable;
        QTest::newRow("300 bytes")
            << QString(100, QChar(u'名')) << QStringLiteral("ファイル名を変更できませんでした。");
    }
    void hostileNamesLeaveTheFileAlone()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, message);
        Run run({QStringLiteral("a.txt")});
        run.select(QStringLiteral("a.txt"));
        run.prompts.expectMessages(1);
        ModalSteps steps;
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) {
            QLineEdit* box = child<QLineEdit>(d, "Text1");
            box->selectAll();
            box->insert(pasted);
            QCOMPARE(box->text(), pasted);
            click(d, "Command1");
        });
        steps.then(QStringLiteral("Form10"), [&](QDialog* d) { click(d, "Command2"); });
        run.trigger("henkou");
        QCOMPARE(steps.left(), 0);
        QCOMPARE(run.prompts.shown().size(), 1);
        QVERIFY2(run.prompts.shown().at(0).text.startsWith(message),
                 qPrintable(run.prompts.shown().at(0).text));
        QCOMPARE(QDir(run.browse.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("a.txt")});
        QCOMPARE(contentOf(run.folder() + QStringLiteral("a.txt")), QByteArray("a.txt"));
    }

    void nameRules()
    {
        using fileops::isPlainName;
        using fileops::keptExtension;
        QVERIFY(isPlainName(QStringLiteral("a b.txt")));
        QVERIFY(isPlainName(QStringLiteral("...")));
        QVERIFY(!isPlainName(QString()));
        QVERIFY(!isPlainName(QStringLiteral("a/b")));
        QVERIFY(!isPlainName(QStringLiteral("a") + QChar(u'\0')));
        QCOMPARE(keptExtension(QStringLiteral("/x.y/file")), QString());
        QCOMPARE(keptExtension(QStringLiteral("/x/file.")), QString());
        QCOMPARE(keptExtension(QStringLiteral("/x/.profile")), QString());
        QCOMPARE(keptExtension(QStringLiteral("/x/page.Html")), QStringLiteral(".html"));
        QCOMPARE(keptExtension(QStringLiteral("/x/photo.JPG")), QStringLiteral(".JPG"));
    }
};

QTEST_MAIN(NameDialogsTest)
#include "tst_name_dialogs.moc"
