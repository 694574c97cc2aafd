#include "base/RtfWriter.h"
#include "platform/RtfReader.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using preview::RtfReader;

namespace
{

QByteArray dataFile(const QString& name)
{
    QFile f(QString::fromLocal8Bit(qgetenv("KORAMO_SOURCE_DIR")) +
            QStringLiteral("/tests/preview/data/") + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return f.readAll();
}

// The format of the second character of the first occurrence of what (the cursor's format is
// the one of the character before it).
QTextCharFormat formatOf(const QTextDocument& doc, const QString& what)
{
    const QTextCursor found = doc.find(what);
    if (found.isNull())
        return QTextCharFormat();
    QTextCursor at(const_cast<QTextDocument*>(&doc));
    at.setPosition(found.selectionStart() + std::min<int>(2, what.size()));
    return at.charFormat();
}

Qt::Alignment alignmentOf(const QTextDocument& doc, const QString& what)
{
    const QTextCursor found = doc.find(what);
    return found.isNull() ? Qt::Alignment() : found.block().blockFormat().alignment();
}

QString read(const QByteArray& rtf)
{
    QTextDocument doc;
    if (!RtfReader::read(rtf, &doc))
        return QStringLiteral("<not read>");
    // The raw text keeps no-break spaces; paragraph and line breaks become '\n'.
    return doc.toRawText()
        .replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'))
        .replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void libreOfficeDocument();
    void wordPadStyleShiftJis();
    void unicodeEscapesAndTheirFallbacks();
    void skippedDestinations();
    void specialCharacters();
    void writtenRtfReadsBackTheSame();
    void brokenInputs();
    void mutatedDocuments();
    void notRtf();
};

void TestRtfReader::libreOfficeDocument()
{
    QTextDocument doc;
    QVERIFY(RtfReader::read(dataFile(QStringLiteral("libreoffice_ja.rtf")), &doc));
    const QStringList lines = doc.toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0),
             QStringLiteral("普通の段落です。太字の文字と斜体の文字と下線の文字。"));
    QCOMPARE(lines.value(1), QStringLiteral("赤い文字 red text"));
    QCOMPARE(lines.value(2), QStringLiteral("Latin bold and italic words"));
    QCOMPARE(lines.value(3), QStringLiteral("中央揃えの段落"));
    QCOMPARE(lines.value(4), QStringLiteral("右揃えの段落"));
    QCOMPARE(lines.value(5), QStringLiteral("大きな明朝の文字\tタブの後"));

    QVERIFY(!formatOf(doc, QStringLiteral("普通")).font().bold());
    QVERIFY(formatOf(doc, QStringLiteral("太字の文字")).font().bold());
    QVERIFY(!formatOf(doc, QStringLiteral("太字の文字")).fontItalic());
    QVERIFY(formatOf(doc, QStringLiteral("斜体の文字")).fontItalic());
    QVERIFY(!formatOf(doc, QStringLiteral("斜体の文字")).font().bold());
    QVERIFY(formatOf(doc, QStringLiteral("下線の文字")).fontUnderline());
    QVERIFY(!formatOf(doc, QStringLiteral("と斜体")).fontUnderline());
    QVERIFY(formatOf(doc, QStringLiteral("bold")).font().bold());
    QVERIFY(formatOf(doc, QStringLiteral("italic")).fontItalic());
    QVERIFY(!formatOf(doc, QStringLiteral("Latin")).font().bold());

    QCOMPARE(formatOf(doc, QStringLiteral("赤い")).foreground().color(), QColor(255, 0, 0));
    QCOMPARE(formatOf(doc, QStringLiteral("red text")).foreground().color(), QColor(255, 0, 0));
    QVERIFY(formatOf(doc, QStringLiteral("普通")).foreground().style() == Qt::NoBrush ||
            formatOf(doc, QStringLiteral("普通")).foreground().color() == QColor(0, 0, 0));

