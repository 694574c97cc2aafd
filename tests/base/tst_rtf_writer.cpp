// The RTF writer: what it writes, and that our reader and LibreOffice read it back.
#include "base/RtfWriter.h"
#include "platform/RtfReader.h"

#include <QFile>
#include <QFontDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using preview::RtfReader;
using preview::RtfWriter;

namespace
{

struct Run {
    QString text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor color;
};

struct Paragraph {
    Qt::Alignment alignment;
    QList<Run> runs;
};

// A document with every format the writer knows, in Japanese and with the awkward characters.
QList<Paragraph> sample()
{
    return {
        {Qt::AlignLeft,
         {{QStringLiteral("普通の文字と "), false, false, false, {}},
          {QStringLiteral("太字"), true, false, false, {}},
          {QStringLiteral("、"), false, false, false, {}},
          {QStringLiteral("斜体"), false, true, false, {}},
          {QStringLiteral("と"), false, false, false, {}},
          {QStringLiteral("下線"), false, false, true, {}}}},
        {Qt::AlignHCenter, {{QStringLiteral("中央の赤い字"), false, false, false, Qt::red}}},
        {Qt::AlignRight,
         {{QStringLiteral("右揃え ｶﾀｶﾅ ①Ⅱ㈱ 髙"), true, true, true, QColor(0, 128, 255)}}},
        {Qt::AlignJustify,
         {{QStringLiteral("記号 \\ { } と\tタブ、CP932 にない字 😀 한 é"),
           false,
           false,
           false,
           {}}}},
    };
}

void build(QTextDocument& document, const QList<Paragraph>& paragraphs)
{
    QTextCursor cursor(&document);
    bool first = true;
    for (const Paragraph& p : paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(p.alignment);
        if (first)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block);
        first = false;
        for (const Run& r : p.runs) {
            QTextCharFormat f;
            f.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
            f.setFontItalic(r.italic);
            f.setFontUnderline(r.underline);
            if (r.color.isValid())
                f.setForeground(r.color);
            cursor.insertText(r.text, f);
        }
    }
}

QString paragraphText(const QList<Paragraph>& paragraphs)
{
    QStringList lines;
    for (const Paragraph& p : paragraphs) {
        QString line;
        for (const Run& r : p.runs)
            line += r.text;
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}

QString textOf(const QTextDocument& document)
{
    QString raw = document.toRawText();
    raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return raw;
}

} // namespace

class RtfWriterTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void writesCp932BytesAndUnicodeEscapes();
    void readsBackWithEveryFormat();
    void latinFontRunsUseUnicodeEscapes();
    void libreOfficeReadsTheJapaneseText();
};

void RtfWriterTest::writesCp932BytesAndUnicodeEscapes()
{
    QTextDocument document;
    document.setDefaultFont(QFont(QStringLiteral("ＭＳ 明朝"), 12));
    build(document, sample());
    const QByteArray rtf = RtfWriter::write(&document);
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg932"));
    // The Japanese font name is in CP932 under the Japanese character set.
    QVERIFY2(rtf.contains("\\fcharset128 \\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;"),
             rtf.constData());
    QVERIFY(rtf.contains("\\'91\\'be\\'8e\\'9a")); // 太字
    QVERIFY(rtf.contains("\\'b6\\'c0\\'b6\\'c5")); // ｶﾀｶﾅ, one byte each
    QVERIFY(rtf.contains("\\'87\\'40"));           // ① (an NEC extension)
    QVERIFY(!rtf.contains("\\u39641?"));           // 髙 (an IBM extension) is CP932 too
    QVERIFY(rtf.contains("\\u-10179?\\u-8704?"));  // 😀, a surrogate pair
    QVERIFY(rtf.contains("\\u-10916?"));           // 한 (U+D55C)
    QVERIFY(rtf.contains("\\u233?"));              // é
    QVERIFY(rtf.contains("\\\\ \\{ \\}"));
    QVERIFY(rtf.contains("\\tab "));
    QVERIFY(rtf.contains("\\qc") && rtf.contains("\\qr") && rtf.contains("\\qj"));
    QVERIFY(rtf.contains("\\fs24"));
    QVERIFY(rtf.contains("{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}"));
    QCOMPARE(rtf.count("\\par\n"), 3);
    // Nothing but 7-bit bytes: every other character went through an escape.
    for (const char c : rtf)
        QVERIFY(static_cast<unsigned char>(c) < 0x80);
}

