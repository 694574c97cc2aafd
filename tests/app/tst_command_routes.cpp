// Every toolbar button and every routed menu entry reaches its command: one row per entry, each
// with what the command does first that a test double or a widget can see. Modal windows that a
// command opens are recorded and closed at once.
#include "GuiRun.h"
#include "ModalCloser.h"
#include "RecordingArchiverCall.h"

#include "about/AboutDialog.h"
#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "app/ToolbarButtons.h"
#include "archive/MemberCommands.h"
#include "editor/FindDialog.h"
#include "editor/PreviewSearch.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace
{
const QChar NUL(u'\0');
using platform::Shell;

struct Run : GuiRun {
    RecordingArchiverCall recorder;
    QString destination;

    Run()
    {
        archiver = &recorder;
        for (const char* name : {"a.txt", "b.txt"})
            write(QLatin1String(name), QByteArray("text of ") + name);
        write(QStringLiteral("x.lzh"), QByteArrayLiteral("not really an archive"));
        destination = browsed(QStringLiteral("dest"));
        QDir().mkpath(destination);
        start({browse.path()});
        select(QStringLiteral("b.txt"));
        shell.calls.clear();
    }
    app::MainWindow* w() const { return window(); }
    void select(const QString& name) const
    {
        app::FileListBox* list = w()->fileList();
        list->refresh();
        const int entry = list->rowShowing(name);
        QVERIFY2(entry >= 0, qPrintable(name));
        list->setCurrentRow(entry);
    }
    QString path(const char* name) const { return browsed(QLatin1String(name)); }
    // The one file operation the command sent.
    Shell::FileOperation operation() const
    {
        const auto ops = shell.callsOf(QStringLiteral("op"));
        if (ops.size() != 1) {
            QTest::qFail("not exactly one file operation", __FILE__, __LINE__);
            return {};
        }
        return ops.first().operation;
    }
    QString lastPrompt() const
    {
        return prompts.shown().isEmpty() ? QString() : prompts.shown().last().text;
    }
    // An LZH archive listed with one selected member, for the member commands.
    void listMember() const
    {
        select(QStringLiteral("x.lzh"));
        program->archiveWork()->members().listAs(path("x.lzh"), archive::Family::Lzh);
        QTreeWidget* list = w()->archiveList();
        list->clear();
        auto* item = new QTreeWidgetItem(list, {QStringLiteral("member.txt")});
        item->setSelected(true);
    }
    editor::FindDialog* findDialog() const { return program->previewSearch()->dialog(); }
};

struct Row {
    QByteArray entry; // "ButtonN" or a menu action's name
    std::function<void(Run&)> prepare;
    std::function<void(Run&, const ModalCloser&)> check;
    const char* tooltip = nullptr; // a toolbar button's
};

void nothing(Run&) {}

void nothingHappened(Run& run, const ModalCloser& modal)
{
    QVERIFY(run.shell.calls.isEmpty());
    QVERIFY(run.prompts.shown().isEmpty());
    QVERIFY(run.recorder.calls.isEmpty());
    QVERIFY(modal.seen.isEmpty());
    QVERIFY(!run.findDialog());
    QVERIFY(!QFileInfo::exists(run.printedPdf()));
    QVERIFY(!run.program->isAboutLoaded() || !run.program->about()->isVisible());
}

void setDestination(Run& run)
{
    run.w()->destinationBox()->setText(run.destination);
}

auto fileOperation(Shell::Operation kind, const char* file)
{
    return [kind, file](Run& run, const ModalCloser&) {
        const Shell::FileOperation op = run.operation();
        QCOMPARE(int(op.operation), int(kind));
        QCOMPARE(op.from, (file ? run.path(file) : run.browse.path()) + NUL);
    };
}

auto modalWindow(const char* name)
{
    return [name](Run&, const ModalCloser& modal) {
        QCOMPARE(modal.seen, QStringList{QLatin1String(name)});
    };
}

// A window that is not modal, shown by the command.
auto windowShown(const char* name)
{
    return [name](Run&, const ModalCloser& modal) {
        QVERIFY(modal.seen.isEmpty());
        QWidget* shown = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String(name) && top->isVisible())
                shown = top;
        }
        QVERIFY2(shown, name);
        QVERIFY(!shown->isModal());
    };
}

auto shellCall(const char* kind, const char* file)
{
    return [kind, file](Run& run, const ModalCloser&) {
        const auto calls = run.shell.callsOf(QLatin1String(kind));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().path, file ? run.path(file) : run.browse.path());
    };
}

