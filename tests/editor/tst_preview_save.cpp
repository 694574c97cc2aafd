// The main window's toolbar on the previewed text: overwrite save (11), save as (12), and the
// text editor (19 and the menu entry).
#include "GuiRun.h"
#include "TestFiles.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "base/NativePath.h"
#include "editor/PreviewSave.h"
#include "editor/TextEditorWindow.h"
#include "platform/RtfReader.h"
#include "preview/RichTextViewer.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include <dirent.h>
#include <fcntl.h>

using P = platform::Prompts;

namespace
{

struct Run : GuiRun {
    Run() { start({browse.path()}); }
    app::MainWindow* w() const { return window(); }
    preview::RichTextViewer* box() const { return w()->textViewer(); }
    void click(const QString& name) const
    {
        app::FileListBox* list = w()->fileList();
        list->refresh();
        const int entry = list->rowShowing(name);
        QVERIFY2(entry >= 0, qPrintable(name));
        list->setCurrentRow(-1);
        list->setCurrentRow(entry);
    }
    void button(int number) const { Q_EMIT w()->toolbarButtonClicked(number); }
    QString panel3() const { return w()->panel(3)->text(); }
    editor::TextEditorWindow* editorWindow() const
    {
        return w()->findChild<editor::TextEditorWindow*>(QStringLiteral("Form14"));
    }
};

const QByteArray kSjis = QByteArray::fromHex("93fa967b8cea82cc") + "\r\n" +
                         QByteArray::fromHex("8365834c8358836782c582b7") + "\r\n";

} // namespace

class PreviewSaveTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void overwriteAsksAndKeepsShiftJisCrlf();
    void overwriteOfRichText();
    void saveAsTextAndRichText();
    void nothingShownNothingSaved();
    void failuresAreReported();
    void editorOpensOnceFromBothPlaces();
    void hostileRichTextSavedBack();
    void nameThatIsNotUtf8IsSavedInPlace();
    void tabLeavesTheBoxAndTheQuestionCountsChangedLines();
    void overwriteOfAFileThatIsGoneWritesNothing();
};

void PreviewSaveTest::tabLeavesTheBoxAndTheQuestionCountsChangedLines()
{
    Run run;
    const QString path = run.write(QStringLiteral("メモ.txt"), kSjis);
    run.click(QStringLiteral("メモ.txt"));
    run.w()->show();
    run.w()->activateWindow();
    QWidget* view = run.box()->plainView();
    view->setFocus();
    // Tab and Shift+Tab move on; nothing is typed into the file's text.
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_Backtab);
    QCOMPARE(run.box()->text(), QStringLiteral("日本語の\nテキストです\n"));
    QVERIFY(!run.box()->document()->isModified());

    // Unchanged text: the question as it always was.
    run.prompts.answerMessage(P::No);
    run.button(11);
    QCOMPARE(run.prompts.shown().last().text,
             path + QStringLiteral("に上書き保存します。よろしいですか？"));
    // Two lines changed, one added: three lines.
    QTextCursor c(run.box()->document());
    c.insertText(QStringLiteral("X"));
    c.movePosition(QTextCursor::NextBlock);
    c.insertText(QStringLiteral("Y\nZ"));
    run.prompts.answerMessage(P::No);
    run.button(11);
    QCOMPARE(run.prompts.shown().last().text,
             path + QStringLiteral("に上書き保存します。よろしいですか？\n"
                                   "（読み込んだときから 3 行が変更されています。）"));
    QCOMPARE(readAll(path), kSjis);
    // Once saved, the text is the file's again.
    run.prompts.answerMessage(P::Yes);
    run.button(11);
    run.prompts.answerMessage(P::No);
    run.button(11);
    QCOMPARE(run.prompts.shown().last().text,
             path + QStringLiteral("に上書き保存します。よろしいですか？"));
    QCOMPARE(run.prompts.unexpectedCount(), 0);
    QCOMPARE(editor::changedLines(QStringLiteral("a\nb\nc"), QStringLiteral("a\nc")), 1);
    QCOMPARE(editor::changedLines(QStringLiteral("a\nb"), QStringLiteral("a\nb")), 0);
}

void PreviewSaveTest::overwriteOfAFileThatIsGoneWritesNothing()
{
    Run run;
    const QString path = run.write(QStringLiteral("メモ.txt"), kSjis);
    run.click(QStringLiteral("メモ.txt"));
    run.box()->textCursor().insertText(QStringLiteral("追記"));
    // Renamed by another program while it is shown.
    const QString renamed = run.browsed(QStringLiteral("改名後.txt"));
    QVERIFY(QFile::rename(path, renamed));
    run.prompts.expectMessages(1);
    run.button(11);
    QCOMPARE(run.prompts.shown().size(), 1);
    QCOMPARE(run.prompts.shown().last().text,
             path + QStringLiteral("が見つかりません。名前が変更されたか削除されています。"
                                   "上書き保存しませんでした。"));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(readAll(renamed), kSjis);
    // Deleted: the same, and the old name is not made again.
    QVERIFY(QFile::remove(renamed));
    run.prompts.expectMessages(1);
    run.button(11);
    QVERIFY(!QFile::exists(path));
    QVERIFY(!QFile::exists(renamed));
    QCOMPARE(run.prompts.unexpectedCount(), 0);
}

