#include "platform/DriveList.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

namespace platform {

namespace {

bool isSystemMount(const QStorageInfo& volume)
{
    static const QList<QByteArray> pseudo = {
        "proc",   "sysfs",     "devtmpfs",  "devpts",   "cgroup",  "cgroup2", "securityfs",
        "pstore", "bpf",       "tracefs",   "debugfs",  "configfs", "fusectl", "mqueue",
        "hugetlbfs", "autofs", "binfmt_misc", "efivarfs", "squashfs", "nsfs", "rpc_pipefs",
        "ramfs"};
    if (pseudo.contains(volume.fileSystemType()))
        return true;
    const QString root = volume.rootPath();
    // Run-time and kernel folders hold no user files even when they are real mounts.
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/boot/efi", "/snap"}) {
        const QString p = QString::fromLatin1(prefix);
        if (root == p || root.startsWith(p + QLatin1Char('/')))
            return true;
    }
    return false;
}

QString textFor(const QStorageInfo& volume)
{
    const QString root = volume.rootPath();
    const QString label = volume.name();
    if (label.isEmpty() || label == root)
        return root;
    return root + QStringLiteral(" [") + label + QLatin1Char(']');
}

bool textNamesMountPoint(const QString& text, const QString& mountPoint)
{
    if (!text.startsWith(mountPoint))
        return false;
    return text.size() == mountPoint.size() || text.at(mountPoint.size()) == QLatin1Char(' ');
}

} // namespace

QList<Drive> mountedDrives()
{
    QList<Drive> drives;
    bool haveRoot = false;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || isSystemMount(volume))
            continue;
        const QString root = volume.rootPath();
        if (std::any_of(drives.cbegin(), drives.cend(),
                        [&](const Drive& d) { return d.mountPoint == root; }))
            continue;
        haveRoot = haveRoot || root == QLatin1String("/");
        drives.append({root, textFor(volume)});
    }
    if (!haveRoot)
        drives.append({QStringLiteral("/"), QStringLiteral("/")});
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.mountPoint < b.mountPoint; });
    return drives;
}

QString mountPointOf(const QString& path, const QList<Drive>& drives)
{
    const QString clean = QDir::cleanPath(path);
    QString best = QStringLiteral("/");
    for (const Drive& d : drives) {
        const QString mp = d.mountPoint;
        const bool inside = clean == mp || clean.startsWith(mp.endsWith(QLatin1Char('/'))
                                                                ? mp
                                                                : mp + QLatin1Char('/'));
        if (inside && mp.size() > best.size())
            best = mp;
    }
    return best;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    refreshDrives();
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
