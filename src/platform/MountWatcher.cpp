#include "platform/MountWatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace platform
{

MountWatcher::MountWatcher(QObject* parent) : QObject(parent)
{
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    // A change of the table shows as an exceptional condition (POLLPRI) on the open file.
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        // Each change is reported once to this open file; nothing needs to be read.
        Q_EMIT mountsChanged();
    });
}

MountWatcher::~MountWatcher()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace platform
