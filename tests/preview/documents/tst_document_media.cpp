// Video and sound in the formats beyond WAV, MIDI and AVI, made by FFmpeg and clicked in the
// file list, play through the real media device (into fake sinks): the device reaches the
// playing state with the file's length, the media buttons show, and the next click stops it.
#include "DocumentFiles.h"
#include "DocumentRun.h"

#include "platform/mci/MediaMci.h"

#include <QLabel>
#include <QPushButton>

#include <memory>

class DocumentMediaTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void playsThroughTheMediaDevice_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name :
             {"映像.mp4", "b.mkv", "c.webm", "d.flac", "e.ogg", "f.opus", "g.m4a"})
            QTest::newRow(name) << QString::fromUtf8(name);
    }

    void playsThroughTheMediaDevice()
    {
        QFETCH(QString, name);
        const std::unique_ptr<platform::Mci> mci = platform::createMediaMci(nullptr);
        DocumentRun run;
        QVERIFY(makeMedia(run.browsed(name)));
        QVERIFY(writeFileBytes(run.browsed(QStringLiteral("z.txt")), "x"));
        run.start({run.browse.path()}, *mci);
        run.click(name);
        QTRY_COMPARE_WITH_TIMEOUT(mci->send(QStringLiteral("status Media mode")).reply,
                                  QStringLiteral("playing"), 20000);
        // Two seconds long, as made.
        const int length = mci->send(QStringLiteral("status Media length")).reply.toInt();
        QVERIFY2(length > 1500 && length < 2600, qPrintable(QString::number(length)));
        QTRY_VERIFY(mci->send(QStringLiteral("status Media position")).reply.toInt() > 0);
        QVERIFY(run.visible("Command4") && run.visible("Command5"));
        // The existing buttons work on it: pause, then stop.
        QTest::mouseClick(static_cast<QPushButton*>(run.widget("Command5")), Qt::LeftButton);
        QTRY_COMPARE(mci->send(QStringLiteral("status Media mode")).reply,
                     QStringLiteral("paused"));
        run.click(QStringLiteral("z.txt"));
        QCOMPARE(mci->send(QStringLiteral("status Media mode")).error,
                 platform::kMciErrInvalidDeviceName);
        QVERIFY(!run.visible("Command4"));
    }
};

QTEST_MAIN(DocumentMediaTest)
#include "tst_document_media.moc"
