#pragma once

#include "platform/Mci.h"
#include "platform/mci/VideoOutput.h"

#include <QImage>
#include <QObject>
#include <QPointer>

#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstAppSink GstAppSink;

namespace platform
{

class MciCommand;

// The media device over a GStreamer playbin, created on the first "open" and reused for every
// later file. Bus messages (end of stream, errors) are collected whenever a command arrives,
// so no GLib main loop is needed.
class GstMci final : public QObject, public Mci
{
    Q_OBJECT
public:
    // Without a factory the pictures of a video are dropped.
    explicit GstMci(VideoOutputFactory makeOutput);
    ~GstMci() override;

    MciResult send(const QString& command) override;

    // Called on GStreamer's streaming thread with a decoded picture (returns a GstFlowReturn).
    static int onFrame(GstAppSink* sink, void* self, bool preroll);

private:
    enum class Mode { Stopped, Playing, Paused };

    MciResult open(const MciCommand& command);
    MciResult close();
    MciResult play();
    MciResult stop();
    MciResult pause();
    MciResult resume();
    MciResult seek(const QStringList& arguments);
    MciResult status(const QStringList& arguments);

    bool ensurePipeline();
    GstElement* makeAudioSink() const;
    GstElement* makeVideoSink();
    void collectBusMessages();
    void waitForStateChange() const;
    void shutDownPlayback();
    qint64 lengthMs() const;
    qint64 positionMs();

    void frameArrived(QImage frame);
    void deliverFrame();

    // Sink descriptions from the environment, read when the device is made.
    QByteArray m_audioSinkDescription;
    QByteArray m_videoSinkDescription;
    // The output, while the object it lives in exists.
    VideoOutput* surface() const;

    VideoOutputFactory m_makeOutput;
    QPointer<QObject> m_surfaceLifetime;
    VideoOutput* m_surface = nullptr;
    GstElement* m_playbin = nullptr;
    bool m_open = false;
    QString m_alias;
    Mode m_mode = Mode::Stopped;
    bool m_atEnd = false;
    qint64 m_lastPosition = 0;

    std::mutex m_frameLock;
    QImage m_pendingFrame;
    bool m_framePosted = false;
};

} // namespace platform
