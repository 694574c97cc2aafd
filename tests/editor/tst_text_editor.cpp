// The simple text editor window, driven as the user drives it, through the prompts double.
#include "RecordingPrompts.h"
#include "TestFiles.h"

#include "editor/TextEditorWindow.h"
#include "platform/RtfReader.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>

using editor::TextEditorWindow;
using P = platform::Prompts;

namespace
{

// The patterns of a Qt name filter "名前 (*.a *.b)".
QStringList patternsOf(const QString& filter)
{
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    return filter.mid(open + 1, filter.size() - open - 2).split(QLatin1Char(' '));
}

bool filterMatches(const QString& filter, const QString& name)
{
    for (const QString& pattern : patternsOf(filter)) {
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern));
        if (re.match(name).hasMatch())
            return true;
    }
    return false;
}

struct Editor {
    Editor() : window(prompts)
    {
        // The window lives on the stack here; the program's one deletes itself on close.
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
    }
    ~Editor() { window.richTextBox()->document()->setModified(false); }
    QTextEdit* box() const { return window.richTextBox(); }
    QAction* action(const char* name) const
    {
        return window.findChild<QAction*>(QString::fromLatin1(name));
    }
    void select(const QString& text) const
    {
        QTextCursor c = box()->document()->find(text);
        QVERIFY2(!c.isNull(), qPrintable(text));
        box()->setTextCursor(c);
    }
    // The load command with the file chosen in its dialog.
    void load(const QString& path)
    {
        prompts.answerText(path);
        action("rodo")->trigger();
    }
    // The save command with the name and filter chosen in its dialog.
    void save(const QString& path, int filter)
    {
        prompts.answerText(path);
        prompts.answerFilter(filter);
        action("save")->trigger();
    }
    RecordingPrompts prompts;
    TextEditorWindow window;
};

} // namespace

class TextEditorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }
    void windowMenusAndToolbar();
    void shiftJisCrlfSavedBack();
    void utf16WithBomSavedBack();
    void charactersOutsideCp932AreNotLost();
    void overwriteQuestions();
    void richTextRoundTrip();
    void buttonsFollowTheSelection();
    void plainFilterWritesPlainText();
    void cancelledDialogsChangeNothing();
    void loadErrors();
    void closingWithEditsAsks();
    void loadingOverEditsAsks();
    void hugeAndBinaryFiles();

private:
    QString file(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir m_dir;
};

void TextEditorTest::windowMenusAndToolbar()
{
    Editor e;
    QCOMPARE(e.window.objectName(), QStringLiteral("Form14"));
    QCOMPARE(e.window.windowTitle(), QStringLiteral("簡易テキストエディタ"));
    QVERIFY(!e.window.isModal());
    QCOMPARE(e.box()->objectName(), QStringLiteral("RichTextBox1"));
    const QList<std::pair<const char*, const char*>> entries = {
        {"rodo", "読み込み"}, {"save", "保存"}, {"henkou", "フォントの変更"}, {"iro", "文字色"}};
    for (const auto& [name, caption] : entries) {
        QAction* a = e.action(name);
        QVERIFY2(a, name);
        QCOMPARE(a->text(), QString::fromUtf8(caption));
    }
    QCOMPARE(e.window.findChild<QMenu*>(QStringLiteral("fairu"))->title(),
             QStringLiteral("ファイル"));
    QCOMPARE(e.window.findChild<QMenu*>(QStringLiteral("fonto"))->title(),
             QStringLiteral("フォント"));
    QVERIFY(e.window.findChild<QToolBar*>(QStringLiteral("Toolbar1")));
    for (int i : {2, 5, 9})
        QVERIFY(e.window.toolbarButton(i)->isSeparator());
    for (int i : {6, 7, 8, 10, 11, 12})
        QVERIFY(e.window.toolbarButton(i)->isCheckable());
    QVERIFY(!e.window.toolbarButton(13));
    QCOMPARE(TextEditorWindow::fileFilter(),
             QStringLiteral("テキストファイル|*.txt|リッチテキストファイル|*.rtf|"));
}

