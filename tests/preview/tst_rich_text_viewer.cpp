#include "TestFiles.h"

#include "preview/RichTextViewer.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using preview::RichTextViewer;

namespace
{

QString reference()
{
    return QString::fromUtf8(readAll(previewDataPath(QStringLiteral("ja_utf8_crlf.txt"))))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

class TestRichTextViewer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }
    void showsEveryEncodingAsItsUtf8Twin_data();
    void showsEveryEncodingAsItsUtf8Twin();
    void savingKeepsEncodingBomAndLineEnds_data();
    void savingKeepsEncodingBomAndLineEnds();
    void refusesToSaveWhatTheEncodingCannotHold();
    void rtfByContentWhateverTheExtension();
    void rtfSavedAsRtfAndAsPlainText();
    void selectionAccessors();
    void largeFileKeepsPositionsAndBytes();
    void largeFileWithItsOwnSeparators();
    void emptyAndMissingFiles();

private:
    QTemporaryDir m_dir;
};

void TestRichTextViewer::showsEveryEncodingAsItsUtf8Twin_data()
{
    QTest::addColumn<QString>("file");
    for (const char* f :
         {"ja_utf8_crlf.txt", "ja_utf8_bom_cr.txt", "ja_cp932_crlf.txt", "ja_eucjp_lf.txt",
          "ja_iso2022jp_crlf.txt", "ja_utf16le_bom_crlf.txt", "ja_utf16be_bom_crlf.txt"})
        QTest::newRow(f) << QString::fromLatin1(f);
}

void TestRichTextViewer::showsEveryEncodingAsItsUtf8Twin()
{
    QFETCH(QString, file);
    RichTextViewer viewer;
    viewer.resize(400, 300);
    viewer.show();
    QString error;
    QVERIFY(viewer.loadFile(previewDataPath(file), &error));
    QVERIFY(!viewer.isRichText());
    QVERIFY(!viewer.hadDecodeErrors());
    QCOMPARE(viewer.text(), reference());
    QCOMPARE(viewer.plainView()->toPlainText(), reference());
    QCOMPARE(viewer.selStart(), 0);
    QCOMPARE(viewer.selLength(), 0);
}

void TestRichTextViewer::savingKeepsEncodingBomAndLineEnds_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("editEncoded"); // "追記" at the start, in the file's encoding
    QTest::newRow("cp932 crlf") << "ja_cp932_crlf.txt" << QByteArray::fromHex("92c78b4c0d0a");
    QTest::newRow("euc-jp lf") << "ja_eucjp_lf.txt" << QByteArray::fromHex("c4c9b5ad0a");
    QTest::newRow("utf-16le bom crlf")
        << "ja_utf16le_bom_crlf.txt" << QByteArray::fromHex("fffefd8f188a0d000a00");
    QTest::newRow("utf-8 bom cr") << "ja_utf8_bom_cr.txt"
                                  << QByteArray::fromHex("efbbbfe8bfbde8a8980d");
}

// Unchanged text is saved byte for byte; an edit is written in the file's own encoding, BOM and
// line ends.
void TestRichTextViewer::savingKeepsEncodingBomAndLineEnds()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, editEncoded);
    const QByteArray original = readAll(previewDataPath(file));
    RichTextViewer viewer;
    QVERIFY(viewer.loadFile(previewDataPath(file)));
    const QString same = m_dir.filePath(QStringLiteral("same.txt"));
    QVERIFY(viewer.saveFile(same));
    QCOMPARE(readAll(same), original);

    viewer.setSelStart(0);
    viewer.textCursor().insertText(QStringLiteral("追記\n"));
    const QString edited = m_dir.filePath(QStringLiteral("edited.txt"));
    QString error;
    QVERIFY2(viewer.saveFile(edited, RichTextViewer::SaveAs::Loaded, &error), qPrintable(error));
    const QByteArray saved = readAll(edited);
    QVERIFY(saved.startsWith(editEncoded));
    const qsizetype bom =
        file.contains(QLatin1String("bom")) ? (file.contains(QLatin1String("utf8")) ? 3 : 2) : 0;
    QCOMPARE(saved.mid(editEncoded.size()), original.mid(bom));
}

