#include "platform/MountedDrives.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

namespace platform
{

namespace
{

QString textFor(const QStorageInfo& volume)
{
    const QString root = volume.rootPath();
    const QString label = volume.name();
    if (label.isEmpty() || label == root)
        return root;
    return root + QStringLiteral(" [") + label + QLatin1Char(']');
}

} // namespace

bool isUserVolume(const QString& mountPoint, const QByteArray& fileSystemType)
{
    static const QList<QByteArray> pseudo = {
        "proc",       "sysfs",  "devtmpfs",   "devpts",  "cgroup",      "cgroup2",
        "securityfs", "pstore", "bpf",        "tracefs", "debugfs",     "configfs",
        "fusectl",    "mqueue", "hugetlbfs",  "autofs",  "binfmt_misc", "efivarfs",
        "squashfs",   "nsfs",   "rpc_pipefs", "ramfs"};
    if (pseudo.contains(fileSystemType))
        return false;
    const auto under = [&mountPoint](const QString& folder) {
        return mountPoint == folder || mountPoint.startsWith(folder + QLatin1Char('/'));
    };
    // Removable media the desktop mounts for a user: /run/media/<user>/<volume>.
    const QString media = QStringLiteral("/run/media/");
    if (mountPoint.startsWith(media))
        return mountPoint.mid(media.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts).size() >= 2;
    // Run-time and kernel folders hold no user files even when they are real mounts.
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/boot/efi", "/snap"}) {
        if (under(QString::fromLatin1(prefix)))
            return false;
    }
    return true;
}

QList<Drive> mountedDrives()
{
    QList<Drive> drives;
    bool haveRoot = false;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !isUserVolume(volume.rootPath(), volume.fileSystemType()))
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
        const bool inside =
            clean == mp ||
            clean.startsWith(mp.endsWith(QLatin1Char('/')) ? mp : mp + QLatin1Char('/'));
        if (inside && mp.size() > best.size())
            best = mp;
    }
    return best;
}

} // namespace platform