auto prompted(const char* kind, const QString& text)
{
    return [kind, text](Run& run, const ModalCloser&) {
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().kind, QLatin1String(kind));
        QCOMPARE(run.prompts.shown().first().text, text);
    };
}

void newFileListed(Run& run, const ModalCloser&)
{
    QVERIFY(run.w()->fileList()->rowShowing(QStringLiteral("new.txt")) >= 0);
}

void writeNewFile(Run& run)
{
    run.write(QStringLiteral("new.txt"), "new");
    QVERIFY(run.w()->fileList()->rowShowing(QStringLiteral("new.txt")) < 0);
}

void findDialogShown(Run& run, const ModalCloser&)
{
    QVERIFY(run.findDialog() && run.findDialog()->isVisible());
    QVERIFY(run.findDialog()->directionButton(1)->isChecked());
}

void answerFolder(Run& run)
{
    run.prompts.answerText(run.destination);
}

void answerCancel(Run& run)
{
    run.prompts.answerText(QString());
}

void enableAndPickArchive(Run& run)
{
    run.select(QStringLiteral("x.lzh"));
    // The entries are enabled by an archive's listing; the route is what is tested here.
    run.w()->menuAction(QStringLiteral("kaitou"))->setEnabled(true);
    run.w()->menuAction(QStringLiteral("kaitoup"))->setEnabled(true);
}

// What each toolbar command does first, and the tooltip of its button.
struct ToolbarExpectation {
    app::ToolbarCommand command;
    const char* tooltip;
    std::function<void(Run&)> prepare;
    std::function<void(Run&, const ModalCloser&)> check;
};

const QList<ToolbarExpectation>& toolbarExpectations()
{
    using C = app::ToolbarCommand;
    static const QList<ToolbarExpectation> expectations = {
        {C::DeleteFiles, "削除", nothing, fileOperation(Shell::Delete, "b.txt")},
        {C::CopyFullPath, "", nothing,
         [](Run& run, const ModalCloser&) { QCOMPARE(run.shell.clipboard, run.path("b.txt")); }},
        {C::CopyToDestination, "ファイルをコピー", setDestination,
         fileOperation(Shell::Copy, "b.txt")},
        {C::MoveFiles, "ファイルの移動", setDestination, fileOperation(Shell::Move, "b.txt")},
        {C::FavouriteDrive, "よく使うドライブを指定",
         [](Run& run) {
             run.w()->setFavouriteDrive(QStringLiteral("/no/such/drive"));
             run.prompts.expectMessages(1);
         },
         prompted("message", QStringLiteral("ドライブの指定が不正です。"))},
        {C::FavouriteFolders, "よく使うフォルダを指定", nothing,
         [](Run& run, const ModalCloser&) {
             QTRY_VERIFY(run.w()->favouriteMenu()->isVisible());
             run.w()->favouriteMenu()->hide();
         }},
        {C::Settings, "設定", nothing, modalWindow("GeneralSettings")},
        {C::SaveText, "テキストファイルを上書き保存",
         [](Run& run) { run.prompts.expectMessages(1); },
         [](Run& run, const ModalCloser& modal) {
             prompted("message", run.path("b.txt") +
                                     QStringLiteral("に上書き保存します。よろしいですか？"))(run,
                                                                                             modal);
         }},
        {C::SaveTextAs, "テキストファイルを名前を付けて保存", answerCancel,
         [](Run& run, const ModalCloser&) {
             QCOMPARE(run.prompts.shown().size(), 1);
             QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("save"));
         }},
        {C::Print, "印刷", nothing,
         [](Run& run, const ModalCloser&) {
             // Printed on a worker: the file is there once the print has ended.
             QTRY_VERIFY(QFileInfo(run.printedPdf()).size() > 0);
         }},
        {C::Refresh, "最新の情報に更新", writeNewFile, newFileListed},
        {C::Back, "一つ前のフォルダに戻る",
         [](Run& run) { QVERIFY(run.w()->folderTree()->setPath(QDir::tempPath())); },
         [](Run& run, const ModalCloser&) {
             QCOMPARE(run.w()->folderTree()->path(), run.browse.path());
         }},
        {C::FindText, "テキストファイルの検索", nothing, findDialogShown},
        {C::TextEditor, "簡易テキストエディタの起動", nothing, windowShown("Form14")},
        {C::About, "ヘルプ・このソフトについて", nothing,
         [](Run& run, const ModalCloser& modal) {
             QVERIFY(modal.seen.isEmpty());
             QVERIFY(run.program->about()->isVisible());
             QVERIFY(!run.program->about()->isModal());
         }},
    };
    return expectations;
}

