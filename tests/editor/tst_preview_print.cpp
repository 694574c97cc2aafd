// The toolbar's print of the previewed text, through the same code as a printer's pages into a
// PDF file whose text poppler's pdftotext reads back.
#include "PreviewRun.h"

#include "editor/TextPrint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
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
    QString printedWord() const
    {
        return QStringLiteral("「") + printedPdf() + QStringLiteral("」に印刷しました。");
    }
    QProgressDialog* progress() const
    {
        return w()->findChild<QProgressDialog*>(QStringLiteral("printProgress"));
    }
    // Prints with the toolbar's button and waits for the print's end, told in the status bar
    // or by a box.
    bool print()
    {
        w()->panel(3)->clear();
        const qsizetype boxes = prompts.shown().size();
        button(13)->trigger();
        return QTest::qWaitFor(
            [&] { return !panel3().isEmpty() || prompts.shown().size() > boxes; }, 60000);
    }
    // Files in the folder printed into, hidden ones too.
    QStringList printedFolder() const
    {
        return QDir(printed.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
};

// The memory the process holds, in bytes (Linux).
qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

// Lines of text, numbered, up to about `bytes`.
QByteArray numberedLines(qsizetype bytes)
{
    QByteArray text;
    text.reserve(bytes + 64);
    for (int i = 1; text.size() < bytes; ++i)
        text += "line " + QByteArray::number(i) + " of a long text, 日本語の行も混ぜて\n";
    return text;
}
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
        QVERIFY(run.print());
        QCOMPARE(run.panel3(), run.printedWord());
        QVERIFY(QFileInfo(run.printedPdf()).size() > 0);
        QCOMPARE(run.printedFolder(), QStringList{QStringLiteral("printed.pdf")});
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
        QVERIFY(run.print());
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

    void aLongPrintLeavesTheWindowAnsweringAndCancels()
    {
        Run run;
        // An earlier print of the same name: a cancelled print must not touch it.
        QFile earlier(run.printedPdf());
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
        earlier.close();
        run.write(QStringLiteral("big.txt"), numberedLines(4 * 1024 * 1024));
        QVERIFY(run.show(QStringLiteral("big.txt")));
        QVERIFY(!run.viewer()->isLarge());
        int beats = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout, [&beats] { ++beats; });
        heartbeat.start(10);

        run.button(13)->trigger();
        // The button returned with the print under way: a window counts the pages done.
        QProgressDialog* progress = run.progress();
        QVERIFY(progress);
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->windowTitle(), QStringLiteral("印刷"));
        const QRegularExpression count(QStringLiteral("印刷しています… (\\d+) ページ"));
        QTRY_VERIFY_WITH_TIMEOUT(count.match(progress->labelText()).hasMatch() &&
                                     count.match(progress->labelText()).captured(1).toInt() >= 3,
                                 60000);
        QVERIFY(beats >= 3); // the window's own events went on meanwhile
        QVERIFY(!run.panel3().contains(QStringLiteral("印刷")));

        auto* cancel = progress->findChild<QPushButton*>();
        QVERIFY(cancel);
        QCOMPARE(cancel->text(), QStringLiteral("キャンセル"));
        cancel->click();
        QTRY_COMPARE_WITH_TIMEOUT(run.panel3(), QStringLiteral("印刷を中止しました。"), 60000);
        QTRY_VERIFY(!run.progress());
        // No pages of the cancelled print anywhere, the earlier file as it was.
        QCOMPARE(run.printedFolder(), QStringList{QStringLiteral("printed.pdf")});
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier"));
        QVERIFY(run.prompts.shown().isEmpty());
    }

    void theFileDeletedWhilePrintingIsPrintedWhole()
    {
        Run run;
        const QByteArray text = numberedLines(256 * 1024);
        const QString path = run.write(QStringLiteral("gone.txt"), text);
        QVERIFY(run.show(QStringLiteral("gone.txt")));
        run.button(13)->trigger();
        QVERIFY(QFile::remove(path));
        QTRY_COMPARE_WITH_TIMEOUT(run.panel3(), run.printedWord(), 120000);
        const QString printed = pdfText(run.printedPdf());
        const QList<QByteArray> lines = text.trimmed().split('\n');
        for (const QByteArray& line : {lines.first(), lines.at(lines.size() / 2), lines.last()}) {
            const QString wanted =
                QString::fromUtf8(line).normalized(QString::NormalizationForm_KC);
            QVERIFY2(printed.contains(wanted), line.constData());
        }
        QVERIFY(run.prompts.shown().isEmpty());
    }

    void aGigabyteFileIsRefusedWithoutReadingIt()
    {
        Run run;
        const QString path = run.browsed(QStringLiteral("huge.log"));
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.write("first line\n") == 11);
        QVERIFY(huge.resize(qint64(1) << 30)); // sparse: a gigabyte of zero bytes
        huge.close();
        QVERIFY(run.show(QStringLiteral("huge.log")));
        QVERIFY(run.viewer()->isLarge());
        const qint64 before = residentBytes();
        run.prompts.expectMessages(1);
        run.button(13)->trigger();
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().text,
                 QStringLiteral("大きなファイルはプレビューから印刷できません。"));
        QVERIFY(!run.progress());
        QVERIFY(run.printedFolder().isEmpty());
        QVERIFY2(residentBytes() - before < 64 * 1024 * 1024,
                 qPrintable(QString::number(residentBytes() - before)));
    }

    void printsRichText()
    {
        Run run;
        run.write(QStringLiteral("doc.rtf"),
                  QByteArrayLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}"
                                    "{\\b Bold words} and \\u26085?\\u26412? text\\par}"));
        QVERIFY(run.show(QStringLiteral("doc.rtf")));
        QVERIFY(run.viewer()->isRichText());
        QVERIFY(run.print());
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
        QVERIFY(run.print());
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().at(0).text, QStringLiteral("印刷できませんでした。"));
        QVERIFY(!QFileInfo::exists(nowhere));
        // A folder that takes no file at all, and a name that is a folder: the same box, and
        // nothing said to be printed.
        for (const QString& target :
             {QStringLiteral("/proc/koramo-printed.pdf"), run.printed.path()}) {
            run.program->previewPrint()->setTarget(std::make_unique<editor::PdfFile>(target));
            run.prompts.expectMessages(1);
            QVERIFY(run.print());
            QCOMPARE(run.prompts.shown().last().text, QStringLiteral("印刷できませんでした。"));
            QVERIFY(!run.panel3().contains(QStringLiteral("印刷しました")));
        }
        QVERIFY(QFileInfo(run.printed.path()).isDir());
        QVERIFY(run.printedFolder().isEmpty());
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(PreviewPrintTest)
#include "tst_preview_print.moc"
