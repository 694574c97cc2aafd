#pragma once

#include "platform/MountedDrives.h"

#include <QComboBox>
#include <QList>
#include <QString>

namespace platform
{

// The drive list: a combo box of the mounted volumes.
class DriveList final : public QComboBox
{
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

Q_SIGNALS:
    // The selected volume was unmounted (the list already shows the volumes still there).
    void selectedDriveRemoved(const QString& mountPoint);

private:
    // Volumes mounted and unmounted while the program runs come and go in the list.
    void followMounts();

    QList<Drive> m_drives;
};

} // namespace platform
