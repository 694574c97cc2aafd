#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace platform
{

// A "drive" on this desktop is a mounted volume; its text begins with the mount point,
// followed by the volume's label in brackets when it has one ("/media/usb [写真]").
struct Drive {
    QString mountPoint;
    QString text;
};

// Whether a volume mounted there is one a user works with: not a pseudo or system file system,
// not below /proc, /sys, /dev, /run (but /run/media/<user>/<volume> is), /boot/efi or /snap.
// Removable media under /run/media, /media and /mnt are.
bool isUserVolume(const QString& mountPoint, const QByteArray& fileSystemType);

// The mounted volumes a user works with (pseudo and system file systems left out), sorted by
// mount point; "/" always comes first.
QList<Drive> mountedDrives();

// The mount point of the drive that holds the path (the longest mount point above it).
QString mountPointOf(const QString& path, const QList<Drive>& drives);

} // namespace platform
