// The toolbar's print of the previewed text, through the same code as a printer's pages into a
// PDF file whose text poppler's pdftotext reads back.
#include "PreviewRun.h"

#include "editor/TextPrint.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace
{
// The text of a PDF file as pdftotext extracts it (pages end in a form feed), in compatibility
// normal form: a PDF maps a glyph back to one of the characters that share it (a kanji may come
// back as its Kangxi radical, "fi" as its ligature).
QString pdfText(const QString& pdf)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        QTest::qFail("pdftotext (poppler-utils) is not installed", __FILE__, __LINE__);
        return QString();
    }
    QProcess process;
    process.start(tool,
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC);
}

struct Run : PreviewRun {
    Run()
    {
        write(QStringLiteral("script.js"), QByteArrayLiteral("var a;\n"));
        startIn();
    }
};
} // namespace

class PreviewPrintTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aLargeFileIsRefusedNotPrintedBlank()
    {
        Run run;
        // Above the size that the large-file view takes over.
        QByteArray line = QByteArrayLiteral("0123456789 abcdefghij 大きな行\n");
        QByteArray big;
        big.reserve(17 * 1024 * 1024 + line.size());
        while (big.size() <= 17 * 1024 * 1024)
            big += line;
        run.write(QStringLiteral("big.log"), big);
        QVERIFY(run.show(QStringLiteral("big.log")));
        QVERIFY(run.viewer()->isLarge());
        run.prompts.expectMessages(1);
        run.button(13)->trigger();
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().text,
                 QStringLiteral("大きなファイルはプレビューから印刷できません。"));
        QVERIFY(!QFileInfo::exists(run.printedPdf()));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void printsTheShownText()
    {
        Run run;
        run.write(QStringLiteral("memo.txt"), QStringLiteral("印刷のテスト\r\nsecond line 12345\r\n"
                                                             "三行目です\r\n")
                                                  .toUtf8());
        QVERIFY(run.show(QStringLiteral("memo.txt")));
        QCOMPARE(run.button(13)->toolTip(), QStringLiteral("印刷"));
        QVERIFY(!QFileInfo::exists(run.printedPdf()));
        run.button(13)->trigger();
        QVERIFY(QFileInfo(run.printedPdf()).size() > 0);
        const QString text = pdfText(run.printedPdf());
        QVERIFY2(text.contains(QStringLiteral("印刷のテスト")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("second line 12345")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("三行目です")), qPrintable(text));
        QVERIFY(run.prompts.shown().isEmpty());
    }

    void everyLineOnceOverSeveralPages()
    {
        Run run;
        QByteArray lines;
        for (int i = 1; i <= 300; ++i)
            lines += "line " + QByteArray::number(i) + " of the long file\n";
        run.write(QStringLiteral("long.txt"), lines);
        QVERIFY(run.show(QStringLiteral("long.txt")));
        run.button(13)->trigger();
        const QString text = pdfText(run.printedPdf());
        QVERIFY(text.count(QLatin1Char('\f')) >= 3); // several pages
        for (int i = 1; i <= 300; ++i) {
            const QString line = QStringLiteral("line %1 of the long file").arg(i);
            QVERIFY2(text.count(line + QLatin1Char('\n')) == 1, qPrintable(line + text.left(400)));
        }
        // The page numbers at the foot: the last page's number is there.
        const int pages = int(text.count(QLatin1Char('\f')));
        QVERIFY(text.contains(QLatin1Char('\n') + QString::number(pages) + QLatin1Char('\n')));
    }

    void printsRichText()
    {
        Run run;
        run.write(QStringLiteral("doc.rtf"),
                  QByteArrayLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}"
                                    "{\\b Bold words} and \\u26085?\\u26412? text\\par}"));
        QVERIFY(run.show(QStringLiteral("doc.rtf")));
        QVERIFY(run.viewer()->isRichText());
        run.button(13)->trigger();
        const QString text = pdfText(run.printedPdf());
        QVERIFY2(text.contains(QStringLiteral("Bold words and 日本 text")), qPrintable(text));
    }

    void nothingWithoutAText()
    {
        Run run;
        QVERIFY(run.show(QStringLiteral("script.js")));
        QVERIFY(run.viewer()->isHidden());
        run.button(13)->trigger();
        QCOMPARE(run.panel3(), QStringLiteral("テキストのみ有効です。"));
        QVERIFY(!QFileInfo::exists(run.printedPdf()));
    }

    void aFailedPrintIsTold()
    {
        Run run;
        run.write(QStringLiteral("memo.txt"), QByteArrayLiteral("text\n"));
        QVERIFY(run.show(QStringLiteral("memo.txt")));
        const QString nowhere = run.browse.path() + QStringLiteral("/no/such/folder/out.pdf");
        run.program->previewPrint()->setTarget(std::make_unique<editor::PdfFile>(nowhere));
        run.prompts.expectMessages(1);
        run.button(13)->trigger();
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().at(0).text, QStringLiteral("印刷できませんでした。"));
        QVERIFY(!QFileInfo::exists(nowhere));
    }
};

QTEST_MAIN(PreviewPrintTest)
#include "tst_preview_print.moc"
