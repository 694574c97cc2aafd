// A folder with one file of each document kind, made by other programs, clicked through with
// the mouse in the real main window, as a user goes down the file list: each shows in its
// viewer, and sound and video play through the real media device (into fake sinks).
#include "DocumentFiles.h"
#include "DocumentRun.h"

#include "platform/mci/MediaMci.h"
#include "preview/RichTextViewer.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include <memory>

class DocumentClickThroughTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyKindShowsWhenClicked()
    {
        const std::unique_ptr<platform::Mci> mci = platform::createMediaMci(nullptr);
        DocumentRun run;
        QVERIFY(makePdf(run.browsed(QStringLiteral("01 報告書.pdf")), 12));
        QVERIFY(makePicture(run.browsed(QStringLiteral("02 写真.png")), QSize(64, 48)));
        QVERIFY(makeWebp(run.browsed(QStringLiteral("03 photo.webp")), QSize(40, 30)));
        QVERIFY(makeAnimatedWebp(run.browsed(QStringLiteral("04 anim.webp")), QSize(32, 32)));
        QVERIFY(makePicture(run.browsed(QStringLiteral("05 scan.tiff")), QSize(33, 44)));
        QVERIFY(
            writeFileBytes(run.browsed(QStringLiteral("06 図.svg")),
                           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"70\" height=\"35\">"
                           "<circle cx=\"17\" cy=\"17\" r=\"15\" fill=\"navy\"/></svg>\n"));
        QVERIFY(writeFileBytes(run.browsed(QStringLiteral("07 読んでね.md")),
                               "# はじめに\n\n*コラモ*の説明です。\n"));
        const QStringList media = {QStringLiteral("08 clip.mp4"),  QStringLiteral("09 clip.mkv"),
                                   QStringLiteral("10 clip.webm"), QStringLiteral("11 曲.flac"),
                                   QStringLiteral("12 曲.ogg"),    QStringLiteral("13 曲.opus"),
                                   QStringLiteral("14 曲.m4a")};
        for (const QString& name : media)
            QVERIFY(makeMedia(run.browsed(name)));
        run.start({run.browse.path()}, *mci);
        app::MainWindow* w = run.w();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        app::FileListBox* list = w->fileList();

        auto clickOn = [&](const QString& name) {
            const int entry = list->rowShowing(name);
            QVERIFY2(entry >= 0, qPrintable(name));
            list->scrollTo(list->model()->index(entry, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(entry, 0)).center());
            QCOMPARE(list->currentRow(), entry);
        };

        clickOn(QStringLiteral("01 報告書.pdf"));
        QCOMPARE(run.shown(), QStringLiteral("PdfView"));
        QTRY_VERIFY(!run.pdf()->pageImage(0).isNull());
        QVERIFY(darkPixels(run.pdf()->pageImage(0)) > 0);
        QCOMPARE(run.pdf()->pageCount(), 12);

        const struct {
            const char* name;
            QSize size;
            bool animated;
        } pictures[] = {{"02 写真.png", {64, 48}, false},
                        {"03 photo.webp", {40, 30}, false},
                        {"04 anim.webp", {32, 32}, true},
                        {"05 scan.tiff", {33, 44}, false},
                        {"06 図.svg", {70, 35}, false}};
        for (const auto& picture : pictures) {
            clickOn(QString::fromUtf8(picture.name));
            QCOMPARE(run.shown(), QStringLiteral("Picture1"));
            QTRY_COMPARE(run.picture()->pictureSize(), picture.size);
            QCOMPARE(run.picture()->isAnimated(), picture.animated);
        }

        clickOn(QStringLiteral("07 読んでね.md"));
        QCOMPARE(run.shown(), QStringLiteral("MarkdownView"));
        QTRY_COMPARE(run.markdown()->renderedView()->document()->firstBlock().text(),
                     QStringLiteral("はじめに"));
        QTest::mouseClick(run.markdown()->sourceToggle(), Qt::LeftButton);
        QCOMPARE(run.markdown()->sourceView()->text(),
                 QStringLiteral("# はじめに\n\n*コラモ*の説明です。\n"));

        for (const QString& name : media) {
            clickOn(name);
            QTRY_COMPARE_WITH_TIMEOUT(mci->send(QStringLiteral("status Media mode")).reply,
                                      QStringLiteral("playing"), 20000);
            QVERIFY(mci->send(QStringLiteral("status Media length")).reply.toInt() > 1000);
            QVERIFY(run.visible("Command4"));
        }
    }
};

QTEST_MAIN(DocumentClickThroughTest)
#include "tst_document_clickthrough.moc"
