#pragma once

#include "preview/PreviewPane.h"
#include "preview/Viewer.h"
#include "settings/SettingsTable.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace platform
{
class Mci;
class Shell;
} // namespace platform
namespace settings
{
class Settings;
}
namespace fileops
{
class FileBrowser;
}

namespace preview
{

class MediaPanel;
class MediaViewer;

// One click in the file list: stops what the preview pane was doing, publishes the file as
// the current file, shows its size and date in the status bar and shows it in the viewer its
// extension calls for, within the preview settings and the two custom rules. It owns the
// viewers; each is registered with the file endings it shows. Archive work registers the
// member list's viewers itself (archive/ArchiveViewer.h).
class PreviewDispatcher final : public QObject
{
    Q_OBJECT
public:
    PreviewDispatcher(const PreviewPane& pane, fileops::FileBrowser& browser,
                      platform::Shell& shell, platform::Mci& mci,
                      const settings::Settings& settings, QObject* parent = nullptr);
    ~PreviewDispatcher() override;

    // Previews the file list's selected file.
    void previewSelectedFile();

    // The area the media device draws video into.
    void setMediaArea(QWidget* area);

    // The last four characters of the current file path, in lower case.
    QString extensionKey() const { return m_extensionKey; }
    void setExtensionKey(const QString& key) { m_extensionKey = key; }
    // The path handed to the media player.
    QString mediaPath() const { return m_mediaPath; }

    // "サイズ:" texts of the status bar (halves round to the even neighbour).
    static QString sizeText(qint64 bytes);
    // "修正日" followed by the date, and the time unless it is exactly midnight.
    static QString dateText(const QDateTime& modified);

    // The endings a viewer shows ("html" and ".jpeg" included, matched on the path's end in
    // lower case) and the preview setting that turns them off.
    // An archive list is emptied before the setting is asked (clearFirst). The setting of a
    // document kind (unknownWhenOff) does not end the preview: the file is then previewed as
    // one of no known kind.
    struct Route {
        std::vector<const char*> endings;
        std::optional<settings::Preview> gate;
        bool clearFirst = false;
        bool unknownWhenOff = false;
    };
    // The custom-rule mode ("0", "1", "2") that shows a file in a viewer.
    using CustomMode = std::optional<QString>;
    // When a viewer is put away as the next file is chosen: with the others, once the preview
    // is known to go on, or at once, before the file's associated program is looked up (the
    // member list and the media controls).
    enum class HideWhen { WithTheOthers, AtOnce };

    // Registers a viewer with the endings it shows, in the order asked; the dispatcher owns it.
    Viewer* add(std::unique_ptr<Viewer> viewer, QList<Route> routes, CustomMode mode = {},
                HideWhen hide = HideWhen::WithTheOthers);

private:
    void registerViewers(const PreviewPane& pane);
    void registerDocumentViewers(const PreviewPane& pane);
    void showStatus(const QString& path);
    // Shows the file in the viewer its ending calls for; false when a preview setting ended the
    // preview.
    bool dispatch(const PreviewFile& file);
    void noticeView();
    void customRules(const PreviewFile& file);

    struct Registered {
        std::unique_ptr<Viewer> viewer;
        QList<Route> routes;
        CustomMode mode;
        HideWhen hide;
    };

    PreviewPane m_pane;
    fileops::FileBrowser& m_browser;
    platform::Shell& m_shell;
    platform::Mci& m_mci;
    const settings::Settings& m_settings;
    std::unique_ptr<MediaPanel> m_media;
    MediaViewer* m_mediaViewer = nullptr;
    std::vector<Registered> m_viewers;
    QString m_extensionKey;
    QString m_mediaPath;
};

} // namespace preview
