// Every control of every window a user can meet is reachable by a screen reader: the
// accessibility tree of each window (the main window with a text and with an archive in its
// preview, the settings dialogs, rename, new folder, shortcut, compression, extraction, find,
// about, the file-search window and the editor) holds no visible control that can take the focus
// or be pressed without a name, and none without a role.
#include "../fileops/ModalSteps.h"
#include "GuiRun.h"

#include "about/AboutDialog.h"
#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "archive/CompressDialog.h"
#include "archive/MemberListing.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/PreviewSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

namespace
{
// The controls a user works with: whatever takes the focus, and every kind of button (the
// toolbar's take no focus but are pressed all the same).
bool isControl(QAccessibleInterface* face)
{
    switch (face->role()) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
        return true;
    default:
        return face->state().focusable;
    }
}

// "objectName (class)" of every visible control in the window's tree without a name or a role.
void collectUnnamed(QAccessibleInterface* face, QStringList& found, int depth = 0)
{
    if (!face || !face->isValid() || depth > 40)
        return;
    auto* widget = qobject_cast<QWidget*>(face->object());
    if (widget && !widget->isVisible())
        return;
    if (widget && isControl(face)) {
        const QString what = widget->objectName() + QStringLiteral(" (") +
                             QString::fromLatin1(widget->metaObject()->className()) +
                             QStringLiteral(")");
        if (face->text(QAccessible::Name).trimmed().isEmpty())
            found << what + QStringLiteral(" has no name");
        if (face->role() == QAccessible::NoRole || face->role() == QAccessible::Client)
            found << what + QStringLiteral(" has no role");
    }
    // Rows and cells of views are their items, named by what they hold; the walk stays with
    // widgets.
    if (!widget && face->object() == nullptr)
        return;
    for (int i = 0; i < face->childCount(); ++i)
        collectUnnamed(face->child(i), found, depth + 1);
}

QStringList unnamedIn(QWidget* window)
{
    QStringList found;
    collectUnnamed(QAccessible::queryAccessibleInterface(window), found);
    for (QString& entry : found)
        entry.prepend(window->objectName() + QStringLiteral(": "));
    return found;
}

struct Run : GuiRun {
    Run()
    {
        const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
        QFile::copy(bin + QStringLiteral("/libunlha32.so"),
                    folder.path() + QStringLiteral("/libunlha32.so"));
        write(QStringLiteral("メモ.txt"), "テキストの中身\n");
        QProcess jlha;
        jlha.setWorkingDirectory(browse.path());
        jlha.start(QStringLiteral("jlha"),
                   {QStringLiteral("c2"), QStringLiteral("書庫.lzh"), QStringLiteral("メモ.txt")});
        jlha.waitForFinished(60000);
        start({browse.path()});
        window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
    }
    void select(const QString& name) const
    {
        app::FileListBox* files = window()->fileList();
        files->refresh();
        const int entry = files->rowShowing(name);
        QVERIFY2(entry >= 0, qPrintable(name));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualRect(files->model()->index(entry, 0)).center());
    }
    void trigger(const char* name) const
    {
        QAction* action = window()->menuAction(QString::fromLatin1(name));
        QVERIFY2(action, name);
        QVERIFY2(QTest::qWaitFor([action] { return action->isEnabled(); }, 10000), name);
        action->trigger();
    }
    // The new visible top-level window of the given object name.
    static QWidget* topLevel(const QString& name)
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->objectName() == name)
                return w;
        }
        return nullptr;
    }
};
} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyControlHasANameAndARole()
    {
        Run run;
        QStringList found;

        run.select(QStringLiteral("メモ.txt"));
        found << unnamedIn(run.window());
        run.select(QStringLiteral("書庫.lzh"));
        QVERIFY(QTest::qWaitFor(
            [&] { return run.window()->archiveList()->topLevelItemCount() == 1; }, 20000));
        found << unnamedIn(run.window());

        // The modal dialogs, each looked at while it is open.
        const struct {
            const char* entry;
            const char* form;
        } modal[] = {
            {"henkou", "Form10"}, {"sinki", "Form11"}, {"shortcut", "Form8"}, {"kaitou", "Form5"}};
        for (const auto& [entry, name] : modal) {
            const QString form = QString::fromLatin1(name);
            ModalSteps steps;
            steps.then(form, [&found](QDialog* d) {
                found << unnamedIn(d);
                d->reject();
            });
            run.trigger(entry);
            QTRY_COMPARE(steps.left(), 0);
            QCOMPARE(steps.wrong, 0);
        }
        {
            ModalSteps steps;
            steps.then(QStringLiteral("GeneralSettings"), [&found](QDialog* d) {
                found << unnamedIn(d);
                d->reject();
            });
            run.program->forms()->showGeneral();
            QCOMPARE(steps.left(), 0);
        }
        {
            ModalSteps steps;
            steps.then(QStringLiteral("PreviewSettings"), [&found](QDialog* d) {
                found << unnamedIn(d);
                d->reject();
            });
            run.program->forms()->showPreview();
            QCOMPARE(steps.left(), 0);
        }

        // The windows that are not modal.
        run.trigger("assyuku");
        QWidget* compress = run.program->archiveWork()->compressDialog();
        QVERIFY(compress);
        found << unnamedIn(compress);
        compress->close();

        QWidget* about = run.program->about();
        about->show();
        found << unnamedIn(about);
        about->hide();

        run.trigger("find");
        QWidget* search = nullptr;
        QVERIFY(QTest::qWaitFor([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->inherits("fileops::FileSearchWindow"))
                    search = w;
            return search != nullptr;
        }));
        found << unnamedIn(search);
        search->close();

        auto* bar = run.window()->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        QVERIFY(bar);
        QWidget* editorButton =
            bar->widgetForAction(run.window()->findChild<QAction*>(QStringLiteral("Button19")));
        QVERIFY(editorButton);
        QTest::mouseClick(editorButton, Qt::LeftButton);
        QWidget* editor = nullptr;
        QVERIFY(
            QTest::qWaitFor([&] { return (editor = Run::topLevel(QStringLiteral("Form14"))); }));
        found << unnamedIn(editor);
        editor->close();

        run.select(QStringLiteral("メモ.txt"));
        run.trigger("tkensaku");
        QWidget* find = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (find = Run::topLevel(QStringLiteral("frmFind"))); }));
        found << unnamedIn(find);
        find->close();

        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
        run.prompts.clear();
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
