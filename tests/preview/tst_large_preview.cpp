// A large text in the preview: which view shows it, the encoding button, abandoning it for
// another file, and searching it with the not-found box.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "editor/PreviewSearch.h"
#include "preview/EncodingButton.h"
#include "preview/LargeTextView.h"
#include "preview/RichTextViewer.h"
#include "preview/TextViewer.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

namespace
{
// A log just above the size that goes to the large-file view: "aaa" first, a marker last.
QByteArray bigLog()
{
    QByteArray bytes("aaa\n");
    const QByteArray line =
        QStringLiteral("2026-12-08 12:00:00 INFO 処理しました id=%1\n").toUtf8();
    for (int i = 0; bytes.size() <= preview::TextViewer::kLargeAbove; ++i)
        bytes += QByteArray(line).replace("%1", QByteArray::number(i));
    bytes += QStringLiteral("終端の行 END-MARK").toUtf8();
    return bytes;
}
} // namespace

class LargePreviewTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        Run() { start({browse.path()}); }
        app::MainWindow* w() const { return window(); }
        void click(const QString& name) const
        {
            app::FileListBox* list = w()->fileList();
            list->refresh();
            const int entry = list->rowShowing(name);
            QVERIFY2(entry >= 0, qPrintable(name));
            list->setCurrentRow(-1);
            list->setCurrentRow(entry);
        }
        preview::RichTextViewer* text() const { return w()->textViewer(); }
        preview::LargeTextView* large() const { return text()->largeView(); }
        preview::EncodingButton* encoding() const
        {
            return w()->findChild<preview::EncodingButton*>(QStringLiteral("textEncoding"));
        }
        void choose(const char* encoding) const
        {
            QAction* action = encoding_action(encoding);
            QVERIFY(action);
            action->trigger();
        }
        QAction* encoding_action(const char* name) const
        {
            return encoding()->menu()->findChild<QAction*>(QString::fromLatin1(name));
        }
    };

