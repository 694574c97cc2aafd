// Each document kind has its own off switch on the preview settings dialog, kept in a section
// of exp.ini of its own: a kind turned off is previewed as a file of no known kind (the notice,
// and the custom rules), a file without the section shows every kind, and the design's own
// switches and keys are as they were.
#include "DocumentFiles.h"
#include "DocumentRun.h"

#include "settings/Settings.h"
#include "settings/SettingsTable.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

class DocumentSwitchesTest : public QObject
{
    Q_OBJECT

    static void confirm(const DocumentRun& run)
    {
        QTest::mouseClick(run.preview()->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
    }

private Q_SLOTS:
    void eachKindHasItsSwitch_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("shown");
        QTest::newRow("pdf") << QStringLiteral("a.pdf") << QStringLiteral("Check13")
                             << QStringLiteral("PdfView");
        QTest::newRow("png") << QStringLiteral("a.png") << QStringLiteral("Check14")
                             << QStringLiteral("Picture1");
        QTest::newRow("webp") << QStringLiteral("a.webp") << QStringLiteral("Check14")
                              << QStringLiteral("Picture1");
        QTest::newRow("tiff") << QStringLiteral("a.tiff") << QStringLiteral("Check14")
                              << QStringLiteral("Picture1");
        QTest::newRow("svg") << QStringLiteral("a.svg") << QStringLiteral("Check14")
                             << QStringLiteral("Picture1");
        QTest::newRow("md") << QStringLiteral("a.md") << QStringLiteral("Check15")
                            << QStringLiteral("MarkdownView");
        QTest::newRow("markdown") << QStringLiteral("a.markdown") << QStringLiteral("Check15")
                                  << QStringLiteral("MarkdownView");
        QTest::newRow("mp4") << QStringLiteral("a.mp4") << QStringLiteral("Check16") << QString();
        QTest::newRow("mkv") << QStringLiteral("a.mkv") << QStringLiteral("Check16") << QString();
        QTest::newRow("webm") << QStringLiteral("a.webm") << QStringLiteral("Check16") << QString();
        QTest::newRow("flac") << QStringLiteral("a.flac") << QStringLiteral("Check17") << QString();
        QTest::newRow("ogg") << QStringLiteral("a.ogg") << QStringLiteral("Check17") << QString();
        QTest::newRow("opus") << QStringLiteral("a.opus") << QStringLiteral("Check17") << QString();
        QTest::newRow("m4a") << QStringLiteral("a.m4a") << QStringLiteral("Check17") << QString();
    }

    void eachKindHasItsSwitch()
    {
        QFETCH(QString, name);
        QFETCH(QString, box);
        QFETCH(QString, shown);
        DocumentRun run;
        QVERIFY(writeFileBytes(run.browsed(name), "x"));
        run.start({run.browse.path()});
        const QString open =
            QStringLiteral("open \"") + run.browsed(name) + QStringLiteral("\" alias Media");
        run.click(name);
        if (shown.isEmpty())
            QVERIFY(run.sent().contains(open));
        else
            QCOMPARE(run.shown(), shown);
        QCheckBox* off = run.box(box.toLatin1().constData());
        QVERIFY(off);
        off->setChecked(true);
        run.click(name);
        // As a file of no known kind: the notice, nothing played.
        QCOMPARE(run.shown(), QStringLiteral("Label2"));
        QVERIFY(!run.sent().contains(open));
        QVERIFY(!run.visible("Command4"));
        // The other switches leave it alone.
        off->setChecked(false);
        for (const char* other : {"Check13", "Check14", "Check15", "Check16", "Check17"}) {
            if (box != QLatin1String(other))
                run.box(other)->setChecked(true);
        }
        run.click(name);
        if (shown.isEmpty())
            QVERIFY(run.sent().contains(open));
        else
            QCOMPARE(run.shown(), shown);
    }

    void aKindTurnedOffStillTakesACustomRule()
    {
        DocumentRun run;
        QVERIFY(writeFileBytes(run.browsed(QStringLiteral("a.pdf")), "%PDF-1.4 as text\n"));
        run.start({run.browse.path()});
        run.box("Check13")->setChecked(true);
        settings::PreviewSettingsDialog* p = run.preview();
        p->extensionBox(1)->setText(QStringLiteral(".pdf"));
        p->option(1, 0)->setChecked(true);
        run.box("Check7")->setChecked(true);
        run.click(QStringLiteral("a.pdf"));
        // The notice, covered by the text view of the rule, as for a file of no known kind.
        QVERIFY(run.visible("Label2"));
        QVERIFY(run.visible("RichTextBox1"));
        QVERIFY(!run.visible("PdfView"));
    }