    QCOMPARE(alignmentOf(doc, QStringLiteral("普通")), Qt::AlignLeft);
    QCOMPARE(alignmentOf(doc, QStringLiteral("中央揃え")), Qt::AlignHCenter);
    QCOMPARE(alignmentOf(doc, QStringLiteral("右揃え")), Qt::AlignRight);

    const QTextCharFormat big = formatOf(doc, QStringLiteral("大きな明朝"));
    QCOMPARE(big.fontPointSize(), 16.0);
    QCOMPARE(big.fontFamilies().toStringList().value(0), QStringLiteral("Noto Serif CJK JP"));
    QCOMPARE(formatOf(doc, QStringLiteral("普通")).fontPointSize(), 12.0);
}

// WordPad and Word on a Japanese Windows write \ansicpg932 and every double-byte character as
// two \'xx escapes (a trail byte may also come plainly); font names are CP932 bytes too.
void TestRtfReader::wordPadStyleShiftJis()
{
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041"
        "{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;}"
        "{\\f1\\fswiss\\fcharset0 Arial;}}\r\n"
        "{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green255\\blue0;}\r\n"
        "{\\*\\generator Msftedit 5.41.21.2510;}\\viewkind4\\uc1\\pard\\lang1041\\f0\\fs20 "
        "\\'93\\'fa\\'96\\'7b\\'8c\\'ea\\'82\\'cc\\'95\\'b6\\'8f\\'91\\'81\\'42\\'83\\'5c\\'83"
        "\\'74\\'83\\'67\\'81\\'41\\'95\\\\\\'81\\'41\\'94\\'5c\\'97\\'cd\\par\r\n"
        "\\cf1\\b\\'91\\'be\\'8e\\'9a\\cf0\\b0  \\f1 plain \\f0\\'83A\\par\r\n"
        "\\pard\\qc\\highlight2\\'92\\'86\\'89\\'9b\\highlight0\\par\r\n"
        "\\pard\\qr\\ul\\'89\\'45\\ulnone\\par\r\n"
        "}\r\n";
    QTextDocument doc;
    QVERIFY(RtfReader::read(rtf, &doc));
    const QStringList lines = doc.toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("日本語の文書。ソフト、表、能力"));
    QCOMPARE(lines.value(1), QStringLiteral("太字 plain ア"));
    QCOMPARE(lines.value(2), QStringLiteral("中央"));
    QCOMPARE(lines.value(3), QStringLiteral("右"));
    const QTextCharFormat bold = formatOf(doc, QStringLiteral("太字"));
    QVERIFY(bold.font().bold());
    QCOMPARE(bold.foreground().color(), QColor(0, 0, 255));
    QCOMPARE(bold.fontPointSize(), 10.0);
    QCOMPARE(bold.fontFamilies().toStringList().value(0), QStringLiteral("ＭＳ 明朝"));
    QVERIFY(!formatOf(doc, QStringLiteral("plain")).font().bold());
    QCOMPARE(formatOf(doc, QStringLiteral("plain")).fontFamilies().toStringList().value(0),
             QStringLiteral("Arial"));
    QCOMPARE(formatOf(doc, QStringLiteral("中央")).background().color(), QColor(255, 255, 0));
    QCOMPARE(alignmentOf(doc, QStringLiteral("中央")), Qt::AlignHCenter);
    QCOMPARE(alignmentOf(doc, QStringLiteral("右")), Qt::AlignRight);
    QVERIFY(formatOf(doc, QStringLiteral("右")).fontUnderline());
}

void TestRtfReader::unicodeEscapesAndTheirFallbacks()
{
    // \uc2 with a two-byte CP932 fallback; \uc1 with '?'; \uc0; a negative value; a surrogate
    // pair; the skip count ends with the group; a \'xx in a skip counts as one.
    QCOMPARE(read("{\\rtf1\\ansi\\ansicpg932{\\uc2\\u26085\\'93\\'fa\\u26412\\'96\\'7b}x}"),
             QStringLiteral("日本x"));
    QCOMPARE(read("{\\rtf1\\uc1 a\\u26085?b}"), QStringLiteral("a日b"));
    QCOMPARE(read("{\\rtf1\\uc0 a\\u26085 b}"), QStringLiteral("a日b"));
    QCOMPARE(read("{\\rtf1 \\u-3913?}"), QString(QChar(0xF0B7)));
    QCOMPARE(read("{\\rtf1 \\u-10179?\\u-8704?}"), QStringLiteral("😀"));
    QCOMPARE(read("{\\rtf1\\uc3 {\\u26085}abc}"), QStringLiteral("日abc"));
    QCOMPARE(read("{\\rtf1\\uc2 \\u26085\\'3f\\'3fz}"), QStringLiteral("日z"));
}