// Saved back unchanged, the bytes are the same; edited, still Shift-JIS with CRLF.
void TextEditorTest::shiftJisCrlfSavedBack()
{
    const QString path = file("sjis.txt");
    const QByteArray original = readAll(previewDataPath(QStringLiteral("ja_cp932_crlf.txt")));
    QVERIFY(writeAll(path, original));
    Editor e;
    e.load(path);
    QCOMPARE(e.window.textFormat().encoding, QByteArray("windows-31j"));
    QCOMPARE(e.window.fileName(), path);
    e.prompts.answerMessage(P::Yes); // 既にファイルが存在します
    e.save(path, 1);
    QCOMPARE(readAll(path), original);
    QCOMPARE(e.prompts.shown().last().text,
             QStringLiteral("既にファイルが存在します。上書きしますか？"));
    QCOMPARE(e.prompts.shown().last().title, QStringLiteral("上書きの確認"));
    QCOMPARE(e.prompts.shown().last().buttons, int(P::YesNo));

    QTextCursor end(e.box()->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("追記した行\n最後"));
    e.prompts.answerMessage(P::Yes);
    e.save(path, 1);
    const QByteArray saved = readAll(path);
    QVERIFY(saved.startsWith(original));
    QCOMPARE(saved.mid(original.size()), QByteArray::fromHex("92c78b4c82b582bd8d73") + "\r\n" +
                                             QByteArray::fromHex("8dc58ce3"));
    QVERIFY(!saved.contains("\n\n") && saved.count('\n') == saved.count("\r\n"));
}

void TextEditorTest::utf16WithBomSavedBack()
{
    const QString path = file("utf16.txt");
    const QByteArray original = readAll(previewDataPath(QStringLiteral("ja_utf16le_bom_crlf.txt")));
    QVERIFY(writeAll(path, original));
    Editor e;
    e.load(path);
    QCOMPARE(e.window.textFormat().encoding, QByteArray("UTF-16LE"));
    QTextCursor(e.box()->document()).insertText(QStringLiteral("😀\n"));
    e.prompts.answerMessage(P::Yes);
    e.save(path, 1);
    QCOMPARE(readAll(path), QByteArray::fromHex("fffe3dd800de0d000a00") + original.mid(2));
}

void TextEditorTest::charactersOutsideCp932AreNotLost()
{
    const QString path = file("sjis2.txt");
    const QByteArray original = readAll(previewDataPath(QStringLiteral("ja_cp932_crlf.txt")));
    QVERIFY(writeAll(path, original));
    Editor e;
    e.load(path);
    QTextCursor(e.box()->document()).insertText(QStringLiteral("한글\n"));
    e.prompts.answerMessage(P::Yes); // overwrite
    e.prompts.expectMessages(1);     // the refusal
    e.save(path, 1);
    const auto refusal = e.prompts.shown().last();
    QCOMPARE(refusal.title, QStringLiteral("エラー"));
    QVERIFY2(refusal.text.contains(QStringLiteral("1 行目の「한」")), qPrintable(refusal.text));
    QCOMPARE(readAll(path), original);
    QVERIFY(e.box()->document()->isModified());
    // As rich text the same document is saved whole.
    const QString rtf = file("sjis2.rtf");
    e.save(rtf, 2);
    QTextDocument back;
    QVERIFY(preview::RtfReader::read(readAll(rtf), &back));
    QVERIFY(back.toPlainText().startsWith(QStringLiteral("한글\n")));
}

