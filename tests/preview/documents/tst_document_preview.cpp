// PDF documents, PNG, WebP, TIFF and SVG pictures, Markdown, and the further video and sound
// formats, each made by another program and clicked in the file list: each shows in its
// viewer. Damaged and hostile files end in a message or the notice, never a crash or a hang.
#include "DocumentFiles.h"
#include "DocumentRun.h"

#include "preview/RichTextViewer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include <sys/resource.h>

namespace
{
quint32 crc32Of(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xffffffffu;
}

// The largest resident size this process has had, in MiB.
qint64 peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}
} // namespace

class DocumentPreviewTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pdfShowsItsFirstPageAndScrollsToTheOthers()
    {
        DocumentRun run;
        QVERIFY(makePdf(run.browsed(QStringLiteral("資料.pdf")), 40));
        run.start({run.browse.path()});
        // On screen at its size, so that a page is as large as it is for the user.
        run.w()->resize(1000, 700);
        run.w()->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.w()));
        run.click(QStringLiteral("資料.pdf"));
        QCOMPARE(run.shown(), QStringLiteral("PdfView"));
        preview::PdfPane* pdf = run.pdf();
        QTRY_COMPARE(pdf->pageCount(), 40);
        QTRY_VERIFY(!pdf->pageImage(0).isNull());
        // The page is drawn as wide as the pane, with the box and the number in black.
        QVERIFY(darkPixels(pdf->pageImage(0)) > pdf->pageImage(0).width() * 10);
        QVERIFY(pdf->pageImage(0).width() >= pdf->viewport()->width() - 20);
        QVERIFY(pdf->message().isEmpty());
        // Far pages are drawn when they come on screen; the first lets go of its drawing.
        pdf->scrollToPage(33);
        QTRY_VERIFY(!pdf->pageImage(33).isNull());
        QVERIFY(darkPixels(pdf->pageImage(33)) > 0);
        QVERIFY2(pdf->viewport()->height() < pdf->verticalScrollBar()->maximum() / 10,
                 "the pane shows a small part of the document");
        QTRY_VERIFY(pdf->pageImage(0).isNull());
        QVERIFY(pdf->drawnPages() <= 10);
        // The keys scroll it too.
        const int before = pdf->verticalScrollBar()->value();
        pdf->setFocus();
        QTest::keyClick(pdf, Qt::Key_PageDown);
        QVERIFY(pdf->verticalScrollBar()->value() > before);
    }

    void picturesShowAtTheirOwnSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("png") << QStringLiteral("写真.png") << QSize(37, 23);
        QTest::newRow("webp") << QStringLiteral("photo.WEBP") << QSize(41, 19);
        QTest::newRow("tiff") << QStringLiteral("scan.tiff") << QSize(29, 31);
        QTest::newRow("tif") << QStringLiteral("scan2.tif") << QSize(300, 200);
        QTest::newRow("svg") << QStringLiteral("図.svg") << QSize(50, 40);
    }

    void picturesShowAtTheirOwnSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        DocumentRun run;
        const QString path = run.browsed(name);
        if (name.endsWith(QLatin1String(".svg"))) {
            QVERIFY(writeFileBytes(
                path, "<?xml version=\"1.0\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"50\" height=\"40\">\n"
                      "  <rect x=\"5\" y=\"5\" width=\"40\" height=\"30\" fill=\"#008000\"/>\n"
                      "</svg>\n"));
        } else if (name.endsWith(QLatin1String(".WEBP"))) {
            QVERIFY(makeWebp(path, size));
        } else {
            QVERIFY(makePicture(path, size));
        }
        run.start({run.browse.path()});
        run.click(name);
        QCOMPARE(run.shown(), QStringLiteral("Picture1"));
        QTRY_COMPARE(run.picture()->pictureSize(), size);
        QVERIFY(!run.picture()->isAnimated());
        QVERIFY(run.picture()->message().isEmpty());
    }

    void animatedWebpPlaysLikeAGif()
    {
        DocumentRun run;
        QVERIFY(makeAnimatedWebp(run.browsed(QStringLiteral("anim.webp")), QSize(24, 16)));
        run.start({run.browse.path()});
        run.click(QStringLiteral("anim.webp"));
        QTRY_VERIFY(run.picture()->isAnimated());
        QCOMPARE(run.picture()->pictureSize(), QSize(24, 16));
    }

    void markdownIsRenderedAndItsTextIsOneKeyAway()
    {
        DocumentRun run;
        const QByteArray source =
            "# 見出しです\n\n本文の**太字**と`code`。\n\n- 一つ目\n- 二つ目\n";
        QVERIFY(writeFileBytes(run.browsed(QStringLiteral("メモ.md")), source));
        QVERIFY(writeFileBytes(run.browsed(QStringLiteral("b.markdown")), "plain *x*\n"));
        run.start({run.browse.path()});
        run.click(QStringLiteral("メモ.md"));
        QCOMPARE(run.shown(), QStringLiteral("MarkdownView"));
        preview::MarkdownPane* md = run.markdown();
        QTRY_VERIFY(!md->showsSource());
        QTextDocument* document = md->renderedView()->document();
        const QTextBlock heading = document->firstBlock();
        QCOMPARE(heading.text(), QStringLiteral("見出しです"));
        QCOMPARE(heading.blockFormat().headingLevel(), 1);
        QVERIFY(heading.charFormat().fontWeight() >= QFont::Bold ||
                heading.begin().fragment().charFormat().fontWeight() >= QFont::Bold);
        QVERIFY(!document->toPlainText().contains(QLatin1String("**")));
        QVERIFY(document->toPlainText().contains(QStringLiteral("太字")));

        // The toggle is reached with the keyboard and named for a screen reader.
        QToolButton* toggle = md->sourceToggle();
        QVERIFY(!toggle->accessibleName().isEmpty());
        QVERIFY(toggle->focusPolicy() & Qt::TabFocus);
        toggle->setFocus();
        QTest::keyClick(toggle, Qt::Key_Space);
        QVERIFY(md->showsSource());
        QCOMPARE(md->sourceView()->text(), QString::fromUtf8(source));
        QTest::keyClick(toggle, Qt::Key_Space);
        QVERIFY(!md->showsSource());

        run.click(QStringLiteral("b.markdown"));
        QTRY_COMPARE(md->renderedView()->document()->toPlainText(), QStringLiteral("plain x"));
    }

    void videoAndSoundGoToTheMediaPlayer_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name :
             {"a.mp4", "b.mkv", "c.webm", "d.flac", "e.ogg", "f.opus", "g.m4a", "H.MP4"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void videoAndSoundGoToTheMediaPlayer()
    {
        QFETCH(QString, name);
        DocumentRun run;
        QVERIFY(writeFileBytes(run.browsed(name), "not decoded here"));
        run.start({run.browse.path()});
        run.click(name);
        const QString path = run.browsed(name);
        QVERIFY(run.sent().contains(QStringLiteral("open \"") + path +
                                    QStringLiteral("\" alias Media")));
        QVERIFY(run.sent().contains(QStringLiteral("play Media")));
        QVERIFY(run.visible("Command4") && run.visible("Command5") && run.visible("Label4"));
    }

    void damagedDocumentsSaySoWithoutHarm_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QString picture = QStringLiteral("この画像は表示できません。");
        const QString large = QStringLiteral("画像が大きすぎるため表示できません。");
        QTest::newRow("0-byte webp") << QStringLiteral("empty.webp") << QByteArray() << picture;
        // A PNG header that claims 100000 x 100000 pixels (written in the test).
        QTest::newRow("absurd png") << QStringLiteral("huge.png") << QByteArray() << large;
        QTest::newRow("text named png")
            << QStringLiteral("-dash.png") << QByteArray("hello") << picture;
        QTest::newRow("svg external entity")
            << QStringLiteral("entity.svg")
            << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE svg [<!ENTITY x SYSTEM "
                          "\"file:///etc/passwd\">]>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                          "width=\"20\" height=\"20\"><text>&x;</text></svg>\n")
            << QString();
        QByteArray nested = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"20\">";
        nested += QByteArray("<g>").repeated(200000) + QByteArray("</g>").repeated(200000);
        nested += "</svg>";
        QTest::newRow("svg deep nesting") << QStringLiteral("deep.svg") << nested << QString();
        QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaa\">";
        for (char c = 'b'; c <= 'j'; ++c) {
            laughs += "<!ENTITY " + QByteArray(1, c) + " \"" +
                      QByteArray("&" + QByteArray(1, char(c - 1)) + ";").repeated(10) + "\">";
        }
        laughs += "]>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"20\">"
                  "<text>&j;</text></svg>\n";
        QTest::newRow("svg entity expansion")
            << QStringLiteral("laughs.svg") << laughs << QString();
        QTest::newRow("pdf of text")
            << QStringLiteral("fake.pdf") << QByteArray("%PDF-1.4 nothing else")
            << QStringLiteral("このPDFファイルは表示できません。");
        QTest::newRow("0-byte pdf") << QStringLiteral("empty.pdf") << QByteArray()
                                    << QStringLiteral("このPDFファイルは表示できません。");
    }

    void damagedDocumentsSaySoWithoutHarm()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        if (name == u"huge.png")
            bytes = pngHeader(100000, 100000);
        DocumentRun run;
        QVERIFY(writeFileBytes(run.browsed(name), bytes));
        QVERIFY(writeFileBytes(run.browsed(QStringLiteral("z.txt")), "after"));
        run.start({run.browse.path()});
        const qint64 before = peakMiB();
        QElapsedTimer clock;
        clock.start();
        run.click(name);
        if (name.endsWith(QLatin1String(".pdf"))) {
            QCOMPARE(run.shown(), QStringLiteral("PdfView"));
            QTRY_COMPARE(run.pdf()->message(), message);
            QCOMPARE(run.pdf()->pageCount(), 0);
        } else if (!message.isEmpty()) {
            QCOMPARE(run.shown(), QStringLiteral("Picture1"));
            QTRY_COMPARE(run.picture()->message(), message);
        } else {
            // Hostile SVGs: either a small picture or the message, in bounded time.
            QTRY_VERIFY(!run.picture()->message().isEmpty() ||
                        run.picture()->pictureSize() == QSize(20, 20));
        }
        QVERIFY2(clock.elapsed() < 20000, "the viewer gave up too late");
        QVERIFY2(peakMiB() - before < 300, "the viewer's memory grew beyond a picture's limit");
        // The window goes on: the next file shows.
        run.click(QStringLiteral("z.txt"));
        QCOMPARE(run.shown(), QStringLiteral("RichTextBox1"));
    }

    void truncatedPdfShowsWhatCanBeReadOrSaysSo()
    {
        DocumentRun run;
        const QString whole = run.browsed(QStringLiteral("whole.pdf"));
        QVERIFY(makePdf(whole, 60));
        QVERIFY(writeTruncated(whole, run.browsed(QStringLiteral("cut.pdf")),
                               QFileInfo(whole).size() / 2));
        QVERIFY(QFile::remove(whole));
        run.start({run.browse.path()});
        run.click(QStringLiteral("cut.pdf"));
        preview::PdfPane* pdf = run.pdf();
        // The library repairs what it can: pages, or the message when nothing is left.
        const QString loading = QStringLiteral("読み込んでいます…");
        QTRY_VERIFY(pdf->pageCount() > 0 ||
                    (!pdf->message().isEmpty() && pdf->message() != loading));
        if (pdf->pageCount() > 0)
            QTRY_VERIFY(!pdf->pageImage(0).isNull());
        else
            QCOMPARE(pdf->message(), QStringLiteral("このPDFファイルは表示できません。"));
    }

    void aPdfLeftBeforeItLoadsNeverShowsOverTheNextFile()
    {
        DocumentRun run;
        QVERIFY(makePdf(run.browsed(QStringLiteral("a.pdf")), 200));
        QVERIFY(makePicture(run.browsed(QStringLiteral("b.png")), QSize(10, 12)));
        run.start({run.browse.path()});
        run.click(QStringLiteral("a.pdf"));
        run.click(QStringLiteral("b.png"));
        QTRY_COMPARE(run.picture()->pictureSize(), QSize(10, 12));
        QTest::qWait(300); // a late result of the document left would arrive within this time
        QCOMPARE(run.shown(), QStringLiteral("Picture1"));
        QCOMPARE(run.pdf()->pageCount(), 0);
    }

private:
    static QByteArray pngHeader(quint32 width, quint32 height);
};

QByteArray DocumentPreviewTest::pngHeader(quint32 width, quint32 height)
{
    QByteArray chunk = "IHDR";
    for (quint32 v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk += char((v >> shift) & 0xff);
    }
    chunk += QByteArray::fromHex("0806000000"); // 8-bit RGBA, no interlace
    const quint32 crc = crc32Of(chunk);
    QByteArray png = QByteArray::fromHex("89504e470d0a1a0a0000000d") + chunk;
    for (int shift = 24; shift >= 0; shift -= 8)
        png += char((crc >> shift) & 0xff);
    // An IDAT that holds almost nothing: the size is all the header claims.
    png += QByteArray::fromHex("0000000049444154") + QByteArray(4, '\0');
    return png;
}

QTEST_MAIN(DocumentPreviewTest)
#include "tst_document_preview.moc"
