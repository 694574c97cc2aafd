#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QWidget;

namespace platform {
class Mci;
class Shell;
} // namespace platform
namespace settings {
class SettingsForms;
}
namespace fileops {
class FileBrowser;
}

namespace preview {

// What the dispatcher hands to the viewers it does not own itself.
struct PreviewViewers {
    std::function<void(const QString&)> loadText;   // the rich-text viewer loads the file
    std::function<void(const QString&)> startMedia; // play a sound or video file
    std::function<void(const QString&)> showTag;    // show an MP3 file's title and artist
    // List an archive's members into the list: family "lzh", "zip" or "cab".
    std::function<void(const QString&, const QString&)> listArchive;
};

// One click in the file list: stops what the preview pane was doing, publishes the file as
// the current file, shows its size and date in the status bar and shows it in the viewer its
// extension calls for, within the preview settings and the two custom rules.
class PreviewDispatcher final : public QObject {
    Q_OBJECT
public:
    PreviewDispatcher(QWidget* window, QWidget* form, fileops::FileBrowser& browser,
                      platform::Shell& shell, platform::Mci& mci, settings::SettingsForms& forms,
                      PreviewViewers viewers, QObject* parent = nullptr);

    // Previews the file list's selected file.
    void previewSelectedFile();

    // The last four characters of the current file path, in lower case.
    QString extensionKey() const { return m_extensionKey; }
    void setExtensionKey(const QString& key) { m_extensionKey = key; }
    // The path handed to the media player.
    QString mediaPath() const { return m_mediaPath; }

    // "サイズ:" texts of the status bar (halves round to the even neighbour).
    static QString sizeText(qint64 bytes);
    // "修正日" followed by the date, and the time unless it is exactly midnight.
    static QString dateText(const QDateTime& modified);

private:
    QWidget* widget(const char* name) const;
    QAction* action(const char* name) const;
    bool previewOff(int check) const;
    void textView(const QString& path);
    void browserView(const QString& path);
    void pictureView(const QString& path);
    void noticeView();
    void archiveRow(const QString& family, int gateCheck, const QString& path);
    void customSlot(int rule, const QString& path);

    QWidget* m_window;
    QWidget* m_form;
    fileops::FileBrowser& m_browser;
    platform::Shell& m_shell;
    platform::Mci& m_mci;
    settings::SettingsForms& m_forms;
    PreviewViewers m_viewers;
    QString m_extensionKey;
    QString m_mediaPath;
};

} // namespace preview
