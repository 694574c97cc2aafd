#include "archive/ArchiveListEvents.h"

#include "archive/CommandLines.h"
#include "archive/MemberCommands.h"
#include "archive/RunCommand.h"
#include "archive/Staging.h"
#include "archive/StagingProgress.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "fileops/ShellLaunch.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QUrl>

namespace archive
{

using archive::Family;

ArchiveListEvents::ArchiveListEvents(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services))
{
    m_dragRunner = [](QDrag& drag) { drag.exec(Qt::CopyAction, Qt::CopyAction); };
    if (QTreeWidget* list = m_services.list) {
        list->viewport()->installEventFilter(this);
        connect(list, &QTreeWidget::itemDoubleClicked, this,
                [this](QTreeWidgetItem* item) { openMember(item->text(0)); });
    }
}

QString ArchiveListEvents::ownFormat()
{
    return QStringLiteral("application/x-koramo-archive-members");
}

QWidget* ArchiveListEvents::window() const
{
    return m_services.browser ? m_services.browser->window() : nullptr;
}

void ArchiveListEvents::setDropMode(bool on)
{
    if (QTreeWidget* list = m_services.list) {
        list->setAcceptDrops(on);
        list->viewport()->setAcceptDrops(on);
    }
}

void ArchiveListEvents::mouseUp(Qt::MouseButton button, const QPoint& globalPos)
{
    if (button != Qt::RightButton || !m_services.members || !m_services.popup)
        return;
    const std::optional<Family> family = m_services.members->archive().family;
    if (!family)
        return;
    for (QAction* entry : m_services.lzhOnlyEntries)
        entry->setVisible(formatOf(*family).editable);
    m_services.popup->popup(globalPos);
}

void ArchiveListEvents::openMember(const QString& member)
{
    if (!m_services.members)
        return;
    const archive::ListedArchive listed = m_services.members->archive();
    if (m_services.clearBackFolder)
        m_services.clearBackFolder();
    if (m_services.deleteWorkFolder)
        m_services.deleteWorkFolder();
    if (!listed.family)
        return;
    const std::optional<QString> work =
        archive::usableWorkFolder(m_services.workFolder, m_services.prompts, window());
    if (!work)
        return;
    // A folder of its own: the file opened is this member, never one left by earlier work.
    const std::optional<QString> out = archive::freshFolderIn(*work, m_services.prompts, window());
    if (!out)
        return;
    const std::optional<archive::CallResult> result =
        archive::runCommand(m_services.archiver, m_services.prompts, window(), *listed.family,
                            archive::openMemberCommand(*listed.family, listed.path, *out, member),
                            archive::kOpenMemberReportBufferSize);
    if (!result ||
        !archive::succeeded(
            m_services.prompts, window(),
            QStringLiteral("「%1」を書庫 %2 から取り出せませんでした。").arg(member, listed.path),
            *result))
        return;
    // The member was extracted without its folders: it is found under its base name.
    const QString base = archive::memberBaseName(*listed.family, member);
    fileops::FileBrowser& browser = *m_services.browser;
    fileops::findAssociatedProgram(*m_services.shell, browser, base, *out);
    if (browser.associationFlag() == QLatin1String("1")) {
        if (!browser.noChooserForUnassociated())
            fileops::chooseApplication(*m_services.shell, *out + base, window());
        return;
    }
    fileops::openWithShell(*m_services.shell, *m_services.prompts, window(), *out + base,
                           QString());
}