void PreviewSaveTest::overwriteAsksAndKeepsShiftJisCrlf()
{
    Run run;
    const QString path = run.write(QStringLiteral("メモ.txt"), kSjis);
    run.click(QStringLiteral("メモ.txt"));
    QCOMPARE(run.box()->text(), QStringLiteral("日本語の\nテキストです\n"));
    run.box()->textCursor().insertText(QStringLiteral("追記"));

    run.prompts.answerMessage(P::No);
    run.button(11);
    QCOMPARE(readAll(path), kSjis);
    const auto question = run.prompts.shown().last();
    QCOMPARE(question.text,
             path + QStringLiteral("に上書き保存します。よろしいですか？\n"
                                   "（読み込んだときから 1 行が変更されています。）"));
    QCOMPARE(question.title, QStringLiteral("確認"));
    QCOMPARE(question.icon, int(P::Question));
    QCOMPARE(question.buttons, int(P::YesNo));

    run.prompts.answerMessage(P::Yes);
    run.button(11);
    QCOMPARE(readAll(path), QByteArray::fromHex("92c78b4c") + kSjis);
    QCOMPARE(run.prompts.unexpectedCount(), 0);
}

void PreviewSaveTest::overwriteOfRichText()
{
    Run run;
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 x;}}"
                           "\\qc\\b \\'91\\'be\\'8e\\'9a\\b0 \\'82\\'cc\\par}";
    // The same rich text in a .rtf and in a .doc: both stay rich text.
    for (const QString& name : {QStringLiteral("a.rtf"), QStringLiteral("b.doc")}) {
        const QString path = run.write(name, rtf);
        run.click(name);
        QVERIFY(run.box()->isRichText());
        QTextCursor end(run.box()->document());
        end.movePosition(QTextCursor::End);
        end.insertText(QStringLiteral("終わり"));
        run.prompts.answerMessage(P::Yes);
        run.button(11);
        QTextDocument back;
        QVERIFY2(preview::RtfReader::read(readAll(path), &back), qPrintable(name));
        QCOMPARE(back.toPlainText(), QStringLiteral("太字の\n終わり"));
        QVERIFY(back.find(QStringLiteral("太字")).charFormat().font().bold());
        QVERIFY(!back.find(QStringLiteral("の")).charFormat().font().bold());
        QCOMPARE(back.begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
    }
}

void PreviewSaveTest::saveAsTextAndRichText()
{
    Run run;
    run.write(QStringLiteral("メモ.txt"), kSjis);
    run.click(QStringLiteral("メモ.txt"));
    const QString asText = run.browsed(QStringLiteral("copy.txt"));
    run.prompts.answerText(asText);
    run.prompts.answerFilter(1);
    run.button(12);
    QCOMPARE(readAll(asText), kSjis); // the loaded encoding and line ends
    const auto dialog = run.prompts.shown().last();
    QCOMPARE(dialog.kind, QStringLiteral("save"));
    // Filter 1 is "*.txt", without a blank that would make it match nothing useful.
    QCOMPARE(dialog.text,
             QStringLiteral("テキストファイル (*.txt);;リッチテキストファイル (*.rtf)"));

    const QString asRtf = run.browsed(QStringLiteral("copy.rtf"));
    run.prompts.answerText(asRtf);
    run.prompts.answerFilter(2);
    run.button(12);
    QTextDocument back;
    QVERIFY(preview::RtfReader::read(readAll(asRtf), &back));
    QCOMPARE(back.toPlainText(), QStringLiteral("日本語の\nテキストです\n"));
    QVERIFY(readAll(asRtf).contains("\\ansicpg932"));

    // Cancelled: nothing more is written.
    run.prompts.answerText(QString());
    run.button(12);
    QCOMPARE(run.prompts.unexpectedCount(), 0);
}

void PreviewSaveTest::nothingShownNothingSaved()
{
    Run run;
    run.write(QStringLiteral("絵.bmp"), QByteArray("BM not really"));
    run.click(QStringLiteral("絵.bmp"));
    QVERIFY(run.box()->isHidden());
    run.button(11);
    QCOMPARE(run.panel3(), QStringLiteral("テキストのみ有効です。"));
    run.w()->panel(3)->clear();
    run.button(12);
    QCOMPARE(run.panel3(), QStringLiteral("テキストのみ有効です。"));
    QCOMPARE(run.prompts.shown().size(), 0);
}