private Q_SLOTS:
    void largeFileGoesToTheLargeView()
    {
        Run run;
        run.write(QStringLiteral("big.log"), bigLog());
        run.write(QStringLiteral("small.txt"),
                  QByteArray("\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67"));
        run.click(QStringLiteral("big.log"));
        QVERIFY(!run.text()->isHidden());
        QVERIFY(run.text()->isLarge());
        QCOMPARE(run.large()->rowText(0), QStringLiteral("aaa"));
        QVERIFY(run.w()->menuAction(QStringLiteral("tkensaku"))->isEnabled());
        QVERIFY(!run.encoding()->isHidden());
        QCOMPARE(run.encoding()->text(), QStringLiteral("UTF-8"));
        // Saving from the preview would write the screen alone: refused.
        QString error;
        QVERIFY(!run.text()->saveFile(run.browsed(QStringLiteral("copy.log")),
                                      preview::RichTextViewer::SaveAs::Loaded, &error));
        QVERIFY(!QFile::exists(run.browsed(QStringLiteral("copy.log"))));

        // Another file while the index is built: the large view stops and empties.
        QVERIFY(run.large()->indexing());
        run.click(QStringLiteral("small.txt"));
        QVERIFY(!run.text()->isLarge());
        QVERIFY(!run.large()->indexing());
        QCOMPARE(run.large()->rowCount(), 0);
        QCOMPARE(run.text()->text(), QStringLiteral("日本語のテキスト"));
        QCOMPARE(run.encoding()->text(), QStringLiteral("CP932"));
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(run.large()->rowCount(), 0);
        QCOMPARE(run.text()->text(), QStringLiteral("日本語のテキスト"));

        // A picture: the encoding button goes.
        run.write(QStringLiteral("p.bmp"), QByteArray("BM"));
        run.click(QStringLiteral("p.bmp"));
        QVERIFY(run.encoding()->isHidden());
    }

    void encodingButtonDecodesAgain()
    {
        Run run;
        run.write(QStringLiteral("small.txt"),
                  QByteArray("\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67"));
        run.click(QStringLiteral("small.txt"));
        QCOMPARE(run.text()->text(), QStringLiteral("日本語のテキスト"));
        run.choose("EUC-JP");
        QCOMPARE(run.text()->encoding(), QByteArray("EUC-JP"));
        QCOMPARE(run.encoding()->text(), QStringLiteral("EUC-JP"));
        QVERIFY(run.text()->text() != QStringLiteral("日本語のテキスト"));
        run.choose("windows-31j");
        QCOMPARE(run.text()->text(), QStringLiteral("日本語のテキスト"));

        run.write(QStringLiteral("big.log"), bigLog());
        run.click(QStringLiteral("big.log"));
        QCOMPARE(run.large()->rowText(1).left(10), QStringLiteral("2026-12-08"));
        run.choose("UTF-16LE");
        QCOMPARE(run.large()->encoding(), QByteArray("UTF-16LE"));
        QCOMPARE(run.encoding()->text(), QStringLiteral("UTF-16LE"));
        QVERIFY(run.large()->rowText(0) != QStringLiteral("aaa"));
        run.choose("UTF-8");
        QCOMPARE(run.large()->rowText(0), QStringLiteral("aaa"));
    }

    void searchingTheLargeView()
    {
        Run run;
        run.write(QStringLiteral("big.log"), bigLog());
        run.click(QStringLiteral("big.log"));
        preview::LargeTextView* view = run.large();
        QSignalSpy finished(view, &preview::LargeTextView::findFinished);
        // "aa" in "aaa": the match at position 1, then the overlapping one at 2.
        view->findNext(QStringLiteral("AA"), false, true, true);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QCOMPARE(view->selectionStart(), (preview::TextPos{0, 0}));
        QCOMPARE(view->selectedText(), QStringLiteral("aa"));
        view->findNext(QStringLiteral("AA"), false, true, false);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 30000);
        QCOMPARE(view->selectionStart(), (preview::TextPos{0, 1}));
        // No more "aa" after it, and no wrap-around: the not-found box, the selection stays.
        run.prompts.expectMessages(1);
        view->findNext(QStringLiteral("AA"), false, true, false);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, 30000);
        QCOMPARE(finished.last().first().toBool(), false);
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().last().text, QStringLiteral("\"AA\" が見つかりません。"));
        QCOMPARE(run.prompts.shown().last().icon, int(platform::Prompts::Information));
        QCOMPARE(view->selectionStart(), (preview::TextPos{0, 1}));
        // Up from the very start: not found at once.
        view->setSelection({0, 0}, {0, 0});
        run.prompts.expectMessages(1);
        view->findNext(QStringLiteral("aa"), false, false, true);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 4, 30000);
        QCOMPARE(run.prompts.shown().size(), 2);
        // A word on the last line: selected and scrolled to.
        view->findNext(QStringLiteral("end-mark"), false, true, true);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 5, 30000);
        QCOMPARE(finished.last().first().toBool(), true);
        QCOMPARE(view->selectionStart().row, view->rowCount() - 1);
        QCOMPARE(view->selectedText(), QStringLiteral("END-MARK"));
        QVERIFY(view->firstVisibleRow() + view->visibleRowCount() >= view->rowCount() - 1);
        // With case to match, the lower-case word is not there.
        view->setSelection({0, 0}, {0, 0});
        run.prompts.expectMessages(1);
        view->findNext(QStringLiteral("end-mark"), true, true, true);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 6, 30000);
        QCOMPARE(finished.last().first().toBool(), false);
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void searchMenuReachesTheLargeView()
    {
        Run run;
        run.write(QStringLiteral("big.log"), bigLog());
        run.click(QStringLiteral("big.log"));
        preview::LargeTextView* view = run.large();
        QVERIFY(run.text()->isLarge());
        QSignalSpy finished(view, &preview::LargeTextView::findFinished);
        editor::SearchState& state = run.program->previewSearch()->state();
        state.text = QStringLiteral("end-mark");
        state.direction = editor::SearchDirection::Down;
        state.restart = true;
        QAction* next = run.w()->menuAction(QStringLiteral("tuken"));
        QVERIFY(next && next->isEnabled());
        next->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QCOMPARE(finished.last().first().toBool(), true);
        QCOMPARE(view->selectedText(), QStringLiteral("END-MARK"));
        QCOMPARE(view->selectionStart().row, view->rowCount() - 1);
        QVERIFY(!state.restart);
    }
};

QTEST_MAIN(LargePreviewTest)
#include "tst_large_preview.moc"