void TestRichTextViewer::refusesToSaveWhatTheEncodingCannotHold()
{
    const QString path = m_dir.filePath(QStringLiteral("sjis.txt"));
    QVERIFY(writeAll(path, readAll(previewDataPath(QStringLiteral("ja_cp932_crlf.txt")))));
    RichTextViewer viewer;
    QVERIFY(viewer.loadFile(path));
    QCOMPARE(viewer.textFormat().encoding, QByteArray("windows-31j"));
    viewer.textCursor().insertText(QStringLiteral("😀"));
    QString error;
    QVERIFY(!viewer.saveFile(path, RichTextViewer::SaveAs::Loaded, &error));
    QVERIFY(error.contains(QLatin1String("windows-31j")));
    QCOMPARE(readAll(path), readAll(previewDataPath(QStringLiteral("ja_cp932_crlf.txt"))));

    // A broken double-byte character (lead byte 0x82, then a blank) is shown as a replacement
    // character; saving would write something else there, so the text is not saved.
    const QByteArray broken =
        readAll(previewDataPath(QStringLiteral("ja_cp932_crlf.txt"))) + "\x82 end\r\n";
    QVERIFY(writeAll(path, broken));
    QVERIFY(viewer.loadFile(path));
    QCOMPARE(viewer.textFormat().encoding, QByteArray("windows-31j"));
    QVERIFY(viewer.hadDecodeErrors());
    QVERIFY(!viewer.saveFile(path, RichTextViewer::SaveAs::PlainText, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), broken);
}

// A .doc or .wri that holds RTF is shown as RTF; one that does not is text.
void TestRichTextViewer::rtfByContentWhateverTheExtension()
{
    const QByteArray rtf = readAll(previewDataPath(QStringLiteral("libreoffice_ja.rtf")));
    for (const QString& name :
         {QStringLiteral("a.doc"), QStringLiteral("b.wri"), QStringLiteral("c.rtf")}) {
        const QString path = m_dir.filePath(name);
        QVERIFY(writeAll(path, rtf));
        RichTextViewer viewer;
        QVERIFY(viewer.loadFile(path));
        QVERIFY(viewer.isRichText());
        QVERIFY(viewer.text().contains(QStringLiteral("中央揃えの段落")));
        QCOMPARE(
            viewer.document()->find(QStringLiteral("右揃え")).block().blockFormat().alignment(),
            Qt::AlignRight);
    }
    const QString notRtf = m_dir.filePath(QStringLiteral("old.doc"));
    QVERIFY(writeAll(notRtf, QByteArray("\xD0\xCF\x11\xE0 not rtf {\\rtf1 inside}")));
    RichTextViewer viewer;
    QVERIFY(viewer.loadFile(notRtf));
    QVERIFY(!viewer.isRichText());
    QVERIFY(viewer.text().endsWith(QStringLiteral("{\\rtf1 inside}")));
}

void TestRichTextViewer::rtfSavedAsRtfAndAsPlainText()
{
    RichTextViewer viewer;
    QVERIFY(viewer.loadFile(previewDataPath(QStringLiteral("libreoffice_ja.rtf"))));
    const QString asRtf = m_dir.filePath(QStringLiteral("saved.rtf"));
    QVERIFY(viewer.saveFile(asRtf));
    RichTextViewer again;
    QVERIFY(again.loadFile(asRtf));
    QVERIFY(again.isRichText());
    QCOMPARE(again.text(), viewer.text());
    QTextCursor bold = again.document()->find(QStringLiteral("太字の文字"));
    QVERIFY(bold.charFormat().font().bold());

    const QString asText = m_dir.filePath(QStringLiteral("saved.txt"));
    QVERIFY(viewer.saveFile(asText, RichTextViewer::SaveAs::PlainText));
    QCOMPARE(QString::fromUtf8(readAll(asText)), viewer.text());
}

