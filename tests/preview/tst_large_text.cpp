// The large-file view's rows, encodings and search, on files written in each encoding.
#include "platform/TextEncoding.h"
#include "preview/LargeTextFile.h"
#include "preview/LargeTextSearch.h"
#include "preview/LargeTextView.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using preview::FindRequest;
using preview::LargeTextView;
using preview::TextPos;

namespace
{

QByteArray encoded(const QString& text, const QByteArray& encoding, bool bom, bool crlf)
{
    platform::TextFormat format;
    format.encoding = encoding;
    format.bom = bom;
    format.lineEnd = crlf ? platform::LineEnd::CrLf : platform::LineEnd::Lf;
    QByteArray out;
    if (!platform::encodeText(text, format, out))
        qFatal("text not encodable");
    return out;
}

// Lines of a log, with a line whose first non-ASCII character starts just before each of the
// byte offsets in `cross`, so that the character straddles it.
struct LogFile {
    QStringList lines;
    QByteArray bytes;
};

LogFile makeLog(const QByteArray& encoding, bool bom, bool crlf, qsizetype approxBytes,
                QList<qsizetype> cross)
{
    const bool wide = encoding.startsWith("UTF-16");
    // In UTF-16 also units whose bytes hold 0x0A 0x00 (LE) or 0x00 0x0A (BE) at an odd offset,
    // which are no line feed.
    const QString straddler =
        wide ? QStringLiteral("𠮷野家\u0A05\u3000\u0A05") : QStringLiteral("日本語");
    const qsizetype unit = wide ? 2 : 1;
    const qsizetype eol = (crlf ? 2 : 1) * unit;
    LogFile log;
    qsizetype offset = bom ? (encoding == "UTF-8" ? 3 : 2) : 0;
    auto add = [&](const QString& line) {
        log.lines << line;
        offset += encoded(line, encoding, false, false).size() + eol;
    };
    for (int i = 0; offset < approxBytes; ++i) {
        if (!cross.isEmpty() && offset + 300 >= cross.first()) {
            // ASCII up to just before the boundary, then the multi-byte character.
            const qsizetype back = wide ? 2 : 1;
            const qsizetype pad = (cross.first() - back - offset) / unit;
            cross.removeFirst();
            add(QString(pad, QLatin1Char('x')) + straddler + QStringLiteral(" 境界をまたぐ行"));
            continue;
        }
        add(QStringLiteral("2026-12-08 %1 INFO 要求 %2 を処理しました（ｶﾅ） abcXYZ")
                .arg(i % 86400)
                .arg(i));
    }
    log.bytes = encoded(log.lines.join(QLatin1Char('\n')), encoding, bom, crlf);
    return log;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

} // namespace

class LargeTextTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowsInEveryEncoding_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<bool>("bom");
        QTest::addColumn<bool>("crlf");
        QTest::addColumn<bool>("trailingLineEnd");
        QTest::newRow("cp932 crlf") << QByteArray("windows-31j") << false << true << false;
        QTest::newRow("utf-8 lf") << QByteArray("UTF-8") << false << false << true;
        QTest::newRow("utf-8 bom crlf") << QByteArray("UTF-8") << true << true << false;
        QTest::newRow("utf-16le bom crlf") << QByteArray("UTF-16LE") << true << true << true;
        QTest::newRow("utf-16be bom lf") << QByteArray("UTF-16BE") << true << false << false;
        QTest::newRow("euc-jp lf") << QByteArray("EUC-JP") << false << false << true;
    }

    void rowsInEveryEncoding()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(bool, bom);
        QFETCH(bool, crlf);
        QFETCH(bool, trailingLineEnd);
        // Boundaries: a page inside the first piece the index reads, and that piece's end.
        const qsizetype page = 10 * 4096, piece = 256 * 1024;
        LogFile log = makeLog(encoding, bom, crlf, 700 * 1024, {page, piece});
        if (trailingLineEnd) {
            log.bytes += encoded(QStringLiteral("\n"), encoding, false, crlf);
            log.lines << QString();
        }
        // The construction really puts a character across both boundaries.
        for (const qsizetype b : {page, piece}) {
            const auto at = [&](qsizetype i) { return static_cast<unsigned char>(log.bytes[i]); };
            if (encoding == "UTF-16LE")
                QVERIFY(at(b - 1) >= 0xD8 && at(b - 1) <= 0xDB);
            else if (encoding == "UTF-16BE")
                QVERIFY(at(b - 2) >= 0xD8 && at(b - 2) <= 0xDB);
            else
                QVERIFY(at(b - 1) >= 0x80 && at(b) >= 0x80);
        }
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("log.txt"), log.bytes);

        LargeTextView view;
        view.resize(600, 400);
        QVERIFY(view.open(path));
        QCOMPARE(view.encoding(), encoding);
        // The first screen is there before the index is built.
        QCOMPARE(view.rowText(0), log.lines.first());
        QCOMPARE(view.rowText(1), log.lines.at(1));
        QTRY_VERIFY_WITH_TIMEOUT(view.indexComplete(), 20000);
        QCOMPARE(view.rowCount(), log.lines.size());
        QList<qsizetype> rows{0, 1, log.lines.size() / 2, log.lines.size() - 2,
                              log.lines.size() - 1};
        for (qsizetype i = 0; i < log.lines.size(); ++i) {
            if (log.lines.at(i).contains(QStringLiteral("境界")))
                rows << i - 1 << i << i + 1;
        }
        QCOMPARE(rows.size(), 11);
        for (const qsizetype r : rows)
            QCOMPARE(view.rowText(r), log.lines.at(r));
        // Every row, read from scratch in screens as scrolling would.
        LargeTextView again;
        QVERIFY(again.open(path));
        QTRY_VERIFY_WITH_TIMEOUT(again.indexComplete(), 20000);
        for (qsizetype r = log.lines.size() - 1; r >= 0; r -= 97)
            QCOMPARE(again.rowText(r), log.lines.at(r));
    }

    void longLinesAreCutBetweenCharacters_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::newRow("utf-8") << QByteArray("UTF-8");
        QTest::newRow("cp932") << QByteArray("windows-31j");
        QTest::newRow("euc-jp") << QByteArray("EUC-JP");
        QTest::newRow("utf-16le") << QByteArray("UTF-16LE");
    }

    void longLinesAreCutBetweenCharacters()
    {
        QFETCH(QByteArray, encoding);
        // One ASCII byte first, so that no cut falls on a character boundary by chance.
        QString longLine = QStringLiteral("a");
        for (int i = 0; i < 45000; ++i)
            longLine += i % 7 == 0 ? QStringLiteral("漢") : QStringLiteral("あ");
        const QString text = QStringLiteral("first\n") + longLine + QStringLiteral("\nlast");
        QTemporaryDir dir;
        const QString path =
            writeFile(dir, QStringLiteral("long.txt"), encoded(text, encoding, false, false));
        LargeTextView view;
        QVERIFY(view.open(path, encoding));
        QTRY_VERIFY_WITH_TIMEOUT(view.indexComplete(), 20000);
        QVERIFY(view.rowCount() > 3);
        QCOMPARE(view.rowText(0), QStringLiteral("first"));
        QString joined;
        for (qint64 r = 1; r < view.rowCount() - 1; ++r) {
            const QString row = view.rowText(r);
            QVERIFY(!row.contains(QChar(QChar::ReplacementCharacter)));
            joined += row;
        }
        QCOMPARE(joined, longLine);
        QCOMPARE(view.rowText(view.rowCount() - 1), QStringLiteral("last"));
    }

    void switchingTheEncodingDecodesAgain()
    {
        const LogFile log = makeLog("windows-31j", false, true, 300 * 1024, {});
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("sjis.log"), log.bytes);
        LargeTextView view;
        QSignalSpy changed(&view, &LargeTextView::encodingChanged);
        QVERIFY(view.open(path));
        QCOMPARE(view.encoding(), QByteArray("windows-31j"));
        QTRY_VERIFY_WITH_TIMEOUT(view.indexComplete(), 20000);
        const qint64 mid = log.lines.size() / 2;
        QCOMPARE(view.rowText(mid), log.lines.at(mid));

        view.setEncoding("EUC-JP");
        QCOMPARE(view.encoding(), QByteArray("EUC-JP"));
        QCOMPARE(changed.last().first().toByteArray(), QByteArray("EUC-JP"));
        QTRY_VERIFY_WITH_TIMEOUT(view.indexComplete(), 20000);
        QVERIFY(view.rowText(mid) != log.lines.at(mid));
        QVERIFY(view.rowText(mid).startsWith(QStringLiteral("2026-12-08 ")));

        // The same bytes read as UTF-16: other rows altogether.
        view.setEncoding("UTF-16LE");
        QTRY_VERIFY_WITH_TIMEOUT(view.indexComplete(), 20000);
        QVERIFY(view.rowCount() != log.lines.size());

        view.setEncoding("windows-31j");
        QTRY_VERIFY_WITH_TIMEOUT(view.indexComplete(), 20000);
        QCOMPARE(view.rowCount(), log.lines.size());
        QCOMPARE(view.rowText(mid), log.lines.at(mid));
    }

    void anotherFileAbandonsTheIndex()
    {
        const LogFile big = makeLog("UTF-8", false, false, 24 * 1024 * 1024, {});
        QTemporaryDir dir;
        const QString bigPath = writeFile(dir, QStringLiteral("big.log"), big.bytes);
        const QString smallPath =
            writeFile(dir, QStringLiteral("small.log"), QByteArray("one\ntwo\nthree"));
        LargeTextView view;
        QSignalSpy progress(&view, &LargeTextView::indexProgress);
        QVERIFY(view.open(bigPath));
        // The first rows are there at once, before any event is handled.
        QCOMPARE(view.rowText(0), big.lines.first());
        QVERIFY(view.indexing());
        // Another file at once: the worker of the first is stopped before open() returns ...
        QVERIFY(view.open(smallPath));
        QTRY_VERIFY_WITH_TIMEOUT(view.indexComplete(), 20000);
        QCOMPARE(view.rowCount(), 3);
        // ... and nothing it had sent before stopping lands on the second file.
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(view.rowCount(), 3);
        for (const QList<QVariant>& args : progress)
            QVERIFY(args.first().toLongLong() <= 3);
        QCOMPARE(view.rowText(2), QStringLiteral("three"));

        // Closing stops it just the same.
        QVERIFY(view.open(bigPath));
        view.close();
        QVERIFY(!view.indexing());
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(view.rowCount(), 0);
    }

    void searchRulesOnText()
    {
        using preview::findInText;
        const QString aaa = QStringLiteral("aaa");
        const QString aa = QStringLiteral("aa");
        // Down from the start, then continuing from the first match: overlapping matches.
        QCOMPARE(findInText(aaa, aa, false, true, 0, false), 1);
        QCOMPARE(findInText(aaa, aa, false, true, 0, true), 2);
        // No wrap-around: continuing from the second match finds nothing.
        QCOMPARE(findInText(aaa, aa, false, true, 1, true), 0);
        // Up from the very start: nothing at once.
        QCOMPARE(findInText(aaa, aa, false, false, 0, false), 0);
        // Up continuing from the second match finds the first.
        QCOMPARE(findInText(aaa, aa, false, false, 1, true), 1);
        // Case folded by upper case unless case must match.
        const QString mixed = QStringLiteral("xx ABC abc aBc ＡＢＣ ａｂｃ");
        QCOMPARE(findInText(mixed, QStringLiteral("abc"), false, true, 0, false), 4);
        QCOMPARE(findInText(mixed, QStringLiteral("abc"), true, true, 0, false), 8);
        QCOMPARE(findInText(mixed, QStringLiteral("abc"), false, true, 3, true), 8);
        QCOMPARE(findInText(mixed, QStringLiteral("ａｂｃ"), false, true, 0, false), 16);
        QCOMPARE(findInText(mixed, QStringLiteral("ａｂｃ"), true, true, 0, false), 20);
    }

    void searchOverTheFileFollowsTheRules()
    {
        // Rows of a few kinds of characters, several pieces long, checked against the
        // rules on the same text in memory for many carets, directions and cases.
        QRandomGenerator random(20261208);
        const QStringList words{QStringLiteral("aa"),   QStringLiteral("Ab"),
                                QStringLiteral("日本"), QStringLiteral("ｶﾅ"),
                                QStringLiteral("ａＢ"), QStringLiteral("xyz "),
                                QStringLiteral("α"),    QStringLiteral("12")};
        QStringList lines;
        qsizetype size = 0;
        while (size < 9 * 1024 * 1024) {
            QString line;
            const int n = random.bounded(0, 12);
            for (int k = 0; k < n; ++k)
                line += words.at(random.bounded(words.size()));
            size += line.size() * 2 + 1;
            lines << line;
        }
        const QString text = lines.join(QLatin1Char('\n'));
        std::vector<qsizetype> rowStart;
        qsizetype at = 0;
        for (const QString& line : lines) {
            rowStart.push_back(at);
            at += line.size() + 1;
        }
        for (const QByteArray& encoding : {QByteArray("UTF-8"), QByteArray("windows-31j")}) {
            QTemporaryDir dir;
            const QString path =
                writeFile(dir, QStringLiteral("rules.txt"), encoded(text, encoding, false, false));
            LargeTextView view;
            QVERIFY(view.open(path, encoding));
            QTRY_VERIFY_WITH_TIMEOUT(view.indexComplete(), 30000);
            QCOMPARE(view.rowCount(), lines.size());
            preview::RowIndex index;
            {
                // The view's index, rebuilt the way its worker builds it.
                preview::LargeTextReader reader(path, encoding);
                const QByteArray all = reader.read(0, reader.size());
                const preview::IndexPiece piece =
                    preview::scanPiece(reader.scanner(), all.constData(), all.size(), 0, 0, true);
                index.checkpoints = piece.checkpoints;
                index.rows = piece.rows;
                index.complete = true;
            }
            QCOMPARE(index.rows, lines.size());
            preview::LargeTextReader reader(path, encoding);
            std::atomic<bool> cancel{false};
            const QStringList patterns{
                QStringLiteral("aa"),   QStringLiteral("AB"), QStringLiteral("本ｶ"),
                QStringLiteral("ＡＢ"), QStringLiteral("Α"),  QStringLiteral("αa"),
                QStringLiteral("z 1"),  QStringLiteral("qq"), QStringLiteral("12aa")};
            int found = 0;
            for (int i = 0; i < 120; ++i) {
                FindRequest request;
                request.pattern = patterns.at(random.bounded(patterns.size()));
                request.matchCase = random.bounded(2) == 1;
                request.down = random.bounded(2) == 1;
                request.continuing = random.bounded(2) == 1;
                const qint64 row = random.bounded(static_cast<int>(lines.size()));
                const qint64 column = random.bounded(static_cast<int>(lines.at(row).size()) + 1);
                request.caret = TextPos{row, column};
                const qsizetype caret = rowStart[static_cast<size_t>(row)] + column;
                const qsizetype expected =
                    preview::findInText(text, request.pattern, request.matchCase, request.down,
                                        caret, request.continuing);
                const std::optional<TextPos> got =
                    preview::findInFile(reader, index, encoding, request, cancel);
                const qsizetype gotPos =
                    got ? rowStart[static_cast<size_t>(got->row)] + got->column + 1 : 0;
                QVERIFY2(gotPos == expected,
                         qPrintable(QStringLiteral("%1 %2 case=%3 down=%4 cont=%5 caret=%6: %7 "
                                                   "!= %8")
                                        .arg(QString::fromLatin1(encoding), request.pattern)
                                        .arg(request.matchCase)
                                        .arg(request.down)
                                        .arg(request.continuing)
                                        .arg(caret)
                                        .arg(gotPos)
                                        .arg(expected)));
                found += expected > 0;
            }
            // Both outcomes were exercised.
            QVERIFY(found > 10 && found < 120);
        }
    }
};

QTEST_MAIN(LargeTextTest)
#include "tst_large_text.moc"
