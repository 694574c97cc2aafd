#include "platform/mci/GstMci.h"

#include "platform/mci/MciCommand.h"
#include "platform/mci/MediaMci.h"

#include <QFile>
#include <QFileInfo>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

namespace platform
{

namespace
{

constexpr GstClockTime kOpenTimeout = 10 * GST_SECOND;
constexpr GstClockTime kSeekTimeout = 3 * GST_SECOND;

const char* const kSoundFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2",
                                   "/usr/share/sounds/sf2/default-GM.sf2",
                                   "/usr/share/sounds/sf2/FluidR3_GM.sf2"};

// A sink built from a description such as "fakesink sync=true"; null when it does not parse.
GstElement* sinkFromDescription(const QByteArray& description)
{
    GError* error = nullptr;
    GstElement* bin = gst_parse_bin_from_description(description.constData(), TRUE, &error);
    if (error) {
        g_error_free(error);
        if (bin)
            gst_object_unref(bin);
        return nullptr;
    }
    return bin;
}

GstElement* clockedFakeSink()
{
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink)
        g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

// True when autoaudiosink found no real output and fell back to a fake sink of its own.
bool usesFakeOutput(GstElement* autoSink)
{
    bool fake = false;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(autoSink));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(element);
        if (factory &&
            g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fakesink") == 0)
            fake = true;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return fake;
}

QByteArray soundFont()
{
    const QByteArray chosen = qgetenv("KORAMO_SOUNDFONT");
    if (!chosen.isEmpty())
        return chosen;
    for (const char* path : kSoundFonts) {
        if (QFileInfo::exists(QString::fromUtf8(path)))
            return QByteArray(path);
    }
    return {};
}

// The MIDI synthesiser gets the General MIDI sound font, which it does not look for itself.
void onElementSetup(GstElement*, GstElement* element, gpointer)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory ||
        g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fluiddec") != 0)
        return;
    gchar* current = nullptr;
    g_object_get(element, "soundfont", &current, nullptr);
    const bool unset = current == nullptr || *current == '\0';
    g_free(current);
    const QByteArray font = soundFont();
    if (unset && !font.isEmpty())
        g_object_set(element, "soundfont", font.constData(), nullptr);
}

GstFlowReturn onNewSample(GstAppSink* sink, gpointer self);
GstFlowReturn onNewPreroll(GstAppSink* sink, gpointer self);

MciResult ok(const QString& reply = QString())
{
    return {0, reply};
}

MciResult failure(int error)
{
    return {error, QString()};
}

} // namespace

GstMci::GstMci(VideoOutputFactory makeOutput)
    : m_audioSinkDescription(qgetenv("KORAMO_AUDIO_SINK")),
      m_videoSinkDescription(qgetenv("KORAMO_VIDEO_SINK")), m_makeOutput(std::move(makeOutput))
{
}

VideoOutput* GstMci::surface() const
{
    return m_surfaceLifetime ? m_surface : nullptr;
}

GstMci::~GstMci()
{
    if (m_playbin) {
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        gst_object_unref(m_playbin);
    }
}

MciResult GstMci::send(const QString& text)
{
    const MciCommand command = MciCommand::parse(text);
    if (command.unterminatedQuote())
        return failure(kMciErrNoClosingQuote);
    const QString verb = command.verb();
    if (verb == u"open")
        return open(command);

    static const QStringList deviceVerbs{QStringLiteral("play"),  QStringLiteral("stop"),
                                         QStringLiteral("pause"), QStringLiteral("resume"),
                                         QStringLiteral("seek"),  QStringLiteral("close"),
                                         QStringLiteral("status")};
    if (!deviceVerbs.contains(verb))
        return failure(kMciErrUnrecognizedCommand);
    if (!m_open || command.device().compare(m_alias, Qt::CaseInsensitive) != 0)
        return failure(kMciErrInvalidDeviceName);

    collectBusMessages();
    if (verb == u"close")
        return command.arguments().isEmpty() ? close() : failure(kMciErrUnrecognizedKeyword);
    if (verb == u"seek")
        return seek(command.arguments());
    if (verb == u"status")
        return status(command.arguments());
    if (!command.arguments().isEmpty())
        return failure(kMciErrUnrecognizedKeyword);
    if (verb == u"play")
        return play();
    if (verb == u"stop")
        return stop();
    if (verb == u"pause")
        return pause();
    return resume();
}