// The toolbar, walked through the program's own table: button N is its Nth entry, separators
// counted, and a separator does nothing.
QList<Row> toolbarRows()
{
    QList<Row> rows;
    int number = 0;
    for (const app::ToolbarButton& button : app::toolbarButtons()) {
        const QByteArray entry = "Button" + QByteArray::number(++number);
        if (button.command == app::ToolbarCommand::None) {
            rows.append({entry, nothing, nothingHappened});
            continue;
        }
        const auto& expected = toolbarExpectations();
        const auto e = std::find_if(expected.begin(), expected.end(),
                                    [&](const auto& x) { return x.command == button.command; });
        if (e == expected.end())
            rows.append({entry, nothing, [](Run&, const ModalCloser&) {
                             QFAIL("a toolbar command without an expectation");
                         }});
        else
            rows.append({entry, e->prepare, e->check, e->tooltip});
    }
    return rows;
}

// The menus and the popup menus.
QList<Row> menuRows()
{
    return {
        {"end", nothing, [](Run& run, const ModalCloser&) { QVERIFY(run.program->isShutDown()); }},
        {"settei", nothing, modalWindow("GeneralSettings")},
        {"help", nothing, modalWindow("AboutDialog")},
        {"saisin", writeNewFile, newFileListed},
        {"net",
         [](Run& run) {
             // Shown once the network option is confirmed in the settings.
             auto* general = run.program->forms()->general();
             general->findChild<QCheckBox*>(QStringLiteral("Check4"))->setChecked(true);
             general->findChild<QPushButton*>(QStringLiteral("Command9"))->click();
             QVERIFY(run.w()->menuAction(QStringLiteral("net"))->isVisible());
             run.prompts.answerText(QDir::tempPath());
         },
         [](Run& run, const ModalCloser& modal) {
             prompted("folder", QStringLiteral("ネットワークドライブを選択してください。"))(run,
                                                                                            modal);
             QCOMPARE(run.w()->folderTree()->path(), QDir::tempPath());
         }},
        {"copy2", setDestination, fileOperation(Shell::Copy, "b.txt")},
        {"sakicopy", nothing,
         [](Run& run, const ModalCloser&) {
             QVERIFY(run.w()->destinationBox()->text().startsWith(run.browse.path()));
         }},
        {"idou2", setDestination, fileOperation(Shell::Move, "b.txt")},
        {"midou", setDestination, fileOperation(Shell::Move, "b.txt")},
        {"sakujyo", nothing, fileOperation(Shell::Delete, "b.txt")},
        {"msakujyo", nothing, fileOperation(Shell::Delete, "b.txt")},
        {"fsakujyo", nothing, fileOperation(Shell::Delete, nullptr)},
        {"mfolder", nothing, fileOperation(Shell::Delete, nullptr)},
        {"fcopy", answerFolder,
         [](Run& run, const ModalCloser& modal) {
             prompted("folder", QStringLiteral("コピー先を選択してください。"))(run, modal);
             fileOperation(Shell::Copy, nullptr)(run, modal);
         }},
        {"fidou", answerFolder,
         [](Run& run, const ModalCloser& modal) {
             prompted("folder", QStringLiteral("移動先を選択してください。"))(run, modal);
             fileOperation(Shell::Move, nullptr)(run, modal);
         }},
        {"fhenkou", answerCancel,
         [](Run& run, const ModalCloser& modal) {
             prompted("input", QStringLiteral("現在のフォルダ名：") + run.browse.path())(run,
                                                                                         modal);
         }},
        {"mclip", nothing,
         [](Run& run, const ModalCloser&) { QCOMPARE(run.shell.clipboard, run.path("b.txt")); }},
        {"memo", nothing, shellCall("editor:text", "b.txt")},
        {"paint", nothing, shellCall("editor:image", "b.txt")},
        {"puro", nothing, shellCall("properties", "b.txt")},
        {"fpuro2", nothing, shellCall("properties", "b.txt")},
        {"fpuro", nothing, shellCall("properties", nullptr)},
        {"fopuro", nothing, shellCall("properties", nullptr)},
        // Archives.
        {"kaitou", enableAndPickArchive, modalWindow("Form5")},
        {"kaitoup", enableAndPickArchive, modalWindow("Form5")},
        {"senkaitou", answerCancel,
         prompted("folder", QStringLiteral("解凍先ﾌｫﾙﾀﾞを選択してください。"))},
        {"tuika", answerCancel,
         [](Run& run, const ModalCloser&) {
             QCOMPARE(run.prompts.shown().size(), 1);
             QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("open"));
         }},
        {"assyukuhenkou", [](Run& run) { run.listMember(); },
         [](Run& run, const ModalCloser&) {
             const QStringList lines = run.recorder.commandLines(archive::Family::Lzh);
             QCOMPARE(lines.size(), 1);
             QVERIFY2(lines.first().contains(QStringLiteral("member.txt")),
                      qPrintable(lines.first()));
         }},
        {"syosaku", [](Run& run) { run.listMember(); },
         [](Run& run, const ModalCloser&) {
             const QStringList lines = run.recorder.commandLines(archive::Family::Lzh);
             QCOMPARE(lines.size(), 1);
             QVERIFY2(lines.first().contains(QStringLiteral("member.txt")),
                      qPrintable(lines.first()));
         }},
        {"exnakami", [](Run& run) { run.select(QStringLiteral("a.txt")); },
         [](Run& run, const ModalCloser&) {
             QVERIFY(!run.w()->archiveList()->isHidden());
             QCOMPARE(run.program->archiveWork()->members().archive().path, run.path("a.txt"));
         }},
        // Dialogs of their own.
        {"henkou", nothing, modalWindow("Form10")},
        {"sinki", nothing, modalWindow("Form11")},
        {"shortcut", nothing, modalWindow("Form8")},
        {"pshortcut", nothing, modalWindow("Form8")},
        {"tsakusei", nothing, windowShown("Form14")},
        {"find", nothing, windowShown("FileSearch")},
        {"assyuku", nothing, windowShown("Form7")},
        {"jidou", answerCancel,
         [](Run& run, const ModalCloser&) {
             QCOMPARE(run.prompts.shown().size(), 1);
             QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("open"));
             QCOMPARE(run.prompts.shown().first().title, QStringLiteral("元になるファイル"));
         }},
        // Search in the previewed text.
        {"tkensaku", nothing, findDialogShown},
        {"tuken", nothing, findDialogShown},
    };
}

