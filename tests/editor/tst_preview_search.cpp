// Search in the previewed text through the find dialog, the search menu and the toolbar, on the
// real main window with the prompts recorded.
#include "PreviewRun.h"

#include "editor/FindDialog.h"
#include "editor/PreviewSearch.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using editor::FindDialog;
using editor::SearchDirection;

namespace
{
struct Run : PreviewRun {
    explicit Run(const QByteArray& text = QByteArrayLiteral("aaa"))
    {
        write(QStringLiteral("text.txt"), text);
        write(QStringLiteral("script.js"), QByteArrayLiteral("var a;\n"));
        startIn();
        if (!show(QStringLiteral("text.txt")))
            QTest::qFail("text.txt is not listed", __FILE__, __LINE__);
    }
    editor::PreviewSearch* search() const { return program->previewSearch(); }
    FindDialog* dialog() const { return search()->dialog(); }
    // Opens the dialog from the menu and types the search text.
    FindDialog* typed(const QString& text) const
    {
        action("tkensaku")->trigger();
        FindDialog* d = dialog();
        if (d)
            QTest::keyClicks(d->textBox(), text);
        return d;
    }
    QPair<int, int> selection() const { return {viewer()->selStart(), viewer()->selLength()}; }
};

QPair<int, int> sel(int start, int length)
{
    return {start, length};
}
} // namespace

class PreviewSearchTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dialogAsOpened()
    {
        Run run;
        QVERIFY(run.action("tkensaku")->isEnabled());
        run.action("tkensaku")->trigger();
        FindDialog* d = run.dialog();
        QVERIFY(d);
        QVERIFY(d->isVisible());
        QVERIFY(!d->isModal());
        QCOMPARE(d->objectName(), QStringLiteral("frmFind"));
        QCOMPARE(d->windowTitle(), QStringLiteral("検索"));
        QCOMPARE(d->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("検索する文字列(&N):"));
        QCOMPARE(d->textBox()->objectName(), QStringLiteral("txtFind"));
        QCOMPARE(d->textBox()->toolTip(), QStringLiteral("検索する文字列を入力します"));
        QCOMPARE(d->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(),
                 QStringLiteral("検索する方向"));
        const QList<QRadioButton*> options =
            d->findChildren<QRadioButton*>(QStringLiteral("optDirection"));
        QCOMPARE(options.size(), 2);
        QCOMPARE(d->directionButton(1)->text(), QStringLiteral("下へ(&D)"));
        QCOMPARE(d->directionButton(1)->toolTip(), QStringLiteral("文書の末尾方向に検索します"));
        QCOMPARE(d->directionButton(1)->property("index").toInt(), 1);
        QCOMPARE(d->directionButton(0)->text(), QStringLiteral("上へ(&U)"));
        QCOMPARE(d->directionButton(0)->toolTip(), QStringLiteral("文書の先頭方向に検索します"));
        QCOMPARE(d->directionButton(0)->property("index").toInt(), 0);
        QCOMPARE(d->caseBox()->objectName(), QStringLiteral("chkCase"));
        QCOMPARE(d->caseBox()->text(), QStringLiteral("大文字と小文字を区別する(&C)"));
        QCOMPARE(d->findButton()->objectName(), QStringLiteral("cmdFind"));
        QCOMPARE(d->findButton()->text(), QStringLiteral("検索(&F)"));
        QCOMPARE(d->findButton()->toolTip(), QStringLiteral("検索を開始します"));
        QCOMPARE(d->cancelButton()->objectName(), QStringLiteral("cmdcancel"));
        QCOMPARE(d->cancelButton()->text(), QStringLiteral("キャンセル"));
        // Opened: empty text, case unchecked, find disabled, down selected.
        QVERIFY(d->textBox()->text().isEmpty());
        QVERIFY(!d->caseBox()->isChecked());
        QVERIFY(!d->findButton()->isEnabled());
        QVERIFY(d->directionButton(1)->isChecked());
        QCOMPARE(run.search()->state().direction, SearchDirection::Down);
        // The find button follows the text box.
        QTest::keyClicks(d->textBox(), QStringLiteral("a"));
        QVERIFY(d->findButton()->isEnabled());
        QVERIFY(run.search()->state().restart);
        QTest::keyClick(d->textBox(), Qt::Key_Backspace);
        QVERIFY(!d->findButton()->isEnabled());
        // The stored text is taken only by the buttons.
        QVERIFY(run.search()->state().text.isEmpty());
    }

    void overlappingMatchesThenNotFound()
    {
        Run run;
        run.viewer()->setSelStart(0);
        FindDialog* d = run.typed(QStringLiteral("aa"));
        QVERIFY(d);
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(0, 2)); // position 1
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(1, 2)); // position 2
        QCOMPARE(run.viewer()->selectedText(), QStringLiteral("aa"));
        // No further match: the quoted text, the information icon, the application's title;
        // the selection stays, and searching again says it again.
        run.prompts.expectMessages(2);
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(1, 2));
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(1, 2));
        QCOMPARE(run.prompts.shown().size(), 2);
        for (const RecordingPrompts::Box& box : run.prompts.shown()) {
            QCOMPARE(box.kind, QStringLiteral("message"));
            QCOMPARE(box.text, QStringLiteral("\"aa\" が見つかりません。"));
            QCOMPARE(box.icon, int(platform::Prompts::Information));
            QCOMPARE(box.buttons, int(platform::Prompts::OkOnly));
            QVERIFY(box.title.isEmpty());
        }
        QVERIFY(d->isVisible()); // the dialog stays open
    }

    void upFromTheStartIsNotFoundAtOnce()
    {
        Run run(QByteArrayLiteral("a a a"));
        run.viewer()->setSelStart(0);
        FindDialog* d = run.typed(QStringLiteral("a"));
        d->directionButton(0)->click();
        QCOMPARE(run.search()->state().direction, SearchDirection::Up);
        run.prompts.expectMessages(2);
        d->findButton()->click();
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.selection(), sel(0, 0));
        // From a caret moved elsewhere an up search looks from two before it (the "a" right
        // before the caret is passed over), then one before each match.
        run.viewer()->setSelStart(5);
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(2, 1));
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(0, 1));
        d->findButton()->click();
        QCOMPARE(run.prompts.shown().size(), 2);
        QCOMPARE(run.selection(), sel(0, 1));
    }

    void editingTheTextStartsAtTheCaret()
    {
        Run run;
        run.viewer()->setSelStart(0);
        FindDialog* d = run.typed(QStringLiteral("aa"));
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(0, 2));
        // Typed again (the same text): the match that begins at the caret is found again.
        QTest::keyClicks(d->textBox(), QStringLiteral("x"));
        QTest::keyClick(d->textBox(), Qt::Key_Backspace);
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(0, 2));
        // Not edited: the search continues past it.
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(1, 2));
    }

    void upperAndLowerCase()
    {
        Run run(QByteArrayLiteral("xx ABC abc aBc"));
        run.viewer()->setSelStart(0);
        FindDialog* d = run.typed(QStringLiteral("abc"));
        QList<int> starts;
        for (int i = 0; i < 3; ++i) {
            d->findButton()->click();
            starts << run.viewer()->selStart();
        }
        QCOMPARE(starts, (QList<int>{3, 7, 11}));
        d->caseBox()->click();
        QVERIFY(run.search()->state().matchCase);
        run.viewer()->setSelStart(0);
        d->findButton()->click();
        QCOMPARE(run.selection(), sel(7, 3));
        run.prompts.expectMessages(1);
        d->findButton()->click();
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.selection(), sel(7, 3));
    }

    void nextWithoutTextOpensTheDialogThenContinues()
    {
        Run run;
        run.viewer()->setSelStart(0);
        QVERIFY(run.action("tuken")->isEnabled());
        run.action("tuken")->trigger();
        FindDialog* d = run.dialog();
        QVERIFY(d && d->isVisible());
        QVERIFY(d->directionButton(1)->isChecked());
        QTest::keyClicks(d->textBox(), QStringLiteral("AA"));
        d->caseBox()->click();
        d->caseBox()->click(); // back off
        d->cancelButton()->click();
        QTRY_VERIFY(!run.dialog());
        QCOMPARE(run.search()->state().text, QStringLiteral("AA"));
        QVERIFY(!run.search()->state().matchCase);
        // The search goes on without the dialog.
        run.action("tuken")->trigger();
        QCOMPARE(run.selection(), sel(0, 2));
        run.action("tuken")->trigger();
        QCOMPARE(run.selection(), sel(1, 2));
        QVERIFY(!run.dialog());
        // "検索" opens it again, empty, and down again after up was chosen.
        run.action("tkensaku")->trigger();
        run.dialog()->directionButton(0)->click();
        run.dialog()->cancelButton()->click();
        QTRY_VERIFY(!run.dialog());
        QCOMPARE(run.search()->state().direction, SearchDirection::Up);
        QCOMPARE(run.search()->state().text, QString()); // cancelled with an empty box
        run.action("tkensaku")->trigger();
        QVERIFY(run.dialog()->textBox()->text().isEmpty());
        QVERIFY(run.dialog()->directionButton(1)->isChecked());
        QCOMPARE(run.search()->state().direction, SearchDirection::Down);
    }

    void escapeIsCancelTheTitleBarOnlyCloses()
    {
        Run run;
        FindDialog* d = run.typed(QStringLiteral("aa"));
        d->close();
        QTRY_VERIFY(!run.dialog());
        QVERIFY(run.search()->state().text.isEmpty());
        d = run.typed(QStringLiteral("aa"));
        QTest::keyClick(d, Qt::Key_Escape);
        QTRY_VERIFY(!run.dialog());
        QCOMPARE(run.search()->state().text, QStringLiteral("aa"));
    }

    void toolbarSearchOnlyWhileTextIsShown()
    {
        Run run;
        QVERIFY(run.show(QStringLiteral("script.js"))); // "プレビューできません"
        QVERIFY(run.viewer()->isHidden());
        QVERIFY(!run.action("tkensaku")->isEnabled());
        QVERIFY(!run.action("tuken")->isEnabled());
        QCOMPARE(run.button(18)->toolTip(), QStringLiteral("テキストファイルの検索"));
        run.button(18)->trigger();
        QCOMPARE(run.panel3(), QStringLiteral("検索はテキストボックスの時のみ有効です。"));
        QVERIFY(!run.dialog());
        QVERIFY(run.show(QStringLiteral("text.txt")));
        QVERIFY(run.action("tkensaku")->isEnabled());
        run.button(18)->trigger();
        QVERIFY(run.dialog() && run.dialog()->isVisible());
        QCOMPARE(run.search()->state().direction, SearchDirection::Down);
    }
};

QTEST_MAIN(PreviewSearchTest)
#include "tst_preview_search.moc"