void TestRichTextViewer::selectionAccessors()
{
    RichTextViewer viewer;
    QVERIFY(viewer.loadFile(previewDataPath(QStringLiteral("ja_cp932_crlf.txt"))));
    const QString text = viewer.text();
    const int at = int(text.indexOf(QStringLiteral("東京都")));
    QVERIFY(at > 0);
    viewer.setSelection(at, 3);
    QCOMPARE(viewer.selStart(), at);
    QCOMPARE(viewer.selLength(), 3);
    QCOMPARE(viewer.selectedText(), QStringLiteral("東京都"));
    viewer.setSelStart(at + 1);
    QCOMPARE(viewer.selStart(), at + 1);
    QCOMPARE(viewer.selLength(), 0);
    viewer.setSelLength(2);
    QCOMPARE(viewer.selectedText(), QStringLiteral("京都"));
    viewer.setSelection(int(text.size()) - 1, 50);
    QCOMPARE(viewer.selStart() + viewer.selLength(), int(text.size()));
    viewer.setSelection(-5, 2);
    QCOMPARE(viewer.selStart(), 0);
}

// Large files are shown with their lines grouped into blocks; text, positions and the saved
// bytes must not show it.
void TestRichTextViewer::largeFileKeepsPositionsAndBytes()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 3 * 1024 * 1024; ++i)
        bytes += "2026-12-08 line " + QByteArray::number(i) + " 処理が完了しました\r\n";
    const QString path = m_dir.filePath(QStringLiteral("big.log"));
    QVERIFY(writeAll(path, bytes));
    RichTextViewer viewer;
    viewer.resize(500, 400);
    viewer.show();
    QVERIFY(viewer.loadFile(path));
    const QString expected =
        QString::fromUtf8(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(viewer.text(), expected);
    QVERIFY(viewer.document()->blockCount() < expected.count(QLatin1Char('\n')) / 10);
    const int at = int(expected.indexOf(QStringLiteral("line 54321 ")));
    viewer.setSelection(at, 10);
    QCOMPARE(viewer.selectedText(), QStringLiteral("line 54321"));
    const QString saved = m_dir.filePath(QStringLiteral("big-saved.log"));
    QVERIFY(viewer.saveFile(saved));
    QVERIFY(readAll(saved) == bytes);
}

// A large file with U+2028 and U+2029 of its own: they are text, not the viewer's line grouping.
void TestRichTextViewer::largeFileWithItsOwnSeparators()
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < 2 * 1024 * 1024; ++i) {
        bytes += "entry " + QByteArray::number(i) + "\n";
        if (i == 40000)
            bytes += "own line separator \xE2\x80\xA8 here\n";
    }
    const QString path = m_dir.filePath(QStringLiteral("separators.log"));
    QVERIFY(writeAll(path, bytes));
    RichTextViewer viewer;
    QVERIFY(viewer.loadFile(path));
    QCOMPARE(viewer.text(), QString::fromUtf8(bytes));
    const QString saved = m_dir.filePath(QStringLiteral("separators-saved.log"));
    QVERIFY(viewer.saveFile(saved));
    QVERIFY(readAll(saved) == bytes);
}

void TestRichTextViewer::emptyAndMissingFiles()
{
    const QString empty = m_dir.filePath(QStringLiteral("empty.txt"));
    QVERIFY(writeAll(empty, QByteArray()));
    RichTextViewer viewer;
    QVERIFY(viewer.loadFile(empty));
    QCOMPARE(viewer.text(), QString());
    QVERIFY(!viewer.isRichText());

    QVERIFY(viewer.loadFile(previewDataPath(QStringLiteral("ja_utf8_crlf.txt"))));
    QString error;
    QVERIFY(!viewer.loadFile(m_dir.filePath(QStringLiteral("missing.txt")), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(viewer.text(), QString()); // the previous file is not left on show
}

QTEST_MAIN(TestRichTextViewer)
#include "tst_rich_text_viewer.moc"