const QList<Row>& rows()
{
    static const QList<Row> table = toolbarRows() + menuRows();
    return table;
}
} // namespace

class CommandRoutesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyEntry_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < rows().size(); ++i)
            QTest::newRow(rows().at(i).entry.constData()) << i;
    }

    void everyEntry()
    {
        QFETCH(int, row);
        const Row& r = rows().at(row);
        Run run;
        r.prepare(run);
        const QString entry = QLatin1String(r.entry);
        auto* action = run.w()->findChild<QAction*>(entry);
        QVERIFY2(action, r.entry.constData());
        ModalCloser modal;
        if (entry.startsWith(QLatin1String("Button"))) {
            if (action->isSeparator()) // a separator's number reaches no command either
                Q_EMIT run.w()->toolbarButtonClicked(entry.mid(6).toInt());
            else
                QCOMPARE(action->toolTip(), QString::fromUtf8(r.tooltip));
        } else {
            QVERIFY2(action->isEnabled(), r.entry.constData());
        }
        action->trigger();
        r.check(run, modal);
    }

    // The toolbar's buttons in the order of the program's table, separators numbered too, with
    // the tooltips expected of their commands.
    void toolbarLayout()
    {
        GuiRun run;
        run.start();
        auto* toolbar = run.window()->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        QVERIFY(toolbar);
        const QList<QAction*> actions = toolbar->actions();
        const auto buttons = app::toolbarButtons();
        QCOMPARE(actions.size(), qsizetype(buttons.size()));
        for (int i = 0; i < actions.size(); ++i) {
            const QAction* action = actions.at(i);
            QCOMPARE(action->objectName(), QStringLiteral("Button") + QString::number(i + 1));
            const bool separator = buttons[i].command == app::ToolbarCommand::None;
            QCOMPARE(action->isSeparator(), separator);
            if (separator)
                continue;
            const auto& expected = toolbarExpectations();
            const auto e = std::find_if(expected.begin(), expected.end(), [&](const auto& x) {
                return x.command == buttons[i].command;
            });
            QVERIFY(e != expected.end());
            QCOMPARE(action->toolTip(), QString::fromUtf8(e->tooltip));
        }
    }

    // Every command of the toolbar has one button, and every expectation is of a button.
    void tableCoversTheToolbar()
    {
        for (const ToolbarExpectation& e : toolbarExpectations()) {
            const auto buttons = app::toolbarButtons();
            QCOMPARE(std::count_if(buttons.begin(), buttons.end(),
                                   [&](const auto& b) { return b.command == e.command; }),
                     1);
        }
        QStringList entries;
        for (const Row& r : rows())
            entries << QLatin1String(r.entry);
        QCOMPARE(entries.removeDuplicates(), 0);
    }
};

QTEST_MAIN(CommandRoutesTest)
#include "tst_command_routes.moc"
