// Without the browser module (installed from a package of its own) an HTML page previews as
// its text, under a line that says why; a page after it, a picture or the help window are not
// taken for text.
#include "about/HelpWindow.h"
#include "base/Paths.h"
#include "preview/BrowserPane.h"
#include "preview/BrowserViewer.h"
#include "preview/RichTextViewer.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QString kLine = QStringLiteral(
    "HTML 表示モジュールがインストールされていないため、テキストとして表示しています。");

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}
} // namespace

class BrowserMissingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_programFolder; // holds no browser module
    QTemporaryDir m_files;

private Q_SLOTS:
    void initTestCase()
    {
        // The module is found in the program folder, beside the executable or in the build's
        // program folder: none of them holds it here.
        qunsetenv("KORAMO_BUILD_BIN");
        platform::setProgramFolder(m_programFolder.path());
        QVERIFY2(preview::browserEngineModulePath().isEmpty(), "the module is still found");
    }

    void pagesShowAsTextUnderTheLine()
    {
        preview::BrowserPane pane;
        pane.resize(640, 480);
        pane.show();
        preview::BrowserViewer viewer(&pane);

        // A name starting with "-", with blanks and quotes, in Shift-JIS with its charset.
        const QByteArray sjis = "<html><head><meta charset=\"Shift_JIS\"></head><body><h1>"
                                "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x79\x81\x5b\x83\x57"
                                "</h1></body></html>\r\n";
        const QString first = writeFile(m_files.path() + QStringLiteral("/-x 'a\" b.HTM"), sjis);
        QVERIFY(!first.isEmpty());
        viewer.show({first, first});
        QVERIFY(pane.showsText());
        auto* line = pane.findChild<QLabel*>(QStringLiteral("browserTextLine"));
        QVERIFY(line);
        QCOMPARE(line->text(), kLine);
        QVERIFY(line->isVisible());
        auto* text = pane.findChild<preview::RichTextViewer*>(QStringLiteral("browserText"));
        QVERIFY(text);
        QVERIFY(text->isVisible());
        // The markup itself, decoded: shown as text, not laid out as a page.
        QVERIFY2(text->text().contains(QStringLiteral("<h1>日本語のページ</h1>")),
                 qPrintable(text->text()));
        QVERIFY(!text->isRichText());

        // The next page replaces the text of the first.
        const QString second =
            writeFile(m_files.path() + QStringLiteral("/second.html"), "<p>second page</p>\n");
        viewer.show({second, second});
        QVERIFY(pane.showsText());
        QCOMPARE(text->text().trimmed(), QStringLiteral("<p>second page</p>"));

        // A JPEG picture is no page: the text and its line go rather than stay over it.
        const QString picture =
            writeFile(m_files.path() + QStringLiteral("/photo.jpg"), "\xff\xd8\xff\xe0");
        viewer.show({picture, picture});
        QVERIFY(!pane.showsText());
        QVERIFY(!line->isVisible());
        QVERIFY(text->text().isEmpty());
    }

    void helpWindowStillReportsTheMissingModule()
    {
        // The help window opens the manual in the browser or not at all; it is told so.
        const QString help = writeFile(m_files.path() + QStringLiteral("/help.html"), "<p>x</p>");
        about::HelpWindow window;
        QVERIFY(!window.showFile(help));
        QVERIFY(!window.isVisible());
        QVERIFY(!window.findChild<QLabel*>(QStringLiteral("browserTextLine")));
    }
};

QTEST_MAIN(BrowserMissingTest)
#include "tst_browser_missing.moc"
