#pragma once

#include "archive/Services.h"
#include "archive/Staging.h"
#include "archive/WorkArea.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QDrag;
class QMenu;
class QMimeData;
class QTreeWidget;
class QTreeWidgetItem;

namespace archive
{

// The mouse on the member list of an archive: the popup menu, a double click that opens a
// member with its application, dragging members out as files, and dropping files onto an
// LZH archive's list to add them.
class ArchiveListEvents final : public QObject
{
    Q_OBJECT
public:
    explicit ArchiveListEvents(Services services, QObject* parent = nullptr);

    // Right button: the popup menu, with the LZH-only entries shown for LZH archives only.
    void mouseUp(Qt::MouseButton button, const QPoint& globalPos);
    // Extracts the member into a new folder inside the emptied work folder and opens it.
    void openMember(const QString& member);
    // Extracts the selected members into a new folder inside the work folder and describes the
    // files that exist afterwards (text/uri-list of file:// addresses); null when there are none
    // or the extraction failed (the user is told what failed).
    QMimeData* dragData();
    // Starts a drag of the selected members; the list takes no drop while it lasts.
    void startDrag();
    // Whether a drag over the list would be taken: files from elsewhere only, as a copy.
    bool takesDrop(const QMimeData* data) const;
    // Adds the dropped files to the LZH archive after asking.
    void addDropped(const QStringList& paths);

    // How a drag is carried out; by default QDrag::exec with the copy action.
    void setDragRunner(std::function<void(QDrag&)> runner) { m_dragRunner = std::move(runner); }

    // Whether the list takes drops (the list and the area its items are drawn in).
    void setDropMode(bool on);

    // The format that marks a drag of this list's own members.
    static QString ownFormat();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window() const;
    // Names what could not be copied for the archive (and what was refused before the copy,
    // each "path: why"); true when anything was copied.
    bool tellAboutCopy(const QList<archive::StagingItem>& items,
                       const QList<archive::StagingOutcome>& outcomes,
                       const QStringList& notCopied);

    Services m_services;
    std::function<void(QDrag&)> m_dragRunner;
    QPoint m_pressPos;
    bool m_pressed = false;
    bool m_dragging = false;
};

} // namespace archive
