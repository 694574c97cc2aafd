#include "platform/MountedDrives.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

namespace platform
{

namespace
{

bool isSystemMount(const QStorageInfo& volume)
{
    static const QList<QByteArray> pseudo = {
        "proc",       "sysfs",  "devtmpfs",   "devpts",  "cgroup",      "cgroup2",
        "securityfs", "pstore", "bpf",        "tracefs", "debugfs",     "configfs",
        "fusectl",    "mqueue", "hugetlbfs",  "autofs",  "binfmt_misc", "efivarfs",
        "squashfs",   "nsfs",   "rpc_pipefs", "ramfs"};
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
        const bool inside =
            clean == mp ||
            clean.startsWith(mp.endsWith(QLatin1Char('/')) ? mp : mp + QLatin1Char('/'));
        if (inside && mp.size() > best.size())
            best = mp;
    }
    return best;
}

} // namespace platform
