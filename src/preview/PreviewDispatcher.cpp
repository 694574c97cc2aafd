#include "preview/PreviewDispatcher.h"

#include "base/FileKind.h"
#include "base/Paths.h"
#include "fileops/FileBrowser.h"
#include "fileops/ShellLaunch.h"
#include "preview/BrowserViewer.h"
#include "preview/ImageViewer.h"
#include "preview/MarkdownViewer.h"
#include "preview/MediaPanel.h"
#include "preview/MediaViewer.h"
#include "preview/PdfViewer.h"
#include "preview/PictureViewer.h"
#include "preview/TagViewer.h"
#include "preview/TextViewer.h"
#include "settings/Settings.h"

#include <QLabel>

#include <cmath>

namespace preview
{

PreviewDispatcher::PreviewDispatcher(const PreviewPane& pane, fileops::FileBrowser& browser,
                                     platform::Shell& shell, platform::Mci& mci,
                                     const settings::Settings& settings, QObject* parent)
    : QObject(parent), m_pane(pane), m_browser(browser), m_shell(shell), m_mci(mci),
      m_settings(settings), m_media(std::make_unique<MediaPanel>(pane.media, mci))
{
    registerViewers(pane);
}

PreviewDispatcher::~PreviewDispatcher() = default;

void PreviewDispatcher::registerViewers(const PreviewPane& pane)
{
    using settings::Preview;
    // The viewers with the endings they show and the setting that turns each off; a file
    // ending in none of them gets the notice. The custom rules' modes name a viewer too.
    add(std::make_unique<TextViewer>(pane.text, pane.search, pane.searchNext, pane.encoding),
        {{{".txt", ".rtf", ".inf", ".log", ".wri", ".doc", ".ini", ".bat"}, Preview::Txt},
         {{".m3u"}, std::nullopt}},
        QStringLiteral("0"));
    add(std::make_unique<BrowserViewer>(pane.browser),
        {{{".jpg", ".jpeg"}, Preview::Jpg}, {{".htm", "html"}, Preview::Htm}}, QStringLiteral("1"));
    add(std::make_unique<PictureViewer>(pane.picture), {{{".bmp", ".gif", ".ico"}, Preview::Bmp}},
        QStringLiteral("2"));
    auto media = std::make_unique<MediaViewer>(*m_media, m_mci);
    m_mediaViewer = media.get();
    add(std::move(media),
        {{{".wav", ".mid", ".avi"}, Preview::Multi},
         {{".mp4", ".mkv", ".webm"}, Preview::Video, false, true},
         {{".flac", ".ogg", ".opus", ".m4a"}, Preview::Sound, false, true}},
        {}, HideWhen::AtOnce);
    add(std::make_unique<TagViewer>(*m_media), {{{".mp3"}, Preview::Mp3}});
    registerDocumentViewers(pane);
}

void PreviewDispatcher::registerDocumentViewers(const PreviewPane& pane)
{
    using settings::Preview;
    // Each turned off on its own; a kind turned off is previewed as a file of no known kind.
    if (pane.pdf)
        add(std::make_unique<PdfViewer>(pane.pdf), {{{".pdf"}, Preview::Pdf, false, true}});
    add(std::make_unique<ImageViewer>(pane.picture),
        {{{".png", ".webp", ".tif", ".tiff", ".svg"}, Preview::Pictures, false, true}});
    if (pane.markdown) {
        add(std::make_unique<MarkdownViewer>(pane.markdown),
            {{{".md", ".markdown"}, Preview::Markdown, false, true}});
    }
}

Viewer* PreviewDispatcher::add(std::unique_ptr<Viewer> viewer, QList<Route> routes, CustomMode mode,
                               HideWhen hide)
{
    Viewer* added = viewer.get();
    m_viewers.push_back({std::move(viewer), std::move(routes), std::move(mode), hide});
    return added;
}

void PreviewDispatcher::setMediaArea(QWidget* area)
{
    m_mediaViewer->setArea(area);
}

QString PreviewDispatcher::sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("サイズ:") + QString::number(bytes) + QStringLiteral("Byte");
    // nearbyint rounds halves to the even neighbour.
    if (bytes < 1048576) {
        return QStringLiteral("サイズ:") +
               QString::number(static_cast<qint64>(std::nearbyint(bytes / 1024.0))) +
               QStringLiteral("KByte");
    }
    return QStringLiteral("サイズ:") +
           QString::number(static_cast<qint64>(std::nearbyint(bytes / 1048576.0))) +
           QStringLiteral("MByte");
}