QMimeData* ArchiveListEvents::dragData()
{
    if (!m_services.members)
        return nullptr;
    const QStringList members = archive::selectedMembers(m_services.list);
    const archive::ListedArchive listed = m_services.members->archive();
    if (!listed.family || members.isEmpty())
        return nullptr;
    const std::optional<QString> work =
        archive::usableWorkFolder(m_services.workFolder, m_services.prompts, window());
    if (!work)
        return nullptr;
    // Earlier drag-outs stay where they are (a drop target may still be copying them); this one
    // gets a new, empty folder, so no file left there stands in for a member.
    const std::optional<QString> out = archive::freshFolderIn(*work, m_services.prompts, window());
    if (!out)
        return nullptr;
    const std::optional<archive::CallResult> result =
        archive::runCommand(m_services.archiver, m_services.prompts, window(), *listed.family,
                            archive::dragOutCommand(*listed.family, listed.path, *out, members),
                            archive::kReportBufferSize);
    if (!result ||
        !archive::succeeded(
            m_services.prompts, window(),
            QStringLiteral("書庫 %1 から取り出せなかったため、ドラッグしません。").arg(listed.path),
            *result))
        return nullptr;
    QList<QUrl> urls;
    for (const QString& member : members) {
        // Members come out with their folders, separated as their format separates them (CAB
        // with "\").
        QString name = member;
        name.replace(QChar(formatOf(*listed.family).memberSeparator), QLatin1Char('/'));
        const QString path = *out + name;
        if (QFileInfo(path).isFile())
            urls.append(QUrl::fromLocalFile(path));
    }
    if (urls.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setData(ownFormat(), listed.path.toUtf8());
    return data;
}

void ArchiveListEvents::startDrag()
{
    // Members cannot be dropped back onto the list they come from.
    const bool wasOn = m_services.list && m_services.list->acceptDrops();
    setDropMode(false);
    QMimeData* data = dragData();
    if (data) {
        m_dragging = true;
        QDrag drag(m_services.list);
        drag.setMimeData(data);
        m_dragRunner(drag);
        m_dragging = false;
    }
    setDropMode(wasOn);
}

bool ArchiveListEvents::takesDrop(const QMimeData* data) const
{
    if (m_dragging || !data || !data->hasUrls() || data->hasFormat(ownFormat()))
        return false;
    if (!m_services.members)
        return false;
    const std::optional<Family> family = m_services.members->archive().family;
    return family && formatOf(*family).editable;
}

void ArchiveListEvents::addDropped(const QStringList& paths)
{
    if (m_services.deleteWorkFolder)
        m_services.deleteWorkFolder();
    if (!m_services.members)
        return;
    const archive::ListedArchive listed = m_services.members->archive();
    if (listed.family != Family::Lzh)
        return;
    const platform::Prompts::Answer answer = m_services.prompts->message(
        window(), QStringLiteral("ドラッグされたファイルを書庫に追加しますか？"),
        QStringLiteral("確認"), platform::Prompts::Question, platform::Prompts::YesNo);
    if (answer != platform::Prompts::Yes)
        return;
    if (m_services.dragAndDropOff && m_services.dragAndDropOff())
        return;
    const std::optional<QString> work =
        archive::usableWorkFolder(m_services.workFolder, m_services.prompts, window());
    if (!work)
        return;
    // The dropped files are copied into a fresh folder of their own inside the work folder, so
    // the archive receives exactly them: neither files left from earlier work nor the
    // compression dialog's staged files.
    const QString drop = *work + QStringLiteral("drop/");
    archive::removeTree(drop);
    if (!QDir().mkpath(drop)) {
        m_services.prompts->message(window(),
                                    archive::workFolderErrorText(drop, archive::whyNoFolder(drop)),
                                    QString(), platform::Prompts::Critical);
        return;
    }
    // Copied off the event loop's thread: a pipe, a huge file or a slow disk never freezes
    // the window, and what could not be copied is named rather than missing in silence.
    QList<archive::StagingItem> items;
    QStringList names;
    QStringList twins;
    for (QString path : paths) {
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        const QString name = platform::namePart(path);
        if (name.isEmpty() || name == QLatin1String("/"))
            continue;
        // A second file of the same name would take the first one's place in the drop folder.
        if (names.contains(name)) {
            twins << path + QStringLiteral(": 同じ名前のものが既にあります");
            continue;
        }
        names << name;
        items.append({path, name});
    }
    archive::StagingCopy copy(drop, items);
    archive::runStagingCopy(copy, window(), QStringLiteral("書庫に追加"));
    if (copy.cancelled()) {
        archive::removeTree(drop);
        return;
    }
    if (!tellAboutCopy(items, copy.outcomes(), twins))
        return;
    archive::addToLzhArchive(
        m_services.archiver, m_services.prompts, window(), listed.path, QString(),
        drop + QStringLiteral("*.*"),
        QStringLiteral("ドロップされたファイル (%1) を書庫 %2 に追加できませんでした。")
            .arg(names.join(QStringLiteral("、")), listed.path));
    // Whatever the library did, the list shows the archive as it now is.
    if (m_services.relist)
        m_services.relist();
}

bool ArchiveListEvents::tellAboutCopy(const QList<archive::StagingItem>& items,
                                      const QList<archive::StagingOutcome>& outcomes,
                                      const QStringList& notCopied)
{
    QStringList failed = notCopied;
    QStringList leftOut;
    int copied = 0;
    for (int i = 0; i < outcomes.size() && i < items.size(); ++i) {
        if (outcomes.at(i).copied) {
            ++copied;
            leftOut << outcomes.at(i).leftOut;
        } else {
            failed << items.at(i).source + QStringLiteral(": ") + outcomes.at(i).error;
        }
    }
    QString text;
    if (!failed.isEmpty())
        text += QStringLiteral("次のものはコピーできなかったため、書庫に追加しません。\n") +
                failed.join(QLatin1Char('\n'));
    if (!leftOut.isEmpty()) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += QStringLiteral("次のリンクや特殊なファイルは書庫に追加しません。\n") +
                leftOut.join(QLatin1Char('\n'));
    }
    if (!text.isEmpty())
        m_services.prompts->message(window(), text, QString(), platform::Prompts::Exclamation);
    return copied > 0;
}

bool ArchiveListEvents::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressed = mouse->button() == Qt::LeftButton;
        m_pressPos = mouse->position().toPoint();
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_pressed && (mouse->buttons() & Qt::LeftButton) &&
            (mouse->position().toPoint() - m_pressPos).manhattanLength() >=
                QApplication::startDragDistance() &&
            m_services.list && m_services.list->itemAt(m_pressPos)) {
            m_pressed = false;
            startDrag();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressed = false;
        mouse->accept();
        mouseUp(mouse->button(), mouse->globalPosition().toPoint());
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (takesDrop(drag->mimeData())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!takesDrop(drop->mimeData())) {
            drop->ignore();
            return true;
        }
        QStringList paths;
        for (const QUrl& url : drop->mimeData()->urls()) {
            if (url.isLocalFile())
                paths.append(url.toLocalFile());
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The drop completes first; the question comes after it.
        QMetaObject::invokeMethod(
            this, [this, paths] { addDropped(paths); }, Qt::QueuedConnection);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace archive