void PreviewSaveTest::failuresAreReported()
{
    Run run;
    const QString path = run.write(QStringLiteral("メモ.txt"), kSjis);
    run.click(QStringLiteral("メモ.txt"));
    run.box()->textCursor().insertText(QStringLiteral("한"));
    run.prompts.answerMessage(P::Yes);
    run.prompts.expectMessages(1);
    run.button(11);
    const auto refusal = run.prompts.shown().last();
    QVERIFY2(refusal.text.contains(QStringLiteral("「한」")), qPrintable(refusal.text));
    QCOMPARE(refusal.icon, int(P::Exclamation));
    QCOMPARE(readAll(path), kSjis);

    // Save as into a folder that is not there: the error with its number.
    run.prompts.answerText(run.browsed(QStringLiteral("none/x.rtf")));
    run.prompts.answerFilter(2);
    run.prompts.expectMessages(1);
    run.button(12);
    QCOMPARE(run.prompts.shown().last().title, QStringLiteral("コラモ　Err = 76"));
    QCOMPARE(run.prompts.shown().last().icon, int(P::Exclamation));
}

void PreviewSaveTest::editorOpensOnceFromBothPlaces()
{
    Run run;
    QVERIFY(!run.editorWindow());
    run.button(19);
    editor::TextEditorWindow* first = run.editorWindow();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(!first->isModal());
    QVERIFY(run.w()->isEnabled());
    run.w()->menuAction(QStringLiteral("tsakusei"))->trigger();
    QCOMPARE(run.editorWindow(), first);
    QCOMPARE(run.w()->findChildren<editor::TextEditorWindow*>().size(), 1);
    // Closed, it goes away; the next request makes a new one.
    QPointer<editor::TextEditorWindow> closed = first;
    first->close();
    QTRY_VERIFY(closed.isNull());
    run.w()->menuAction(QStringLiteral("tsakusei"))->trigger();
    QVERIFY(run.editorWindow());
    QVERIFY(run.editorWindow()->isVisible());
}

// Groups nested far deeper than any writer makes them and binary data that claims more bytes
// than the file holds: shown without hanging, saved back with the text that was shown.
void PreviewSaveTest::hostileRichTextSavedBack()
{
    Run run;
    const int depth = 100000;
    QByteArray rtf = "{\\rtf1\\ansi ";
    rtf += QByteArray(depth, '{') + "deep" + QByteArray(depth, '}');
    rtf += QByteArray("{\\*\\blob\\bin6 {{}\0\\x}", 21) + "after\\par ";
    rtf += "\\bin999999999 junk}";
    const QString path = run.write(QStringLiteral("hostile.rtf"), rtf);
    QElapsedTimer clock;
    clock.start();
    run.click(QStringLiteral("hostile.rtf"));
    QVERIFY(run.box()->isRichText());
    const QString shown = run.box()->document()->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("deep")) && shown.contains(QStringLiteral("after")),
             qPrintable(shown));
    QVERIFY(!shown.contains(QStringLiteral("junk")));
    run.prompts.answerMessage(P::Yes);
    run.button(11);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(run.prompts.shown().size(), 1); // the question only: no failure
    const QByteArray written = readAll(path);
    QVERIFY(written != rtf);
    QTextDocument back;
    QVERIFY(preview::RtfReader::read(written, &back));
    QCOMPARE(back.toPlainText(), shown);
}

// A file whose name is Shift-JIS bytes: the question names it readably, and the save replaces
// that very file.
void PreviewSaveTest::nameThatIsNotUtf8IsSavedInPlace()
{
    Run run;
    const QByteArray folder = QFile::encodeName(run.browse.path());
    const QByteArray native = folder + "/" + QByteArray::fromHex("93fa967b") + ".txt";
    {
        QFile f;
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        QVERIFY(f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        f.write("abc\n");
    }
    run.click(platform::displayName(platform::fromNativePath(native.mid(folder.size() + 1))));
    QCOMPARE(run.box()->text(), QStringLiteral("abc\n"));
    run.box()->textCursor().insertText(QStringLiteral("先頭"));
    run.prompts.answerMessage(P::Yes);
    run.button(11);
    const auto question = run.prompts.shown().last().text;
    QVERIFY2(question.contains(QStringLiteral("日本.txt")), qPrintable(question));
    QVERIFY(!platform::hasForeignBytes(question));
    // Nothing else beside it (listed by bytes: Qt's listing cannot name such a file).
    int entries = 0;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d))
            entries += e->d_name[0] == '.' ? 0 : 1;
        ::closedir(d);
    }
    QCOMPARE(entries, 1);
    QFile back;
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QVERIFY(back.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    QCOMPARE(back.readAll(), QStringLiteral("先頭abc\n").toUtf8());
}

QTEST_MAIN(PreviewSaveTest)
#include "tst_preview_save.moc"