QString PreviewDispatcher::dateText(const QDateTime& modified)
{
    const QTime time = modified.time();
    const bool midnight = time.hour() == 0 && time.minute() == 0 && time.second() == 0;
    QString text = QStringLiteral("修正日") + modified.toString(QStringLiteral("yyyy/MM/dd"));
    if (!midnight)
        text += QLatin1Char(' ') + modified.toString(QStringLiteral("H:mm:ss"));
    return text;
}

void PreviewDispatcher::previewSelectedFile()
{
    // Whatever plays or loads stops.
    for (const Registered& r : m_viewers)
        r.viewer->stop();
    m_pane.associationPanel->clear();
    // The viewers put away at once (the archive list, the media controls) go.
    for (const Registered& r : m_viewers) {
        if (r.hide == HideWhen::AtOnce)
            r.viewer->hide();
    }
    // The associated application, unless the user turned that display off.
    const QString name = m_browser.selectedFileName();
    if (m_settings.showAssociation())
        fileops::findAssociatedProgram(m_shell, m_browser, name,
                                       platform::withSlash(m_browser.currentFolder()));
    // The current file.
    PreviewFile file;
    file.path = platform::withSlash(m_browser.fileListFolder()) + name;
    file.mediaPath = platform::withSlash(m_browser.currentFolder()) + name;
    m_pane.currentFile->setText(file.path);
    m_mediaPath = file.mediaPath;
    // Size and date.
    showStatus(file.path);
    // The ending the custom rules compare.
    m_extensionKey = file.path.right(4).toLower();
    // No preview at all: the status bar is all.
    if (m_settings.previewOff(settings::Preview::All))
        return;
    // Every viewer and the notice go before the file is shown.
    for (const Registered& r : m_viewers)
        r.viewer->hide();
    m_pane.notice->hide();
    // A FIFO, socket or device (or a link to one) is never opened by a viewer: opening a FIFO
    // waits for a writer, reading a device may never end. Its size and date are all there is.
    if (platform::fileKind(file.path) == platform::FileKind::Special) {
        noticeView();
        return;
    }
    // A setting that turns this kind off ends the whole preview: no custom rule either.
    if (!dispatch(file))
        return;
    // The two custom rules, on top of the built-in view.
    customRules(file);
}

void PreviewDispatcher::showStatus(const QString& path)
{
    // From the file's status alone: nothing is opened here. A date that cannot be read leaves
    // the panel as it was.
    const platform::FileStatus status = platform::fileStatus(path);
    m_pane.sizePanel->setText(sizeText(status.size));
    if (status.kind != platform::FileKind::Missing)
        m_pane.datePanel->setText(dateText(status.modified));
}

bool PreviewDispatcher::dispatch(const PreviewFile& file)
{
    const QString path = file.path;
    auto matches = [&path](const Route& route) {
        for (const char* ending : route.endings) {
            const QLatin1String end(ending);
            if (path.right(end.size()).toLower() == end)
                return true;
        }
        return false;
    };
    for (const Registered& r : m_viewers) {
        for (const Route& route : r.routes) {
            if (!matches(route))
                continue;
            if (route.clearFirst)
                r.viewer->clear();
            if (route.gate && m_settings.previewOff(*route.gate)) {
                if (!route.unknownWhenOff)
                    return false;
                noticeView();
                return true;
            }
            r.viewer->show(file);
            return true;
        }
    }
    noticeView();
    return true;
}

void PreviewDispatcher::noticeView()
{
    // Every viewer is hidden already (previewSelectedFile hides them before showing a file).
    m_pane.notice->show();
}

void PreviewDispatcher::customRules(const PreviewFile& file)
{
    for (const settings::CustomRule& rule : m_settings.customRules()) {
        if (!rule.inForce || m_extensionKey != rule.extension)
            continue;
        for (const Registered& r : m_viewers) {
            if (r.mode && *r.mode == rule.mode) {
                r.viewer->show(file);
                break;
            }
        }
    }
}

} // namespace preview