void RtfWriterTest::readsBackWithEveryFormat()
{
    const QList<Paragraph> paragraphs = sample();
    QTextDocument document;
    QFont gothic(QStringLiteral("ＭＳ ゴシック"));
    gothic.setPointSizeF(10.5);
    document.setDefaultFont(gothic);
    build(document, paragraphs);
    QTextDocument back;
    QVERIFY(RtfReader::read(RtfWriter::write(&document), &back));
    QCOMPARE(textOf(back), paragraphText(paragraphs));
    QCOMPARE(back.blockCount(), paragraphs.size());
    QTextBlock block = back.begin();
    for (const Paragraph& p : paragraphs) {
        QCOMPARE(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, p.alignment);
        int at = block.position();
        for (const Run& r : p.runs) {
            // The format of each character of the run.
            for (int i = 0; i < r.text.size(); ++i) {
                QTextCursor c(&back);
                c.setPosition(at + i);
                c.setPosition(at + i + 1, QTextCursor::KeepAnchor);
                const QTextCharFormat f = c.charFormat();
                const QString where = r.text + QStringLiteral(" @") + QString::number(i);
                QVERIFY2(f.font().bold() == r.bold, qPrintable(where));
                QVERIFY2(f.fontItalic() == r.italic, qPrintable(where));
                QVERIFY2(f.fontUnderline() == r.underline, qPrintable(where));
                if (r.color.isValid())
                    QCOMPARE(f.foreground().color(), r.color);
                else
                    QVERIFY2(!f.hasProperty(QTextFormat::ForegroundBrush), qPrintable(where));
                QCOMPARE(f.fontPointSize(), 10.5);
                QCOMPARE(f.fontFamilies().toStringList().value(0), QStringLiteral("ＭＳ ゴシック"));
            }
            at += int(r.text.size());
        }
        block = block.next();
    }
}

// A font without Japanese has the western character set, so its text cannot be CP932 bytes.
void RtfWriterTest::latinFontRunsUseUnicodeEscapes()
{
    QString latin;
    for (const QString& family : QFontDatabase::families()) {
        if (!RtfWriter::isJapaneseFont(family)) {
            latin = family;
            break;
        }
    }
    if (latin.isEmpty())
        QSKIP("every installed font covers Japanese");
    QTextDocument document;
    document.setDefaultFont(QFont(latin, 12));
    QTextCursor(&document).insertText(QStringLiteral("abc 日本"));
    const QByteArray rtf = RtfWriter::write(&document);
    QVERIFY(rtf.contains("\\fcharset0 "));
    QVERIFY2(rtf.contains("abc \\u26085?\\u26412?"), rtf.constData());
    QVERIFY(!rtf.contains("\\'93"));
    QTextDocument back;
    QVERIFY(RtfReader::read(rtf, &back));
    QCOMPARE(textOf(back), QStringLiteral("abc 日本"));
}

void RtfWriterTest::libreOfficeReadsTheJapaneseText()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QSKIP("soffice is not installed: LibreOffice's reading of the RTF is not checked");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QList<Paragraph> paragraphs = sample();
    QTextDocument document;
    document.setDefaultFont(QFont(QStringLiteral("ＭＳ 明朝"), 12));
    build(document, paragraphs);
    QFile rtf(dir.filePath(QStringLiteral("written.rtf")));
    QVERIFY(rtf.open(QIODevice::WriteOnly));
    rtf.write(RtfWriter::write(&document));
    rtf.close();

    QProcess office;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path()); // a profile of its own
    office.setProcessEnvironment(env);
    office.setWorkingDirectory(dir.path());
    office.start(
        soffice,
        {QStringLiteral("--headless"), QStringLiteral("--norestore"),
         QStringLiteral("-env:UserInstallation=file://") + dir.path() + QStringLiteral("/profile"),
         QStringLiteral("--convert-to"), QStringLiteral("txt:Text (encoded):UTF8"),
         QStringLiteral("--outdir"), dir.path(), rtf.fileName()});
    QVERIFY(office.waitForFinished(180000));
    QFile txt(dir.filePath(QStringLiteral("written.txt")));
    QVERIFY2(txt.open(QIODevice::ReadOnly), office.readAllStandardError().constData());
    QString text = QString::fromUtf8(txt.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    QCOMPARE(text, paragraphText(paragraphs));
}

QTEST_MAIN(RtfWriterTest)
#include "tst_rtf_writer.moc"