void TextEditorTest::overwriteQuestions()
{
    const QString path = file("old.txt");
    QVERIFY(writeAll(path, "old\n"));
    Editor e;
    e.box()->setPlainText(QStringLiteral("new"));
    // No to the first question: nothing is written.
    e.prompts.answerMessage(P::No);
    e.save(path, 1);
    QCOMPARE(readAll(path), QByteArray("old\n"));
    QCOMPARE(e.prompts.shown().size(), 2); // the dialog and one question

    // A read-only file: both questions; No to the second keeps it as it was.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    e.prompts.clear();
    e.prompts.answerMessage(P::Yes);
    e.prompts.answerMessage(P::No);
    e.save(path, 1);
    QCOMPARE(readAll(path), QByteArray("old\n"));
    QCOMPARE(e.prompts.shown().size(), 3);
    QCOMPARE(e.prompts.shown()[2].text,
             QStringLiteral("読み込み専用ファイルです。この属性を解除し、上書きしますか？"));
    QCOMPARE(e.prompts.shown()[2].title, QStringLiteral("読み込み専用ファイルの上書き確認"));
    QCOMPARE(e.prompts.shown()[2].buttons, int(P::YesNo));
    QVERIFY(!(QFile::permissions(path) & QFileDevice::WriteOwner));

    // Yes to both: the attribute is cleared and the file written (a new text is UTF-8).
    e.box()->setPlainText(QStringLiteral("新しい内容"));
    e.prompts.answerMessage(P::Yes);
    e.prompts.answerMessage(P::Yes);
    e.save(path, 1);
    QCOMPARE(readAll(path), QStringLiteral("新しい内容").toUtf8());
    QVERIFY(QFile::permissions(path) & QFileDevice::WriteOwner);

    // A file that is not there: no question at all.
    e.prompts.clear();
    e.save(file("fresh.txt"), 1);
    QCOMPARE(e.prompts.shown().size(), 1);
    QCOMPARE(readAll(file("fresh.txt")), QStringLiteral("新しい内容").toUtf8());
}

void TextEditorTest::richTextRoundTrip()
{
    Editor e;
    e.box()->setPlainText(QStringLiteral("普通 太字 斜体 下線 赤い字\n中央の段落\n右の段落"));
    e.select(QStringLiteral("太字"));
    e.window.toolbarButton(6)->trigger();
    e.select(QStringLiteral("斜体"));
    e.window.toolbarButton(7)->trigger();
    e.select(QStringLiteral("下線"));
    e.window.toolbarButton(8)->trigger();
    e.select(QStringLiteral("赤い字"));
    e.prompts.answerText(QStringLiteral("#ff0000"));
    e.window.toolbarButton(3)->trigger();
    e.select(QStringLiteral("中央"));
    e.window.toolbarButton(11)->trigger();
    e.select(QStringLiteral("右の"));
    e.window.toolbarButton(12)->trigger();

    const QString path = file("formatted.rtf");
    e.prompts.answerText(path);
    e.prompts.answerFilter(2);
    e.window.toolbarButton(1)->trigger();
    QTextDocument back;
    QVERIFY(preview::RtfReader::read(readAll(path), &back));
    QCOMPARE(back.toPlainText(), e.box()->toPlainText());
    auto formatOf = [&back](const QString& text) {
        QTextCursor c = back.find(text);
        return c.charFormat();
    };
    QVERIFY(formatOf(QStringLiteral("太字")).font().bold());
    QVERIFY(!formatOf(QStringLiteral("普通")).font().bold());
    QVERIFY(formatOf(QStringLiteral("斜体")).fontItalic());
    QVERIFY(!formatOf(QStringLiteral("太字")).fontItalic());
    QVERIFY(formatOf(QStringLiteral("下線")).fontUnderline());
    QVERIFY(!formatOf(QStringLiteral("斜体")).fontUnderline());
    QCOMPARE(formatOf(QStringLiteral("赤い字")).foreground().color(), QColor(Qt::red));
    QCOMPARE(back.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignLeft);
    QCOMPARE(back.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);
    QCOMPARE(back.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignRight);

    // Loaded again, the editor shows the same.
    Editor again;
    again.load(path);
    QCOMPARE(again.box()->toPlainText(), e.box()->toPlainText());
    again.select(QStringLiteral("太字"));
    QVERIFY(again.window.toolbarButton(6)->isChecked());
}

