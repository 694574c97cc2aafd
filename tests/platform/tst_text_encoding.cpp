#include "platform/TextEncoding.h"

#include <QFile>
#include <QTest>

using platform::LineEnd;

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

QString reference()
{
    // The reference file is UTF-8 with CRLF; its text with '\n' line ends.
    return QString::fromUtf8(dataFile(QStringLiteral("ja_utf8_crlf.txt")))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

class TestTextEncoding : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyEncodingGivesTheUtf8Text_data();
    void everyEncodingGivesTheUtf8Text();
    void shortJapaneseTexts_data();
    void shortJapaneseTexts();
    void piecesSplitInsideCharactersAndLineEnds();
    void lineEndStyles_data();
    void lineEndStyles();
    void laterNonUtf8PartIsDetectedAgain();
    void latinText();
    void refusesCharactersTheEncodingLacks();
};

void TestTextEncoding::everyEncodingGivesTheUtf8Text_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<int>("lineEnd");
    QTest::newRow("utf-8") << "ja_utf8_crlf.txt" << QByteArray("UTF-8") << false
                           << int(LineEnd::CrLf);
    QTest::newRow("utf-8 bom, CR")
        << "ja_utf8_bom_cr.txt" << QByteArray("UTF-8") << true << int(LineEnd::Cr);
    QTest::newRow("cp932") << "ja_cp932_crlf.txt" << QByteArray("windows-31j") << false
                           << int(LineEnd::CrLf);
    QTest::newRow("euc-jp, LF") << "ja_eucjp_lf.txt" << QByteArray("EUC-JP") << false
                                << int(LineEnd::Lf);
    QTest::newRow("iso-2022-jp") << "ja_iso2022jp_crlf.txt" << QByteArray("ISO-2022-JP") << false
                                 << int(LineEnd::CrLf);
    QTest::newRow("utf-16le") << "ja_utf16le_bom_crlf.txt" << QByteArray("UTF-16LE") << true
                              << int(LineEnd::CrLf);
    QTest::newRow("utf-16be") << "ja_utf16be_bom_crlf.txt" << QByteArray("UTF-16BE") << true
                              << int(LineEnd::CrLf);
}

// Each file decodes to the reference text, and writing it back gives the file's exact bytes.
void TestTextEncoding::everyEncodingGivesTheUtf8Text()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, encoding);
    QFETCH(bool, bom);
    QFETCH(int, lineEnd);
    const QByteArray bytes = dataFile(file);
    const platform::DecodedText decoded = platform::decodeText(bytes);
    QCOMPARE(decoded.format.encoding, encoding);
    QCOMPARE(decoded.format.bom, bom);
    QCOMPARE(int(decoded.format.lineEnd), lineEnd);
    QVERIFY(!decoded.format.mixedLineEnds);
    QVERIFY(!decoded.hadErrors);
    QCOMPARE(decoded.text, reference());

    QByteArray written;
    QVERIFY(platform::encodeText(decoded.text, decoded.format, written));
    QCOMPARE(written, bytes);
}

void TestTextEncoding::shortJapaneseTexts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("text");
    // "こんにちは" as iconv writes it.
    QTest::newRow("cp932 greeting") << QByteArray::fromHex("82b182f182c982bf82cd")
                                    << QByteArray("windows-31j") << QStringLiteral("こんにちは");
    QTest::newRow("euc-jp greeting") << QByteArray::fromHex("a4b3a4f3a4cba4c1a4cf")
                                     << QByteArray("EUC-JP") << QStringLiteral("こんにちは");
    // "中央" and "ソフト、表、能力": trail bytes 0x5C that a naive reader takes for a backslash.
    QTest::newRow("cp932 two kanji")
        << QByteArray::fromHex("9286899b") << QByteArray("windows-31j") << QStringLiteral("中央");
    QTest::newRow("cp932 0x5C trails")
        << QByteArray::fromHex("835c837483678141955c8141945c97cd") << QByteArray("windows-31j")
        << QStringLiteral("ソフト、表、能力");
    QTest::newRow("iso-2022-jp greeting")
        << QByteArray::fromHex("1b244224332473244b2441244f1b2842") << QByteArray("ISO-2022-JP")
        << QStringLiteral("こんにちは");
}

void TestTextEncoding::shortJapaneseTexts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, encoding);
    QFETCH(QString, text);
    const platform::DecodedText decoded = platform::decodeText(bytes);
    QCOMPARE(decoded.format.encoding, encoding);
    QVERIFY(!decoded.hadErrors);
    QCOMPARE(decoded.text, text);
}

