// Clicking a sound file in the file list plays it through the real media device; clicking
// another file stops it and hides the media buttons.
#include "GuiRun.h"
#include "MediaFiles.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "platform/mci/MediaMci.h"

#include <QLabel>
#include <QtTest>

#include <memory>

class MediaSelectionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wavStopsWhenAnotherFileIsSelected()
    {
        const std::unique_ptr<platform::Mci> mci = platform::createMediaMci(nullptr);
        GuiRun run;
        QVERIFY(writeWav(run.browsed(QStringLiteral("音.wav")), 20000));
        QVERIFY(writeBytes(run.browsed(QStringLiteral("b.txt")), QByteArray("text")));
        run.start({run.browse.path()}, *mci);
        app::Application& app = *run.program;
        app::FileListBox* list = app.mainWindow()->fileList();
        QWidget* form = app.mainWindow()->form();

        list->setCurrentRow(list->rowShowing(QStringLiteral("音.wav")));
        QTRY_COMPARE(mci->send(QStringLiteral("status Media mode")).reply,
                     QStringLiteral("playing"));
        QVERIFY(!form->findChild<QWidget*>(QStringLiteral("Command4"))->isHidden());
        QTRY_VERIFY(mci->send(QStringLiteral("status Media position")).reply.toInt() > 0);

        list->setCurrentRow(list->rowShowing(QStringLiteral("b.txt")));
        const platform::MciResult after = mci->send(QStringLiteral("status Media mode"));
        QCOMPARE(after.error, platform::kMciErrInvalidDeviceName);
        QVERIFY(after.reply.isEmpty());
        QVERIFY(form->findChild<QWidget*>(QStringLiteral("Command4"))->isHidden());
        QVERIFY(form->findChild<QWidget*>(QStringLiteral("Command5"))->isHidden());
        QVERIFY(form->findChild<QWidget*>(QStringLiteral("Label4"))->isHidden());
    }
};

QTEST_MAIN(MediaSelectionTest)
#include "tst_media_selection.moc"