MciResult GstMci::open(const MciCommand& command)
{
    const QString path = command.device();
    if (path.isEmpty())
        return failure(kMciErrMissingParameter);
    QString alias = path;
    const QStringList arguments = command.arguments();
    if (!arguments.isEmpty()) {
        if (arguments.size() != 2 || arguments.first().compare(u"alias", Qt::CaseInsensitive))
            return failure(kMciErrUnrecognizedKeyword);
        alias = arguments.at(1);
    }
    if (m_open) {
        return failure(alias.compare(m_alias, Qt::CaseInsensitive) == 0
                           ? kMciErrDuplicateAlias
                           : kMciErrUnsupportedFunction);
    }
    if (!QFileInfo(path).isFile())
        return failure(kMciErrFileNotFound);
    if (!ensurePipeline())
        return failure(kMciErrCannotLoadDriver);

    gchar* uri = gst_filename_to_uri(
        QFile::encodeName(QFileInfo(path).absoluteFilePath()).constData(), nullptr);
    if (!uri)
        return failure(kMciErrFileNotFound);
    g_object_set(m_playbin, "uri", uri, nullptr);
    g_free(uri);

    if (VideoOutput* output = surface())
        output->clearFrame();
    GstStateChangeReturn change = gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_ASYNC)
        change = gst_element_get_state(m_playbin, nullptr, nullptr, kOpenTimeout);

    // A file that typefinding, demuxing or decoding refuses posts an error on the bus.
    bool failed = change == GST_STATE_CHANGE_FAILURE || change == GST_STATE_CHANGE_ASYNC;
    GstBus* bus = gst_element_get_bus(m_playbin);
    while (GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        failed = true;
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    if (failed) {
        shutDownPlayback();
        return failure(kMciErrInvalidFile);
    }

    m_open = true;
    m_alias = alias;
    m_mode = Mode::Stopped;
    m_atEnd = false;
    m_lastPosition = 0;
    gint videoStreams = 0;
    g_object_get(m_playbin, "n-video", &videoStreams, nullptr);
    if (VideoOutput* output = surface(); output && videoStreams > 0)
        output->showPicture();
    return ok();
}

MciResult GstMci::close()
{
    shutDownPlayback();
    return ok();
}

void GstMci::shutDownPlayback()
{
    gst_element_set_state(m_playbin, GST_STATE_NULL);
    m_open = false;
    m_alias.clear();
    m_mode = Mode::Stopped;
    m_atEnd = false;
    m_lastPosition = 0;
    {
        std::lock_guard lock(m_frameLock);
        m_pendingFrame = QImage();
    }
    if (VideoOutput* output = surface()) {
        output->hidePicture();
        output->clearFrame();
    }
}

MciResult GstMci::play()
{
    // Playing again after the end starts over from the beginning.
    if (m_atEnd) {
        gst_element_seek_simple(m_playbin, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0);
        waitForStateChange();
        m_atEnd = false;
        m_lastPosition = 0;
    }
    if (gst_element_set_state(m_playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return failure(kMciErrInvalidFile);
    m_mode = Mode::Playing;
    return ok();
}

MciResult GstMci::stop()
{
    if (m_mode != Mode::Stopped)
        gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    m_mode = Mode::Stopped;
    return ok();
}

MciResult GstMci::pause()
{
    if (m_mode == Mode::Playing) {
        gst_element_set_state(m_playbin, GST_STATE_PAUSED);
        m_mode = Mode::Paused;
    }
    return ok();
}

MciResult GstMci::resume()
{
    if (m_mode == Mode::Paused) {
        gst_element_set_state(m_playbin, GST_STATE_PLAYING);
        m_mode = Mode::Playing;
    }
    return ok();
}

MciResult GstMci::seek(const QStringList& arguments)
{
    if (arguments.size() != 2 || arguments.first().compare(u"to", Qt::CaseInsensitive) != 0)
        return failure(arguments.isEmpty() ? kMciErrMissingParameter : kMciErrUnrecognizedKeyword);
    const QString where = arguments.at(1).toLower();
    const qint64 length = lengthMs();
    qint64 target = 0;
    if (where == u"start") {
        target = 0;
    } else if (where == u"end") {
        target = length;
    } else {
        bool number = false;
        target = where.toLongLong(&number);
        if (!number || target < 0)
            return failure(kMciErrUnrecognizedKeyword);
        if (target > length)
            return failure(kMciErrOutOfRange);
    }
    // Seeking ends playback: the device is stopped at the new position.
    gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    waitForStateChange();
    gst_element_seek_simple(m_playbin, GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            target * GST_MSECOND);
    waitForStateChange();
    m_mode = Mode::Stopped;
    m_atEnd = false;
    m_lastPosition = target;
    return ok();
}

MciResult GstMci::status(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return failure(kMciErrMissingParameter);
    if (arguments.size() != 1)
        return failure(kMciErrUnrecognizedKeyword);
    const QString item = arguments.first().toLower();
    if (item == u"mode") {
        switch (m_mode) {
        case Mode::Playing:
            return ok(QStringLiteral("playing"));
        case Mode::Paused:
            return ok(QStringLiteral("paused"));
        case Mode::Stopped:
            return ok(QStringLiteral("stopped"));
        }
    }
    if (item == u"position")
        return ok(QString::number(positionMs()));
    if (item == u"length")
        return ok(QString::number(lengthMs()));
    return failure(kMciErrUnrecognizedKeyword);
}

bool GstMci::ensurePipeline()
{
    if (m_playbin)
        return true;
    GError* error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
        if (error)
            g_error_free(error);
        return false;
    }
    GstElement* playbin = gst_element_factory_make("playbin", "media");
    if (!playbin)
        return false;
    m_playbin = GST_ELEMENT(gst_object_ref_sink(playbin));

    // Subtitles are never shown in the preview.
    guint flags = 0;
    g_object_get(m_playbin, "flags", &flags, nullptr);
    flags &= ~guint(1 << 2);
    g_object_set(m_playbin, "flags", flags, nullptr);

    if (GstElement* audio = makeAudioSink())
        g_object_set(m_playbin, "audio-sink", audio, nullptr);
    if (GstElement* video = makeVideoSink())
        g_object_set(m_playbin, "video-sink", video, nullptr);
    g_signal_connect(m_playbin, "element-setup", G_CALLBACK(onElementSetup), nullptr);
    return true;
}

GstElement* GstMci::makeAudioSink() const
{
    if (!m_audioSinkDescription.isEmpty()) {
        if (GstElement* sink = sinkFromDescription(m_audioSinkDescription))
            return sink;
    }
    // A machine without sound still plays, into a sink that keeps the real-time pace.
    // Every sink returned is a floating reference that the playbin takes over.
    if (GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr)) {
        const bool works =
            gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE &&
            !usesFakeOutput(sink);
        gst_element_set_state(sink, GST_STATE_NULL);
        if (works)
            return sink;
        gst_object_unref(gst_object_ref_sink(sink));
    }
    return clockedFakeSink();
}

