#include "preview/MediaPanel.h"

#include "platform/Mci.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace preview
{

namespace
{
const QString kFlagSet = QStringLiteral("stop");
constexpr int kReplyCapacity = 254; // a 255-character buffer with its terminating NUL

// A reply as read from a fixed text buffer: up to the first NUL, at most the buffer's size.
QString bufferText(const QString& reply)
{
    const qsizetype end = reply.indexOf(QChar(u'\0'));
    return (end < 0 ? reply : reply.left(end)).left(kReplyCapacity);
}
} // namespace

MediaPanel::MediaPanel(const MediaWidgets& widgets, platform::Mci& mci, QObject* parent)
    : QObject(parent), m_mci(mci), m_stopButton(widgets.stop), m_pauseButton(widgets.pause),
      m_status(widgets.status), m_title(widgets.title), m_artist(widgets.artist),
      m_timer(new QTimer(this))
{
    Q_ASSERT(m_stopButton && m_pauseButton && m_status && m_title && m_artist);
    connect(m_stopButton, &QPushButton::clicked, this, &MediaPanel::stopClicked);
    connect(m_pauseButton, &QPushButton::clicked, this, &MediaPanel::pauseClicked);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(50);
    connect(m_timer, &QTimer::timeout, this, &MediaPanel::tick);
    m_timer->start();
}

QString MediaPanel::sendCommand(const QString& command)
{
    m_reply = bufferText(m_mci.send(command).reply);
    return m_reply;
}

void MediaPanel::startMedia(const QString& mediaPath)
{
    m_status->show();
    m_stopButton->show();
    m_pauseButton->show();
    m_mediaPath = mediaPath;
    sendCommand(QStringLiteral("open \"") + m_mediaPath + QStringLiteral("\" alias Media"));
    sendCommand(QStringLiteral("play Media"));
    m_stopped.clear();
}

void MediaPanel::hideControls()
{
    m_stopButton->hide();
    m_pauseButton->hide();
    m_status->hide();
}

void MediaPanel::hideTag()
{
    m_title->hide();
    m_artist->hide();
}

void MediaPanel::clearTag()
{
    m_title->clear();
    m_artist->clear();
}

void MediaPanel::raiseControls()
{
    m_status->raise();
    m_stopButton->raise();
    m_pauseButton->raise();
}

void MediaPanel::stopClicked()
{
    if (!m_stopped.isEmpty()) {
        m_stopButton->setText(QStringLiteral("停止"));
        m_stopped.clear();
        sendCommand(QStringLiteral("play Media"));
    } else {
        m_stopButton->setText(QStringLiteral("再生"));
        m_stopped = kFlagSet;
        sendCommand(QStringLiteral("stop Media"));
        sendCommand(QStringLiteral("seek media to start"));
    }
}

void MediaPanel::pauseClicked()
{
    // The pause button keeps its own reply buffer, which nothing reads.
    if (!m_paused.isEmpty()) {
        m_pauseButton->setText(QStringLiteral("一時停止"));
        m_paused.clear();
        m_mci.send(QStringLiteral("play Media"));
    } else {
        m_pauseButton->setText(QStringLiteral("再生"));
        m_paused = kFlagSet;
        m_mci.send(QStringLiteral("pause Media"));
    }
}

void MediaPanel::tick()
{
    const QString mode = bufferText(m_mci.send(QStringLiteral("status Media mode")).reply);
    m_status->setText(mode);
    if (mode.left(7) == u"playing") {
        const QString position =
            bufferText(m_mci.send(QStringLiteral("status Media position")).reply);
        const QString length = bufferText(m_mci.send(QStringLiteral("status Media length")).reply);
        m_status->setText(QStringLiteral("再生中             現在位置：") + position +
                          QStringLiteral("/") + length);
    } else {
        m_status->setText(QStringLiteral("停止中"));
    }
}

void MediaPanel::showTag(const QString& path)
{
    // A file that is gone, too short to hold a tag, or has none gets the no-information lines
    // rather than another file's tag.
    const int found = m_tag.read(path);
    m_title->show();
    m_artist->show();
    if (found == 1) {
        m_title->setText(QStringLiteral("曲名：") + m_tag.title());
        m_artist->setText(QStringLiteral("アーティスト：") + m_tag.artist());
    } else {
        m_title->setText(QStringLiteral("曲名：情報がありません。"));
        m_artist->setText(QStringLiteral("タイトル：情報がありません。"));
    }
}

} // namespace preview
