#pragma once

#include "base/Id3Tag.h"

#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace platform
{
class Mci;
}

namespace preview
{

// The main window's media controls and MP3 tag lines.
struct MediaWidgets {
    QPushButton* stop = nullptr;  // Command4
    QPushButton* pause = nullptr; // Command5
    QLabel* status = nullptr;     // Label4
    QLineEdit* title = nullptr;   // Text1
    QLineEdit* artist = nullptr;  // Text3
};

// The media controls of the preview pane and the MP3 tag lines: the stop/restart button
// Command4, the pause/resume button Command5, the status line Label4 and the tag lines Text1
// and Text3. Every media
// command goes to the device alias "Media". The status line is refreshed every 50 ms by
// Timer1, which runs from construction on, whether or not anything is open.
class MediaPanel final : public QObject
{
    Q_OBJECT
public:
    MediaPanel(const MediaWidgets& widgets, platform::Mci& mci, QObject* parent = nullptr);

    // Shows the controls and starts playing the file. The button captions and the paused
    // flag stay as they were.
    void startMedia(const QString& mediaPath);
    // Shows the title and artist lines of the MP3 file's tag.
    void showTag(const QString& path);
    // Hides the status line and the two buttons; the tag lines.
    void hideControls();
    void hideTag();
    void clearTag();
    // Brings the status line and the buttons above a video picture.
    void raiseControls();

    void stopClicked();
    void pauseClicked();
    void tick();

    const QString& mediaPath() const { return m_mediaPath; }
    // "stop" after the stop button stopped playback, "" otherwise.
    const QString& stoppedFlag() const { return m_stopped; }
    // "stop" after the pause button paused playback, "" otherwise.
    const QString& pausedFlag() const { return m_paused; }
    // Reply to the last command sent by startMedia or the stop button.
    const QString& reply() const { return m_reply; }
    QTimer* timer() const { return m_timer; }
    const Id3Tag& tag() const { return m_tag; }

private:
    QString sendCommand(const QString& command);

    platform::Mci& m_mci;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_pauseButton = nullptr;
    QLabel* m_status = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_artist = nullptr;
    QTimer* m_timer = nullptr;

    QString m_mediaPath;
    QString m_reply;
    QString m_stopped;
    QString m_paused;
    Id3Tag m_tag;
};

} // namespace preview