    void everythingOffDisablesTheDocumentKindsToo()
    {
        DocumentRun run;
        run.start({run.browse.path()});
        QCOMPARE(run.preview()->documentBoxes().size(), 5);
        run.box("Check6")->setChecked(true);
        for (QCheckBox* box : run.preview()->documentBoxes())
            QVERIFY(!box->isEnabled());
        // The design's nine are as before.
        QCOMPARE(run.preview()->kindBoxes().size(), 9);
        run.box("Check6")->setChecked(false);
        for (QCheckBox* box : run.preview()->documentBoxes())
            QVERIFY(box->isEnabled());
    }

    void switchesLiveInTheirOwnSection()
    {
        DocumentRun run;
        run.folder.writeIni(
            cp932Lines({QStringLiteral("[pre]"), QStringLiteral("jpg=1"), QStringLiteral("[pre3]"),
                        QStringLiteral("md=1"), QStringLiteral("sound=1")}));
        run.start({run.browse.path()});
        const settings::Settings* s = run.program->settings();
        QVERIFY(s->previewOff(settings::Preview::Jpg));
        QVERIFY(s->previewOff(settings::Preview::Markdown));
        QVERIFY(s->previewOff(settings::Preview::Sound));
        QVERIFY(!s->previewOff(settings::Preview::Pdf));
        QVERIFY(!s->previewOff(settings::Preview::Pictures));
        QVERIFY(!s->previewOff(settings::Preview::Video));
        QVERIFY(run.box("Check15")->isChecked() && run.box("Check17")->isChecked());
        run.box("Check13")->setChecked(true);
        run.box("Check17")->setChecked(false);
        confirm(run);
        QCOMPARE(run.read("pre3", "pdf"), QStringLiteral("1"));
        QCOMPARE(run.read("pre3", "sound"), QStringLiteral("0"));
        QCOMPARE(run.read("pre3", "md"), QStringLiteral("1"));
        QCOMPARE(run.read("pre", "jpg"), QStringLiteral("1"));
        // Nothing of the new kinds went into the design's section.
        const QByteArray ini = run.folder.readIni();
        QCOMPARE(ini.count("pdf="), 1);
        QVERIFY(ini.indexOf("[pre3]") >= 0 && ini.indexOf("pdf=") > ini.indexOf("[pre3]"));
    }

    void aFileWithoutTheSectionShowsEveryKindAndKeepsItsBytes()
    {
        DocumentRun run;
        const QByteArray before =
            cp932Lines({QStringLiteral("[pre]"), QStringLiteral("htm=0"), QStringLiteral("jpg=0"),
                        QStringLiteral("txt=0"), QStringLiteral("bmp=0"), QStringLiteral("mp3=0"),
                        QStringLiteral("subete=0"), QStringLiteral("multi=0")});
        run.folder.writeIni(before);
        run.start({run.browse.path()});
        for (QCheckBox* box : run.preview()->documentBoxes())
            QVERIFY(!box->isChecked());
        // OK without touching the document kinds writes no section for them.
        run.box("Check2")->setChecked(true);
        confirm(run);
        const QByteArray after = run.folder.readIni();
        QVERIFY(!after.contains("[pre3]"));
        QCOMPARE(run.read("pre", "jpg"), QStringLiteral("1"));
        // Turning one off and on again writes its key with the others left out.
        run.box("Check16")->setChecked(true);
        confirm(run);
        QCOMPARE(run.read("pre3", "video"), QStringLiteral("1"));
        QVERIFY(!run.folder.readIni().contains("pdf="));
    }

    void designControlsKeepTheirPlaces()
    {
        DocumentRun run;
        run.start({run.browse.path()});
        settings::PreviewSettingsDialog* p = run.preview();
        p->adjustSize();
        // The document kinds are to the right of every control of the design, and after them
        // in the order the Tab key takes.
        int designRight = 0;
        for (const char* name :
             {"Check1", "Check2", "Check3", "Check4", "Check5", "Check6", "Check9", "Check10",
              "Check11", "Check12", "Text1", "Text2", "Check7", "Check8", "Command1", "Command2"}) {
            QWidget* control = p->findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(control, name);
            designRight = std::max(designRight, control->mapTo(p, control->rect().topRight()).x());
        }
        QList<QWidget*> chain;
        for (QWidget* w = p->findChild<QWidget*>(QStringLiteral("Command2"))->nextInFocusChain();
             w && w != p; w = w->nextInFocusChain())
            chain.append(w);
        for (QCheckBox* box : p->documentBoxes()) {
            QVERIFY(box->mapTo(p, QPoint(0, 0)).x() > designRight);
            QVERIFY(chain.contains(box));
        }
        QCOMPARE(p->documentBoxes().first()->text(), QStringLiteral("PDFファイル"));
    }
};

QTEST_MAIN(DocumentSwitchesTest)
#include "tst_document_switches.moc"
