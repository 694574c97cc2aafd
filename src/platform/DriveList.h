#pragma once

#include <QComboBox>
#include <QList>
#include <QString>

namespace platform {

// A "drive" on this desktop is a mounted volume; its text begins with the mount point,
// followed by the volume's label in brackets when it has one ("/media/usb [写真]").
struct Drive {
    QString mountPoint;
    QString text;
};

// The mounted volumes a user works with (pseudo and system file systems left out), sorted by
// mount point; "/" always comes first.
QList<Drive> mountedDrives();

// The mount point of the drive that holds the path (the longest mount point above it).
QString mountPointOf(const QString& path, const QList<Drive>& drives);

// The drive list: a combo box of the mounted volumes.
class DriveList final : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    // The text of the selected drive.
    QString drive() const;
    // Selects the drive a text names: the volume whose mount point the text begins with
    // (followed by the end of the text or a blank). Returns false, changing nothing, when no
    // mounted volume matches.
    bool setDrive(const QString& text);
    // Selects the drive that holds the path.
    bool setDriveOfPath(const QString& path);
    // Re-reads the mount table, keeping the selection when it is still mounted.
    void refreshDrives();

    QString selectedMountPoint() const;

private:
    QList<Drive> m_drives;
};

} // namespace platform