void TestRtfReader::skippedDestinations()
{
    const QByteArray rtf =
        "{\\rtf1\\ansi{\\stylesheet{\\s0 Normal;}}{\\info{\\title Secret title}{\\author A}}"
        "{\\header header text}{\\footer footer text}{\\*\\unknowndest hidden}"
        "{\\*\\panose 0000}A{\\pict\\wmetafile8\\picw10 0102ABCDEF}B"
        "{\\object{\\*\\objdata 0102}{\\result C}}"
        "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}"
        "{\\v hidden}D{\\pict\\bin6 }}{{{{z}E}";
    QCOMPARE(read(rtf), QStringLiteral("ABlinkDE"));
}

void TestRtfReader::specialCharacters()
{
    QCOMPARE(
        read("{\\rtf1 a\\line b\\tab c\\~d\\-e\\_f\\{\\}\\\\\\emdash\\bullet\\lquote x\\rquote}"),
        QStringLiteral("a\nb\tc\u00A0d\u00ADe\u2011f{}\\\u2014\u2022\u2018x\u2019"));
    // A backslash before a line end is a paragraph; plain line ends in the file are nothing.
    QCOMPARE(read("{\\rtf1 one\\\r\ntwo\r\nthree\\par four}"),
             QStringLiteral("one\ntwothree\nfour"));
}

// Everything the reader understands survives writing and reading again, character by character.
void TestRtfReader::writtenRtfReadsBackTheSame()
{
    QTextDocument first;
    QVERIFY(RtfReader::read(dataFile(QStringLiteral("libreoffice_ja.rtf")), &first));
    QTextCursor cursor(&first);
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat mark;
    mark.setFontStrikeOut(true);
    mark.setBackground(QColor(0, 128, 0));
    cursor.insertText(QStringLiteral("消{す}\\線"), mark);
    cursor.insertText(QStringLiteral("\u2028😀\u00A0end"));

    const QByteArray written = preview::RtfWriter::write(&first);
    QTextDocument second;
    QVERIFY(RtfReader::read(written, &second));
    QCOMPARE(second.toRawText(), first.toRawText());
    for (int pos = 1; pos < first.characterCount(); ++pos) {
        QTextCursor a(&first), b(&second);
        a.setPosition(pos);
        b.setPosition(pos);
        const QTextCharFormat fa = a.charFormat(), fb = b.charFormat();
        const QString where = QStringLiteral("at %1").arg(pos);
        QVERIFY2(fa.font().bold() == fb.font().bold(), qPrintable(where));
        QVERIFY2(fa.fontItalic() == fb.fontItalic(), qPrintable(where));
        QVERIFY2(fa.fontUnderline() == fb.fontUnderline(), qPrintable(where));
        QVERIFY2(fa.fontStrikeOut() == fb.fontStrikeOut(), qPrintable(where));
        const auto size = [](const QTextDocument& d, const QTextCharFormat& f) {
            return f.fontPointSize() > 0 ? f.fontPointSize() : d.defaultFont().pointSizeF();
        };
        QVERIFY2(size(first, fa) == size(second, fb), qPrintable(where));
        const auto family = [](const QTextDocument& d, const QTextCharFormat& f) {
            const QStringList families = f.fontFamilies().toStringList();
            return families.isEmpty() ? d.defaultFont().family() : families.first();
        };
        QVERIFY2(family(first, fa) == family(second, fb), qPrintable(where));
        QVERIFY2(fa.foreground().color() == fb.foreground().color(), qPrintable(where));
        QVERIFY2(fa.background().color() == fb.background().color(), qPrintable(where));
        QVERIFY2(a.block().blockFormat().alignment() == b.block().blockFormat().alignment(),
                 qPrintable(where));
    }
}