void TextEditorTest::buttonsFollowTheSelection()
{
    Editor e;
    e.box()->setPlainText(QStringLiteral("abc def ghi"));
    e.select(QStringLiteral("def"));
    e.window.toolbarButton(6)->trigger();
    e.window.toolbarButton(8)->trigger();
    e.select(QStringLiteral("abc"));
    QVERIFY(!e.window.toolbarButton(6)->isChecked());
    QVERIFY(!e.window.toolbarButton(8)->isChecked());
    e.select(QStringLiteral("def"));
    QVERIFY(e.window.toolbarButton(6)->isChecked());
    QVERIFY(!e.window.toolbarButton(7)->isChecked());
    QVERIFY(e.window.toolbarButton(8)->isChecked());
    // Partly bold: released; unpressing it makes the whole selection plain.
    e.select(QStringLiteral("c def"));
    QVERIFY(!e.window.toolbarButton(6)->isChecked());
    e.window.toolbarButton(6)->trigger(); // pressed: all bold
    e.select(QStringLiteral("c"));
    QVERIFY(e.window.toolbarButton(6)->isChecked());
    e.select(QStringLiteral("c def"));
    e.window.toolbarButton(6)->trigger(); // released: none bold
    e.select(QStringLiteral("de"));
    QVERIFY(!e.window.toolbarButton(6)->isChecked());
    // A click in the text (the caret moves) follows as well.
    QTextCursor caret(e.box()->document());
    caret.setPosition(5); // inside "def", which is underlined
    e.box()->setTextCursor(caret);
    QVERIFY(e.window.toolbarButton(8)->isChecked());
}

void TextEditorTest::plainFilterWritesPlainText()
{
    Editor e;
    e.box()->setPlainText(QStringLiteral("書式のある\n文章"));
    e.select(QStringLiteral("書式"));
    e.window.toolbarButton(6)->trigger();
    const QString path = file("plain.rtf"); // the extension does not matter, the filter does
    e.save(path, 1);
    QCOMPARE(readAll(path), QStringLiteral("書式のある\n文章").toUtf8());
    // The save dialog got the filters, filter 1 matching text files only.
    const auto dialog = e.prompts.shown().first();
    QCOMPARE(dialog.kind, QStringLiteral("save"));
    const QStringList filters = dialog.text.split(QStringLiteral(";;"));
    QCOMPARE(filters.size(), 2);
    QVERIFY(filterMatches(filters[0], QStringLiteral("メモ.txt")));
    QVERIFY(!filterMatches(filters[0], QStringLiteral("メモ.rtf")));
    QVERIFY(filterMatches(filters[1], QStringLiteral("文書.rtf")));
    QVERIFY(!filterMatches(filters[1], QStringLiteral("文書.txt")));
}

void TextEditorTest::cancelledDialogsChangeNothing()
{
    Editor e;
    e.box()->setPlainText(QStringLiteral("そのまま"));
    e.select(QStringLiteral("その"));
    const QTextCharFormat before = e.box()->textCursor().charFormat();
    e.prompts.answerText(QString()); // open cancelled
    e.action("rodo")->trigger();
    e.prompts.answerText(QString()); // font cancelled
    e.action("henkou")->trigger();
    e.prompts.answerText(QString()); // colour cancelled
    e.action("iro")->trigger();
    e.prompts.answerText(QString()); // save cancelled
    e.action("save")->trigger();
    QCOMPARE(e.box()->toPlainText(), QStringLiteral("そのまま"));
    QCOMPARE(e.box()->textCursor().charFormat(), before);
    QCOMPARE(e.prompts.unexpectedCount(), 0);
    QCOMPARE(e.prompts.shown().size(), 4);

    // The font dialog's answer sets the selection's font name, size, bold and italic.
    QFont chosen(QStringLiteral("IPAGothic"), 18);
    chosen.setBold(true);
    chosen.setItalic(true);
    e.prompts.answerText(QStringLiteral("font:") + chosen.toString());
    e.action("henkou")->trigger();
    e.select(QStringLiteral("その"));
    const QTextCharFormat after = e.box()->textCursor().charFormat();
    QCOMPARE(after.fontFamilies().toStringList().value(0), QStringLiteral("IPAGothic"));
    QCOMPARE(after.fontPointSize(), 18.0);
    QVERIFY(after.font().bold() && after.fontItalic());
    QVERIFY(e.window.toolbarButton(6)->isChecked() && e.window.toolbarButton(7)->isChecked());
    e.select(QStringLiteral("まま"));
    QVERIFY(!e.box()->textCursor().charFormat().font().bold());
}

