#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform
{

// Tells when volumes are mounted or unmounted: the kernel marks the process's mount table
// (/proc/self/mountinfo) as changed, which a watch on it notices without polling.
class MountWatcher final : public QObject
{
    Q_OBJECT
public:
    explicit MountWatcher(QObject* parent = nullptr);
    ~MountWatcher() override;

Q_SIGNALS:
    void mountsChanged();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace platform
