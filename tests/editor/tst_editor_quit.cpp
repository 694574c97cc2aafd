// Ending the program while the text editor holds edits nobody saved.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/MainWindow.h"
#include "editor/TextEditorWindow.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTextEdit>

using P = platform::Prompts;

namespace
{

const QString kQuestion = QStringLiteral("内容が変更されています。保存せずに閉じますか？");

// The program with its editor opened from the menu.
struct Run : GuiRun {
    Run()
    {
        start();
        auto* action = window()->findChild<QAction*>(QStringLiteral("tsakusei"));
        if (action)
            action->trigger();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* e = qobject_cast<editor::TextEditorWindow*>(top); e && e->isVisible())
                editorWindow = e;
        }
    }
    void type(const QString& text) const { editorWindow->richTextBox()->insertPlainText(text); }
    int questionsAsked() const
    {
        int count = 0;
        for (const auto& box : prompts.shown())
            count += box.text == kQuestion ? 1 : 0;
        return count;
    }
    QPointer<editor::TextEditorWindow> editorWindow;
};

} // namespace

class EditorQuitTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noKeepsTheProgramAndTheEdits()
    {
        Run run;
        QVERIFY(run.editorWindow);
        run.type(QStringLiteral("未保存の文"));
        run.prompts.answerMessage(P::No);
        QVERIFY(!run.window()->close());
        QCOMPARE(run.questionsAsked(), 1);
        QVERIFY(!run.program->isShutDown());
        QVERIFY(run.window()->isVisible());
        QVERIFY(run.editorWindow && run.editorWindow->isVisible());
        QCOMPARE(run.editorWindow->richTextBox()->toPlainText(), QStringLiteral("未保存の文"));

        // Asked again, "Yes" ends the program as usual.
        run.prompts.answerMessage(P::Yes);
        QVERIFY(run.window()->close());
        QCOMPARE(run.questionsAsked(), 2);
        QVERIFY(run.program->isShutDown());
    }

    void endCommandAsksToo()
    {
        Run run;
        QVERIFY(run.editorWindow);
        run.type(QStringLiteral("x"));
        run.prompts.answerMessage(P::No);
        auto* end = run.window()->findChild<QAction*>(QStringLiteral("end"));
        QVERIFY(end);
        end->trigger();
        QCOMPARE(run.questionsAsked(), 1);
        QVERIFY(!run.program->isShutDown());
    }

    void nothingAskedWithoutEdits()
    {
        Run run;
        QVERIFY(run.editorWindow);
        QVERIFY(run.window()->close());
        QCOMPARE(run.questionsAsked(), 0);
        QVERIFY(run.program->isShutDown());
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void savedEditsAskNothing()
    {
        Run run;
        QVERIFY(run.editorWindow);
        run.type(QStringLiteral("保存した"));
        QVERIFY(run.editorWindow->saveTo(run.browsed(QStringLiteral("a.txt")), 1));
        QVERIFY(run.window()->close());
        QCOMPARE(run.questionsAsked(), 0);
        QVERIFY(run.program->isShutDown());
    }
};

QTEST_MAIN(EditorQuitTest)
#include "tst_editor_quit.moc"