// Decoding in tiny pieces cuts multi-byte characters, UTF-16 units and CRLF pairs apart; the
// result must be the same as in one piece.
void TestTextEncoding::piecesSplitInsideCharactersAndLineEnds()
{
    const QStringList files = {
        QStringLiteral("ja_utf8_crlf.txt"),        QStringLiteral("ja_cp932_crlf.txt"),
        QStringLiteral("ja_eucjp_lf.txt"),         QStringLiteral("ja_iso2022jp_crlf.txt"),
        QStringLiteral("ja_utf16le_bom_crlf.txt"), QStringLiteral("ja_utf8_bom_cr.txt")};
    for (const QString& file : files) {
        const QByteArray bytes = dataFile(file);
        for (qsizetype piece : {16, 17, 19, 23}) {
            platform::TextFormat format = platform::detectEncoding(bytes);
            QString text;
            const bool ok =
                platform::decodeChunks(bytes, format, piece, [&](QString& p) { text += p; });
            QVERIFY2(ok, qPrintable(file));
            QCOMPARE(text, reference());
            QVERIFY2(!format.mixedLineEnds, qPrintable(file));
        }
    }
}

void TestTextEncoding::lineEndStyles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lineEnd");
    QTest::addColumn<bool>("mixed");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QByteArray("one line") << int(LineEnd::Lf) << false << "one line";
    QTest::newRow("lf") << QByteArray("a\nb\n") << int(LineEnd::Lf) << false << "a\nb\n";
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << int(LineEnd::CrLf) << false << "a\nb\n";
    QTest::newRow("cr") << QByteArray("a\rb\r") << int(LineEnd::Cr) << false << "a\nb\n";
    QTest::newRow("mostly crlf") << QByteArray("a\r\nb\r\nc\nd\r\n") << int(LineEnd::CrLf) << true
                                 << "a\nb\nc\nd\n";
    QTest::newRow("cr cr lf cr") << QByteArray("a\r\r\nb\rc") << int(LineEnd::Cr) << true
                                 << "a\n\nb\nc";
}

void TestTextEncoding::lineEndStyles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lineEnd);
    QFETCH(bool, mixed);
    QFETCH(QString, text);
    const platform::DecodedText decoded = platform::decodeText(bytes);
    QCOMPARE(decoded.text, text);
    QCOMPARE(int(decoded.format.lineEnd), lineEnd);
    QCOMPARE(decoded.format.mixedLineEnds, mixed);
    if (!mixed) {
        QByteArray written;
        QVERIFY(platform::encodeText(decoded.text, decoded.format, written));
        QCOMPARE(written, bytes);
    }
}

// A long ASCII head looks like UTF-8; CP932 text after it must not come out as U+FFFD.
void TestTextEncoding::laterNonUtf8PartIsDetectedAgain()
{
    QByteArray bytes;
    while (bytes.size() < 600 * 1024)
        bytes += "2026-12-08 12:00:00 INFO request handled\r\n";
    const QByteArray japanese = dataFile(QStringLiteral("ja_cp932_crlf.txt"));
    bytes += japanese;
    const platform::DecodedText decoded = platform::decodeText(bytes);
    QCOMPARE(decoded.format.encoding, QByteArray("windows-31j"));
    QVERIFY(!decoded.hadErrors);
    QVERIFY(decoded.text.endsWith(reference()));
}

void TestTextEncoding::latinText()
{
    // "Café crème, naïve façade" in windows-1252.
    const QByteArray bytes("Caf\xe9 cr\xe8me, na\xefve fa\xe7"
                           "ade. Der B\xe4r sa\xdf am Fl\xfc"
                           "sse.\n");
    const platform::DecodedText decoded = platform::decodeText(bytes);
    QVERIFY(!decoded.hadErrors);
    QCOMPARE(decoded.text, QStringLiteral("Café crème, naïve façade. Der Bär saß am Flüsse.\n"));
}

void TestTextEncoding::refusesCharactersTheEncodingLacks()
{
    platform::TextFormat format;
    format.encoding = "windows-31j";
    QByteArray out("old");
    QVERIFY(!platform::encodeText(QStringLiteral("漢字😀"), format, out));
    QVERIFY(out.isEmpty());
    format.encoding = "EUC-JP";
    QVERIFY(platform::encodeText(QStringLiteral("漢字"), format, out));
    QCOMPARE(out, QByteArray::fromHex("b4c1bbfa"));
    // A lone surrogate has no UTF-8 form either.
    format.encoding = "UTF-8";
    QVERIFY(!platform::encodeText(QString(QChar(0xD800)), format, out));
}

QTEST_APPLESS_MAIN(TestTextEncoding)
#include "tst_text_encoding.moc"
