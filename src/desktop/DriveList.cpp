#include "desktop/DriveList.h"

#include "platform/MountWatcher.h"

#include <algorithm>

namespace platform
{

namespace
{

bool textNamesMountPoint(const QString& text, const QString& mountPoint)
{
    if (!text.startsWith(mountPoint))
        return false;
    return text.size() == mountPoint.size() || text.at(mountPoint.size()) == QLatin1Char(' ');
}

} // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    refreshDrives();
    connect(new MountWatcher(this), &MountWatcher::mountsChanged, this, &DriveList::followMounts);
}

void DriveList::followMounts()
{
    const QString selected = selectedMountPoint();
    refreshDrives();
    const bool stillThere = std::any_of(m_drives.cbegin(), m_drives.cend(),
                                        [&](const Drive& d) { return d.mountPoint == selected; });
    if (!selected.isEmpty() && !stillThere)
        Q_EMIT selectedDriveRemoved(selected);
}

QString DriveList::drive() const
{
    return currentText();
}

QString DriveList::selectedMountPoint() const
{
    const int i = currentIndex();
    return i >= 0 && i < m_drives.size() ? m_drives.at(i).mountPoint : QString();
}

bool DriveList::setDrive(const QString& text)
{
    int best = -1;
    for (int i = 0; i < m_drives.size(); ++i) {
        if (textNamesMountPoint(text, m_drives.at(i).mountPoint) &&
            (best < 0 || m_drives.at(i).mountPoint.size() > m_drives.at(best).mountPoint.size()))
            best = i;
    }
    if (best < 0)
        return false;
    setCurrentIndex(best);
    return true;
}

bool DriveList::setDriveOfPath(const QString& path)
{
    const QString mp = mountPointOf(path, m_drives);
    for (int i = 0; i < m_drives.size(); ++i) {
        if (m_drives.at(i).mountPoint == mp) {
            setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

void DriveList::refreshDrives()
{
    const QString keep = selectedMountPoint();
    const QSignalBlocker blocker(this);
    m_drives = mountedDrives();
    clear();
    for (const Drive& d : m_drives)
        addItem(d.text);
    if (!keep.isEmpty())
        setDriveOfPath(keep);
}

} // namespace platform
