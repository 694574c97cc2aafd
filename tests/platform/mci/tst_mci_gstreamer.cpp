// The media device over GStreamer: the command strings, playback in real time into a clocked
// fake sink, MIDI through the synthesiser, video into the preview area, and bad input.
#include "MediaFiles.h"

#include "desktop/VideoSurface.h"
#include "platform/mci/MediaMci.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

using platform::Mci;

namespace
{
QString reply(Mci& mci, const QString& command)
{
    return mci.send(command).reply;
}

qint64 number(Mci& mci, const QString& command)
{
    bool ok = false;
    const qint64 value = mci.send(command).reply.toLongLong(&ok);
    return ok ? value : -1;
}

qint64 position(Mci& mci)
{
    return number(mci, QStringLiteral("status Media position"));
}

QString mode(Mci& mci)
{
    return reply(mci, QStringLiteral("status Media mode"));
}

QString openCommand(const QString& path)
{
    return QStringLiteral("open \"") + path + QStringLiteral("\" alias Media");
}

// Keeps the event loop running for the given time and tells whether value() stayed the same.
template <typename F> bool staysTheSame(int milliseconds, F value)
{
    const auto first = value();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (value() != first)
            return false;
    }
    return true;
}
} // namespace

class MciGstreamerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("KORAMO_AUDIO_SINK", "fakesink sync=true");
        QVERIFY(m_dir.isValid());
        QVERIFY(writeWav(path("tone.wav"), 3000));
        QVERIFY(writeWav(path("short.wav"), 600));
        QVERIFY(writeWav(path("音 楽.wav"), 3000));
        QVERIFY(writeMidi(path("tune.mid"), 6));
        QVERIFY(writeAvi(path("red.avi"), 10, QColor(255, 0, 0)));
        QByteArray noise;
        for (int i = 0; i < 8192; ++i)
            noise.append(char((i * 7919 + 13) % 251));
        QVERIFY(writeBytes(path("noise.wav"), noise));
        QVERIFY(writeBytes(path("letter.mid"), "Dear reader,\nthis is no music.\n"));
    }

    void commandsToAnAliasNotOpenFail()
    {
        auto mci = platform::createMediaMci(nullptr);
        for (const char* command :
             {"stop Media", "close Media", "play Media", "pause Media", "seek media to start",
              "status Media mode", "status Media position", "status Media length"}) {
            const platform::MciResult result = mci->send(QString::fromLatin1(command));
            QCOMPARE(result.error, platform::kMciErrInvalidDeviceName);
            QCOMPARE(result.reply, QString());
        }
        QCOMPARE(mci->send(QStringLiteral("rewind Media")).error,
                 platform::kMciErrUnrecognizedCommand);

        // Once a file was open and closed again, the alias is unknown again.
        QCOMPARE(mci->send(openCommand(path("tone.wav"))).error, 0);
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
        QCOMPARE(mci->send(QStringLiteral("status Media mode")).error,
                 platform::kMciErrInvalidDeviceName);
        QCOMPARE(mci->send(QStringLiteral("close Media")).error,
                 platform::kMciErrInvalidDeviceName);
    }

    void wavPlaysInRealTime()
    {
        auto mci = platform::createMediaMci(nullptr);
        // The name has a blank and Japanese letters: the quotes keep it one word.
        QCOMPARE(mci->send(openCommand(path("音 楽.wav"))).error, 0);
        QCOMPARE(mode(*mci), QStringLiteral("stopped"));
        QCOMPARE(number(*mci, QStringLiteral("status Media length")), 3000);
        QCOMPARE(position(*mci), 0);

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QCOMPARE(mode(*mci), QStringLiteral("playing"));
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) >= 1000, 5000);
        // Into the fake sink the sound still takes its own time.
        QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
        const qint64 first = position(*mci);
        QVERIFY(first < 3000);
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) > first + 200, 5000);
        QCOMPARE(mode(*mci), QStringLiteral("playing"));
        // A second open of the same alias is refused and playback goes on.
        QCOMPARE(mci->send(openCommand(path("tone.wav"))).error, platform::kMciErrDuplicateAlias);
        QCOMPARE(mode(*mci), QStringLiteral("playing"));
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
    }

    void pauseStopAndRewind()
    {
        auto mci = platform::createMediaMci(nullptr);
        QCOMPARE(mci->send(openCommand(path("tone.wav"))).error, 0);
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) >= 500, 5000);

        QCOMPARE(mci->send(QStringLiteral("pause Media")).error, 0);
        QCOMPARE(mode(*mci), QStringLiteral("paused"));
        const qint64 paused = position(*mci);
        QVERIFY(paused >= 500);
        QVERIFY(staysTheSame(400, [&] { return position(*mci); }));
        // Playing again continues where the pause left off.
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QCOMPARE(mode(*mci), QStringLiteral("playing"));
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) > paused + 100, 5000);
        QVERIFY(position(*mci) < paused + 1500);

        QCOMPARE(mci->send(QStringLiteral("stop Media")).error, 0);
        QCOMPARE(mode(*mci), QStringLiteral("stopped"));
        const qint64 stopped = position(*mci);
        QVERIFY(stopped > paused);
        QVERIFY(staysTheSame(300, [&] { return position(*mci); }));
        // The alias is matched without regard to case.
        QCOMPARE(mci->send(QStringLiteral("seek media to start")).error, 0);
        QCOMPARE(mode(*mci), QStringLiteral("stopped"));
        QCOMPARE(position(*mci), 0);
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) > 100, 5000);
        QVERIFY(position(*mci) < stopped);
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
    }

    void playsToTheEndAndStartsOver()
    {
        auto mci = platform::createMediaMci(nullptr);
        QCOMPARE(mci->send(openCommand(path("short.wav"))).error, 0);
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QTRY_COMPARE_WITH_TIMEOUT(mode(*mci), QStringLiteral("stopped"), 5000);
        QCOMPARE(position(*mci), 600);
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QCOMPARE(mode(*mci), QStringLiteral("playing"));
        QVERIFY(position(*mci) < 600);
        QTRY_COMPARE_WITH_TIMEOUT(mode(*mci), QStringLiteral("stopped"), 5000);
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
    }

    void midiPlays()
    {
        auto mci = platform::createMediaMci(nullptr);
        QCOMPARE(mci->send(openCommand(path("tune.mid"))).error, 0);
        const qint64 length = number(*mci, QStringLiteral("status Media length"));
        QVERIFY2(length >= 2900 && length <= 4000, qPrintable(QString::number(length)));
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QCOMPARE(mode(*mci), QStringLiteral("playing"));
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) >= 300, 5000);
        const qint64 first = position(*mci);
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) > first + 200, 5000);
        QCOMPARE(mode(*mci), QStringLiteral("playing"));
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
    }

    void unplayableFilesAreErrors()
    {
        auto mci = platform::createMediaMci(nullptr);
        for (const char* name : {"noise.wav", "letter.mid"}) {
            const platform::MciResult result = mci->send(openCommand(path(name)));
            QCOMPARE(result.error, platform::kMciErrInvalidFile);
            QCOMPARE(result.reply, QString());
            QCOMPARE(mci->send(QStringLiteral("status Media mode")).error,
                     platform::kMciErrInvalidDeviceName);
            QCOMPARE(mci->send(QStringLiteral("play Media")).error,
                     platform::kMciErrInvalidDeviceName);
        }
        QCOMPARE(mci->send(openCommand(path("missing.wav"))).error, platform::kMciErrFileNotFound);
        QCOMPARE(mci->send(openCommand(m_dir.path())).error, platform::kMciErrFileNotFound);
        QCOMPARE(mci->send(QStringLiteral("open \"") + path("tone.wav")).error,
                 platform::kMciErrNoClosingQuote);
        // The device still plays a good file after the refusals.
        QCOMPARE(mci->send(openCommand(path("tone.wav"))).error, 0);
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) > 100, 5000);
        QCOMPARE(mci->send(QStringLiteral("status Media volume")).error,
                 platform::kMciErrUnrecognizedKeyword);
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
    }

    void aviPicturesReachThePreviewArea()
    {
        QWidget area;
        area.resize(320, 240);
        area.show();
        auto mci = platform::createMediaMci(&area);

        // Sound alone leaves the preview area as it is.
        QCOMPARE(mci->send(openCommand(path("tone.wav"))).error, 0);
        auto* surface = area.findChild<platform::VideoSurface*>();
        QVERIFY(surface);
        QVERIFY(!surface->isVisible());
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);

        QCOMPARE(mci->send(openCommand(path("red.avi"))).error, 0);
        QCOMPARE(number(*mci, QStringLiteral("status Media length")), 1000);
        QVERIFY(surface->isVisible());
        QCOMPARE(surface->geometry(), area.rect());
        // The first picture is shown as soon as the file is open.
        QTRY_VERIFY_WITH_TIMEOUT(surface->frameCount() >= 1, 5000);
        QCOMPARE(surface->frame().size(), QSize(32, 24));
        const QColor centre = surface->frame().pixelColor(16, 12);
        QVERIFY2(centre.red() > 240 && centre.green() < 16 && centre.blue() < 16,
                 qPrintable(centre.name()));

        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QTRY_VERIFY_WITH_TIMEOUT(surface->frameCount() >= 5, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(mode(*mci), QStringLiteral("stopped"), 5000);
        area.resize(400, 300);
        QCOMPARE(surface->geometry(), area.rect());

        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
        QVERIFY(!surface->isVisible());
    }

    void droppedWhilePictures()
    {
        // The device goes first, then the preview area goes first: pictures still on their
        // way are dropped, nothing is painted into a widget that is gone.
        {
            QWidget area;
            area.show();
            auto mci = platform::createMediaMci(&area);
            QCOMPARE(mci->send(openCommand(path("red.avi"))).error, 0);
            QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
            auto* surface = area.findChild<platform::VideoSurface*>();
            QTRY_VERIFY_WITH_TIMEOUT(surface->frameCount() >= 3, 5000);
            mci.reset();
            QCoreApplication::processEvents();
            QVERIFY(area.findChild<platform::VideoSurface*>());
        }
        auto area = std::make_unique<QWidget>();
        area->show();
        auto mci = platform::createMediaMci(area.get());
        QCOMPARE(mci->send(openCommand(path("red.avi"))).error, 0);
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QTRY_VERIFY_WITH_TIMEOUT(area->findChild<platform::VideoSurface*>()->frameCount() >= 3,
                                 5000);
        area.reset();
        QTRY_COMPARE_WITH_TIMEOUT(mode(*mci), QStringLiteral("stopped"), 5000);
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
        QCOMPARE(mci->send(openCommand(path("red.avi"))).error, 0);
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
    }

    void playsWithoutAChosenSoundOutput()
    {
        // No sink named: a sound output if one works, else a clocked fake sink; either way the
        // sound plays at its own pace.
        qunsetenv("KORAMO_AUDIO_SINK");
        auto mci = platform::createMediaMci(nullptr);
        qputenv("KORAMO_AUDIO_SINK", "fakesink sync=true");
        QCOMPARE(mci->send(openCommand(path("tone.wav"))).error, 0);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(mci->send(QStringLiteral("play Media")).error, 0);
        QTRY_VERIFY_WITH_TIMEOUT(position(*mci) >= 500, 5000);
        QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(mode(*mci), QStringLiteral("playing"));
        QCOMPARE(mci->send(QStringLiteral("close Media")).error, 0);
    }
};

QTEST_MAIN(MciGstreamerTest)
#include "tst_mci_gstreamer.moc"
