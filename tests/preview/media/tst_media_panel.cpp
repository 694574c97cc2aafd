// The media controls: commands sent by selection, stop and pause buttons, their captions and
// flags, the 50 ms status line; once with a scripted device and once with real playback.
#include "GuiRun.h"
#include "MediaFiles.h"
#include "MediaForm.h"

#include "app/Application.h"
#include "app/MainWindow.h"

#include "platform/mci/MediaMci.h"
#include "preview/MediaPanel.h"

#include <QHash>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace
{
// Answers each command from a script; anything unscripted is addressed to no open device.
class ScriptedMci final : public platform::Mci
{
public:
    platform::MciResult send(const QString& command) override
    {
        sent.append(command);
        return replies.value(command, {platform::kMciErrInvalidDeviceName, QString()});
    }
    QStringList takeSent()
    {
        QStringList all = sent;
        sent.clear();
        return all;
    }
    QStringList sent;
    QHash<QString, platform::MciResult> replies;
};

const QString kPlayingPrefix = QStringLiteral("再生中             現在位置：");

// The position shown in a "playing" status line, or -1.
qint64 shownPosition(const QLabel* status)
{
    const QString text = status->text();
    if (!text.startsWith(kPlayingPrefix))
        return -1;
    bool ok = false;
    const qint64 value = text.mid(kPlayingPrefix.size()).section(u'/', 0, 0).toLongLong(&ok);
    return ok ? value : -1;
}
} // namespace

class MediaPanelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectionStopAndPauseSendTheirCommands()
    {
        MediaForm form;
        ScriptedMci mci;
        preview::MediaPanel panel(form.widgets(), mci);
        panel.timer()->stop();

        panel.startMedia(QStringLiteral("/home/u/音 楽/a.wav"));
        QCOMPARE(mci.takeSent(),
                 QStringList({QStringLiteral("open \"/home/u/音 楽/a.wav\" alias Media"),
                              QStringLiteral("play Media")}));
        QCOMPARE(panel.mediaPath(), QStringLiteral("/home/u/音 楽/a.wav"));
        QVERIFY(form.status->isVisible() && form.stop->isVisible() && form.pause->isVisible());
        QCOMPARE(form.stop->text(), QStringLiteral("停止(&P)"));
        QCOMPARE(form.pause->text(), QStringLiteral("一時停止(&T)"));
        QCOMPARE(panel.stoppedFlag(), QString());
        QCOMPARE(panel.pausedFlag(), QString());

        // Stop, rewind, then play from the start.
        form.stop->click();
        QCOMPARE(form.stop->text(), QStringLiteral("再生"));
        QCOMPARE(panel.stoppedFlag(), QStringLiteral("stop"));
        QCOMPARE(mci.takeSent(), QStringList({QStringLiteral("stop Media"),
                                              QStringLiteral("seek media to start")}));
        form.stop->click();
        QCOMPARE(form.stop->text(), QStringLiteral("停止"));
        QCOMPARE(panel.stoppedFlag(), QString());
        QCOMPARE(mci.takeSent(), QStringList({QStringLiteral("play Media")}));

        form.pause->click();
        QCOMPARE(form.pause->text(), QStringLiteral("再生"));
        QCOMPARE(panel.pausedFlag(), QStringLiteral("stop"));
        QCOMPARE(mci.takeSent(), QStringList({QStringLiteral("pause Media")}));
        QCOMPARE(panel.stoppedFlag(), QString());
        QCOMPARE(form.stop->text(), QStringLiteral("停止"));

        // Stopped and paused, then another file is selected: the stopped flag is cleared, the
        // paused flag and both captions stay.
        form.stop->click();
        mci.takeSent();
        panel.startMedia(QStringLiteral("/b.mid"));
        QCOMPARE(mci.takeSent(), QStringList({QStringLiteral("open \"/b.mid\" alias Media"),
                                              QStringLiteral("play Media")}));
        QCOMPARE(panel.stoppedFlag(), QString());
        QCOMPARE(panel.pausedFlag(), QStringLiteral("stop"));
        QCOMPARE(form.stop->text(), QStringLiteral("再生"));
        QCOMPARE(form.pause->text(), QStringLiteral("再生"));
        // So the next press of the pause button plays.
        form.pause->click();
        QCOMPARE(mci.takeSent(), QStringList({QStringLiteral("play Media")}));
        QCOMPARE(form.pause->text(), QStringLiteral("一時停止"));
        QCOMPARE(panel.pausedFlag(), QString());
        // And the stop button, flag cleared by the selection, stops.
        form.stop->click();
        QCOMPARE(mci.takeSent(), QStringList({QStringLiteral("stop Media"),
                                              QStringLiteral("seek media to start")}));
    }

    void statusLine()
    {
        MediaForm form;
        ScriptedMci mci;
        preview::MediaPanel panel(form.widgets(), mci);
        QCOMPARE(panel.timer()->objectName(), QStringLiteral("Timer1"));
        QCOMPARE(panel.timer()->interval(), 50);
        QVERIFY(panel.timer()->isActive());

        // Nothing open: the timer keeps writing the stopped text.
        form.status->setText(QStringLiteral("x"));
        QTRY_COMPARE(form.status->text(), QStringLiteral("停止中"));
        panel.timer()->stop();
        mci.takeSent();
        panel.tick();
        QCOMPARE(mci.takeSent(), QStringList({QStringLiteral("status Media mode")}));

        mci.replies.insert(QStringLiteral("status Media mode"), {0, QStringLiteral("playing")});
        mci.replies.insert(QStringLiteral("status Media position"), {0, QStringLiteral("1234")});
        mci.replies.insert(QStringLiteral("status Media length"), {0, QStringLiteral("5000")});
        panel.tick();
        QCOMPARE(form.status->text(), kPlayingPrefix + QStringLiteral("1234/5000"));
        QCOMPARE(mci.takeSent(), QStringList({QStringLiteral("status Media mode"),
                                              QStringLiteral("status Media position"),
                                              QStringLiteral("status Media length")}));

        // Replies are read as from a text buffer: up to the first NUL.
        mci.replies.insert(QStringLiteral("status Media position"),
                           {0, QStringLiteral("77") + QChar(u'\0') + QStringLiteral("99")});
        mci.replies.insert(QStringLiteral("status Media length"),
                           {0, QStringLiteral("800") + QChar(u'\0') + QStringLiteral("1")});
        panel.tick();
        QCOMPARE(form.status->text(), kPlayingPrefix + QStringLiteral("77/800"));

        for (const char* other : {"paused", "stopped", "Playing", "playin"}) {
            mci.replies.insert(QStringLiteral("status Media mode"),
                               {0, QString::fromLatin1(other)});
            panel.tick();
            QCOMPARE(form.status->text(), QStringLiteral("停止中"));
        }
    }

    void realPlaybackThroughTheButtons()
    {
        qputenv("KORAMO_AUDIO_SINK", "fakesink sync=true");
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeWav(wav, 4000));
        MediaForm form;
        auto mci = platform::createMediaMci(&form);
        preview::MediaPanel panel(form.widgets(), *mci);

        panel.startMedia(wav);
        QTRY_VERIFY_WITH_TIMEOUT(shownPosition(form.status) >= 300, 5000);
        QVERIFY(form.status->text().endsWith(QStringLiteral("/4000")));
        const qint64 first = shownPosition(form.status);
        QTRY_VERIFY_WITH_TIMEOUT(shownPosition(form.status) > first + 100, 5000);

        form.pause->click();
        QTRY_COMPARE(form.status->text(), QStringLiteral("停止中"));
        QCOMPARE(mci->send(QStringLiteral("status Media mode")).reply, QStringLiteral("paused"));
        const qint64 paused = mci->send(QStringLiteral("status Media position")).reply.toLongLong();
        form.pause->click();
        QTRY_VERIFY_WITH_TIMEOUT(shownPosition(form.status) > paused, 5000);

        // Stop rewinds; the second press plays from the beginning.
        form.stop->click();
        QTRY_COMPARE(form.status->text(), QStringLiteral("停止中"));
        QCOMPARE(mci->send(QStringLiteral("status Media position")).reply, QStringLiteral("0"));
        form.stop->click();
        QTRY_VERIFY_WITH_TIMEOUT(shownPosition(form.status) >= 0, 5000);
        QVERIFY(shownPosition(form.status) < paused);
        QTRY_VERIFY_WITH_TIMEOUT(shownPosition(form.status) >= 200, 5000);

        // What the selection of another file sends first.
        mci->send(QStringLiteral("stop Media"));
        mci->send(QStringLiteral("close Media"));
        QTRY_COMPARE(form.status->text(), QStringLiteral("停止中"));
    }

    void worksOnTheMainWindow()
    {
        qputenv("KORAMO_AUDIO_SINK", "fakesink sync=true");
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeWav(wav, 2000));
        auto mci = platform::createMediaMci(nullptr);
        GuiRun run;
        run.start({}, *mci);
        app::Application& program = *run.program;
        QWidget* form = program.mainWindow()->form();
        preview::MediaPanel panel(program.mainWindow()->mediaWidgets(), *mci);

        auto* status = form->findChild<QLabel*>(QStringLiteral("Label4"));
        auto* stop = form->findChild<QPushButton*>(QStringLiteral("Command4"));
        QVERIFY(!status->isVisible());
        panel.startMedia(wav);
        QVERIFY(status->isVisible() && stop->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(shownPosition(status) >= 100, 5000);
        stop->click();
        QCOMPARE(stop->text(), QStringLiteral("再生"));
        QTRY_COMPARE(status->text(), QStringLiteral("停止中"));
        mci->send(QStringLiteral("close Media"));
    }
};

QTEST_MAIN(MediaPanelTest)
#include "tst_media_panel.moc"
