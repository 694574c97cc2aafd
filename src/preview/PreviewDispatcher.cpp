#include "preview/PreviewDispatcher.h"

#include "fileops/FileBrowser.h"
#include "fileops/ShellRoutines.h"
#include "platform/FileKind.h"
#include "platform/Mci.h"
#include "platform/Paths.h"
#include "preview/BrowserPane.h"
#include "preview/PicturePane.h"
#include "settings/Conversions.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/PreviewSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <cmath>

namespace preview {

PreviewDispatcher::PreviewDispatcher(QWidget* window, QWidget* form, fileops::FileBrowser& browser,
                                     platform::Shell& shell, platform::Mci& mci,
                                     settings::SettingsForms& forms, PreviewViewers viewers,
                                     QObject* parent)
    : QObject(parent), m_window(window), m_form(form), m_browser(browser), m_shell(shell),
      m_mci(mci), m_forms(forms), m_viewers(std::move(viewers))
{
}

QWidget* PreviewDispatcher::widget(const char* name) const
{
    return m_form->findChild<QWidget*>(QString::fromLatin1(name));
}

QAction* PreviewDispatcher::action(const char* name) const
{
    return m_window->findChild<QAction*>(QString::fromLatin1(name));
}

bool PreviewDispatcher::previewOff(int check) const
{
    return settings::checkValue(m_forms.preview()->check(check)) == 1;
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
    // 1. Whatever plays stops.
    m_mci.send(QStringLiteral("stop Media"));
    m_mci.send(QStringLiteral("close Media"));
    // 2.
    if (auto* panel = m_form->findChild<QLabel*>(QStringLiteral("Panel3")))
        panel->clear();
    if (auto* browser = m_form->findChild<BrowserPane*>(QStringLiteral("WebBrowser1")))
        browser->stop();
    // 3.
    for (const char* name : {"kaitoup", "kaitou"}) {
        if (QAction* a = action(name))
            a->setEnabled(false);
    }
    for (const char* name : {"ListView1", "Command4", "Command5", "Label4"})
        widget(name)->hide();
    if (QWidget* media = widget("MediaArea"))
        media->hide();
    // 4. The associated application, unless the user turned that display off.
    const QString name = m_browser.selectedFileName();
    if (settings::checkValue(m_forms.general()->check(7)) != 1)
        fileops::FindAssociatedProgram(m_shell, m_browser, name,
                                       platform::withSlash(m_browser.currentFolder()));
    // 5. The current file.
    const QString path = platform::withSlash(m_browser.fileListFolder()) + name;
    if (auto* current = m_form->findChild<QLabel*>(QStringLiteral("Label14")))
        current->setText(path);
    m_mediaPath = platform::withSlash(m_browser.currentFolder()) + name;
    // 6., 7. Size and date; a date that cannot be read leaves the panel as it was.
    // From the file's status alone: nothing is opened here.
    const platform::FileStatus status = platform::fileStatus(path);
    const bool exists = status.kind != platform::FileKind::Missing;
    if (auto* panel = m_form->findChild<QLabel*>(QStringLiteral("Panel1")))
        panel->setText(sizeText(status.size));
    if (exists) {
        if (auto* panel = m_form->findChild<QLabel*>(QStringLiteral("Panel2")))
            panel->setText(dateText(status.modified));
    }
    // 8.
    m_extensionKey = path.right(4).toLower();
    // 9. No preview at all: the status bar is all.
    if (previewOff(6))
        return;
    // 10.
    for (const char* n : {"RichTextBox1", "Picture1", "WebBrowser1", "Text1", "Text3", "Label2"})
        widget(n)->hide();
    for (const char* n : {"tkensaku", "tuken"}) {
        if (QAction* a = action(n))
            a->setEnabled(false);
    }
    widget("ListView1")->hide();
    // A FIFO, socket or device (or a link to one) is never opened by a viewer: opening a FIFO
    // waits for a writer, reading a device may never end. Its size and date are all there is.
    if (status.kind == platform::FileKind::Special) {
        noticeView();
        return;
    }

    // 11. By extension, first match wins.
    const QString key = m_extensionKey;
    const QString key5 = path.right(5).toLower();
    auto is = [&key](std::initializer_list<const char*> keys) {
        for (const char* k : keys) {
            if (key == QLatin1String(k))
                return true;
        }
        return false;
    };
    bool gated = false;
    if (is({".cab"})) {
        archiveRow(QStringLiteral("cab"), 9, path);
        gated = previewOff(9);
    } else if (is({".lzh"})) {
        archiveRow(QStringLiteral("lzh"), 9, path);
        gated = previewOff(9);
    } else if (is({".zip"})) {
        archiveRow(QStringLiteral("zip"), 10, path);
        gated = previewOff(10);
    } else if (is({".txt", ".rtf"})) {
        if (!(gated = previewOff(3)))
            textView(path);
    } else if (is({".m3u"})) {
        textView(path);
    } else if (is({".inf", ".log", ".wri", ".doc", ".ini", ".bat"})) {
        if (!(gated = previewOff(3)))
            textView(path);
    } else if (is({".jpg"}) || key5 == QLatin1String(".jpeg")) {
        if (!(gated = previewOff(2)))
            browserView(path);
    } else if (is({".bmp", ".gif", ".ico"})) {
        if (!(gated = previewOff(4)))
            pictureView(path);
    } else if (is({".htm", "html"})) {
        if (!(gated = previewOff(1)))
            browserView(path);
    } else if (is({".wav", ".mid", ".avi"})) {
        if (!(gated = previewOff(12) || previewOff(6))) {
            if (m_viewers.startMedia)
                m_viewers.startMedia(m_mediaPath);
        }
    } else if (is({".mp3"})) {
        if (!(gated = previewOff(5))) {
            if (m_viewers.showTag)
                m_viewers.showTag(path);
        }
    } else {
        noticeView();
    }
    // A gate ends the whole preview: no custom rule either.
    if (gated)
        return;
    // 12., 13. The two custom rules, on top of the built-in view.
    customSlot(1, path);
    customSlot(2, path);
}

void PreviewDispatcher::archiveRow(const QString& family, int gateCheck, const QString& path)
{
    auto* list = m_form->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    QAction* rename = action("assyukuhenkou");
    if (family == QLatin1String("lzh")) {
        if (rename)
            rename->setVisible(true);
        list->setAcceptDrops(true);
    } else if (family == QLatin1String("cab") && rename) {
        rename->setVisible(false);
    }
    list->clear();
    if (previewOff(gateCheck))
        return;
    if (family == QLatin1String("zip") && rename)
        rename->setVisible(false);
    for (const char* name : {"kaitoup", "kaitou"}) {
        if (QAction* a = action(name))
            a->setEnabled(true);
    }
    // Filled while hidden, shown once.
    list->setUpdatesEnabled(false);
    if (m_viewers.listArchive)
        m_viewers.listArchive(family, path);
    list->setUpdatesEnabled(true);
    list->show();
}

void PreviewDispatcher::textView(const QString& path)
{
    widget("RichTextBox1")->show();
    for (const char* n : {"tkensaku", "tuken"}) {
        if (QAction* a = action(n))
            a->setEnabled(true);
    }
    if (m_viewers.loadText)
        m_viewers.loadText(path);
}

void PreviewDispatcher::browserView(const QString& path)
{
    auto* browser = m_form->findChild<BrowserPane*>(QStringLiteral("WebBrowser1"));
    browser->show();
    browser->navigate(path);
}

void PreviewDispatcher::pictureView(const QString& path)
{
    auto* picture = m_form->findChild<PicturePane*>(QStringLiteral("Picture1"));
    picture->show();
    picture->loadPicture(path);
}

void PreviewDispatcher::noticeView()
{
    for (const char* n : {"RichTextBox1", "Picture1", "WebBrowser1", "Text1", "Text3"})
        widget(n)->hide();
    widget("Label2")->show();
}

void PreviewDispatcher::customSlot(int rule, const QString& path)
{
    settings::PreviewSettingsDialog* preview = m_forms.preview();
    if (settings::checkValue(preview->check(rule + 6)) != 1)
        return;
    if (m_extensionKey != preview->extensionBox(rule)->text())
        return;
    const QString mode = preview->modeLabel(rule)->text();
    if (mode == QLatin1String("0"))
        textView(path);
    else if (mode == QLatin1String("1"))
        browserView(path);
    else if (mode == QLatin1String("2"))
        pictureView(path);
}

} // namespace preview