void TextEditorTest::loadErrors()
{
    Editor e;
    e.box()->setPlainText(QStringLiteral("残る"));
    e.box()->document()->setModified(false); // as if just saved
    e.prompts.expectMessages(1);
    e.load(file("missing.txt"));
    QCOMPARE(e.prompts.shown().last().title, QStringLiteral("エラー"));
    QCOMPARE(e.prompts.shown().last().text, QStringLiteral("ファイルが見つかりません。"));
    QCOMPARE(e.box()->toPlainText(), QStringLiteral("残る"));
    e.prompts.expectMessages(1);
    e.load(m_dir.path());
    QCOMPARE(e.prompts.shown().last().title, QStringLiteral("エラー"));
    QCOMPARE(e.box()->toPlainText(), QStringLiteral("残る"));
}

void TextEditorTest::closingWithEditsAsks()
{
    Editor e;
    e.box()->textCursor().insertText(QStringLiteral("未保存"));
    e.prompts.answerMessage(P::No);
    QVERIFY(!e.window.close());
    QVERIFY(e.window.isVisible());
    QCOMPARE(e.prompts.shown().last().title, QStringLiteral("確認"));
}

void TextEditorTest::loadingOverEditsAsks()
{
    Editor e;
    const QString other = file("他の.txt");
    QVERIFY(writeAll(other, QByteArrayLiteral("other file\n")));
    e.box()->textCursor().insertText(QStringLiteral("未保存の文章"));
    // No: the typing stays, and no file dialog is shown.
    e.prompts.answerMessage(P::No);
    e.action("rodo")->trigger();
    QCOMPARE(e.prompts.shown().size(), 1);
    QCOMPARE(e.prompts.shown().last().text,
             QStringLiteral("内容が変更されています。保存せずに読み込みますか？"));
    QCOMPARE(e.prompts.shown().last().title, QStringLiteral("確認"));
    QCOMPARE(e.prompts.shown().last().buttons, int(P::YesNo));
    QCOMPARE(e.box()->toPlainText(), QStringLiteral("未保存の文章"));
    // Yes: the chosen file replaces it.
    e.prompts.answerMessage(P::Yes);
    e.load(other);
    QCOMPARE(e.box()->toPlainText(), QStringLiteral("other file\n"));
    // Nothing typed since: loading again asks nothing.
    e.prompts.clear();
    e.load(other);
    QCOMPARE(e.prompts.shown().size(), 1);
    QCOMPARE(e.prompts.shown().first().kind, QStringLiteral("open"));
    QCOMPARE(e.prompts.unexpectedCount(), 0);
}

void TextEditorTest::hugeAndBinaryFiles()
{
    Editor e;
    e.box()->setPlainText(QStringLiteral("残る"));
    // 100 MB (sparse, so the test writes nothing much): refused at once with a message.
    const QString huge = file("huge.txt");
    {
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(100LL * 1024 * 1024));
    }
    QElapsedTimer clock;
    clock.start();
    e.prompts.expectMessages(1);
    e.load(huge);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(e.prompts.shown().last().title, QStringLiteral("エラー"));
    QVERIFY(e.prompts.shown().last().text.contains(QStringLiteral("大きすぎる")));
    QCOMPARE(e.box()->toPlainText(), QStringLiteral("残る"));

    // Binary bytes (every byte value, NULs included) open without hanging, and saving them
    // back as text never leaves the file other than it was.
    QByteArray binary;
    for (int i = 0; i < 256 * 1024; ++i)
        binary.append(char((i * 7919 + (i >> 8)) & 0xff));
    const QString path = file("program.bin");
    QVERIFY(writeAll(path, binary));
    clock.restart();
    e.load(path);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    e.prompts.answerMessage(P::Yes); // overwrite
    e.prompts.expectMessages(1);     // the refusal, if the text cannot be written back as read
    e.window.saveTo(path, 1);
    QCOMPARE(readAll(path), binary);
    e.prompts.clear();
}

QTEST_MAIN(TextEditorTest)
#include "tst_text_editor.moc"