void TestRtfReader::brokenInputs()
{
    const QList<QByteArray> inputs = {
        "{\\rtf",
        "{\\rtf1",
        "{\\rtf1 {{{{{{ open",
        "{\\rtf1 text}}}}}} after",
        "{\\rtf1 \\u99999999999999999999999999 x}",
        "{\\rtf1 \\fs-99999999999999 \\cf99999999 \\f-5 \\highlight-3 y}",
        "{\\rtf1 \\bin99999999999 zzz",
        "{\\rtf1 \\bin-5 w}",
        "{\\rtf1 \\'",
        "{\\rtf1 \\'4",
        "{\\rtf1 \\'zz v}",
        "{\\rtf1 \\",
        "{\\rtf1{\\fonttbl{\\f0\\fcharset128 \\'82",
        "{\\rtf1{\\colortbl;\\red300\\green-1",
        "{\\rtf1\\ansicpg999999 \\'82\\'a0}",
        "{\\rtf1\\ansicpg932 \\'82}",
        "{\\rtf1 " + QByteArray(1000, 'a') + "\\" + QByteArray(5000, 'q') + " b}",
        "{\\rtf1 " + QByteArray(200000, '{') + "deep" + QByteArray(200000, '}') + "out}",
        "{\\rtf1 " + QByteArray(100000, '}') + "after}",
    };
    for (const QByteArray& input : inputs) {
        QTextDocument doc;
        QVERIFY(RtfReader::read(input, &doc));
    }
    QCOMPARE(read("{\\rtf1 text}}}}}} after"), QStringLiteral("text after"));
    QCOMPARE(read("{\\rtf1 \\u99999999999999999999999999 ?x}"), QStringLiteral("\uFFFDx"));
    // A lead byte without its trail byte is one replacement character, not lost text around it.
    QCOMPARE(read("{\\rtf1\\ansicpg932 a\\'82}").size(), 2);
    QVERIFY(read("{\\rtf1 " + QByteArray(200000, '{') + "deep" + QByteArray(200000, '}') + "out}")
                .endsWith(QStringLiteral("deepout")));
    QCOMPARE(read("{\\rtf1 \\bin-5 w}"), QStringLiteral("w"));
}

// Random damage to a real document: bytes replaced, cut short, braces and backslashes thrown in.
void TestRtfReader::mutatedDocuments()
{
    const QByteArray original = dataFile(QStringLiteral("libreoffice_ja.rtf"));
    QRandomGenerator random(20261208);
    const char specials[] = {'{', '}', '\\', '\'', '-', '9', 'u', 'b', 'i', 'n', ' '};
    int read = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray damaged = original;
        const int edits = 1 + random.bounded(12);
        for (int e = 0; e < edits; ++e) {
            const int at = random.bounded(int(damaged.size()));
            if (random.bounded(2))
                damaged[at] = specials[random.bounded(int(sizeof specials))];
            else
                damaged[at] = char(random.bounded(256));
        }
        if (random.bounded(4) == 0)
            damaged.truncate(5 + random.bounded(int(damaged.size()) - 5));
        QTextDocument doc;
        read += RtfReader::read(damaged, &doc) ? 1 : 0;
    }
    QVERIFY(read > 1400); // all but the few whose "{\rtf" itself was damaged
}

void TestRtfReader::notRtf()
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("kept"));
    QVERIFY(!RtfReader::read("plain {\\rtf1 text}", &doc));
    QVERIFY(!RtfReader::read(QByteArray(), &doc));
    QCOMPARE(doc.toPlainText(), QStringLiteral("kept"));
    QVERIFY(RtfReader::isRtf("{\\rtf1\\ansi x}"));
    QVERIFY(!RtfReader::isRtf("{\\rt"));
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtf_reader.moc"