GstElement* GstMci::makeVideoSink()
{
    if (!m_videoSinkDescription.isEmpty()) {
        if (GstElement* sink = sinkFromDescription(m_videoSinkDescription))
            return sink;
    }
    if (!m_makeOutput)
        return clockedFakeSink();
    GstElement* sink = gst_element_factory_make("appsink", "media-video");
    if (!sink)
        return clockedFakeSink();
    VideoOutput* output = m_makeOutput();
    if (!output) {
        gst_object_unref(gst_object_ref_sink(sink));
        return clockedFakeSink();
    }
    GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
    g_object_set(sink, "caps", caps, "sync", TRUE, "max-buffers", 2u, "drop", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_preroll = onNewPreroll;
    callbacks.new_sample = onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    m_surface = output;
    m_surfaceLifetime = output->lifetime();
    return sink;
}

namespace
{
GstFlowReturn onNewSample(GstAppSink* sink, gpointer self)
{
    return GstFlowReturn(GstMci::onFrame(sink, self, false));
}
GstFlowReturn onNewPreroll(GstAppSink* sink, gpointer self)
{
    return GstFlowReturn(GstMci::onFrame(sink, self, true));
}
} // namespace

int GstMci::onFrame(GstAppSink* sink, void* self, bool preroll)
{
    GstSample* sample = preroll ? gst_app_sink_pull_preroll(sink) : gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoFrame frame;
    if (buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
        gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
        // BGRx in memory is Qt's RGB32 on a little-endian machine; copy out of GStreamer's buffer.
        const QImage image(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                           GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                           GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), QImage::Format_RGB32);
        static_cast<GstMci*>(self)->frameArrived(image.copy());
        gst_video_frame_unmap(&frame);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void GstMci::frameArrived(QImage frame)
{
    std::lock_guard lock(m_frameLock);
    m_pendingFrame = std::move(frame);
    // Only the newest picture is painted; one delivery is queued at a time.
    if (!m_framePosted) {
        m_framePosted = true;
        QMetaObject::invokeMethod(this, &GstMci::deliverFrame, Qt::QueuedConnection);
    }
}

void GstMci::deliverFrame()
{
    QImage frame;
    {
        std::lock_guard lock(m_frameLock);
        frame = std::move(m_pendingFrame);
        m_pendingFrame = QImage();
        m_framePosted = false;
    }
    if (VideoOutput* output = surface(); output && m_open && !frame.isNull())
        output->setFrame(frame);
}

void GstMci::collectBusMessages()
{
    GstBus* bus = gst_element_get_bus(m_playbin);
    while (GstMessage* message =
               gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
        // The end of the file, or a fault while playing: the device stops where it is.
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
            m_atEnd = true;
        } else {
            gst_element_set_state(m_playbin, GST_STATE_PAUSED);
        }
        m_mode = Mode::Stopped;
        gst_message_unref(message);
    }
    gst_object_unref(bus);
}

void GstMci::waitForStateChange() const
{
    gst_element_get_state(m_playbin, nullptr, nullptr, kSeekTimeout);
}

qint64 GstMci::lengthMs() const
{
    gint64 duration = 0;
    if (!gst_element_query_duration(m_playbin, GST_FORMAT_TIME, &duration) || duration < 0)
        return 0;
    return duration / GST_MSECOND;
}

qint64 GstMci::positionMs()
{
    if (m_atEnd)
        return lengthMs();
    gint64 position = 0;
    if (gst_element_query_position(m_playbin, GST_FORMAT_TIME, &position) && position >= 0)
        m_lastPosition = position / GST_MSECOND;
    return m_lastPosition;
}

} // namespace platform
