#include "platform/shell/DurableBatch.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform::filecopy
{

DurableBatch::DurableBatch() : DurableBatch(Limits{}, &DurableBatch::syncEach) {}

DurableBatch::DurableBatch(Limits limits, Sync sync) : m_limits(limits), m_sync(std::move(sync)) {}

DurableBatch::~DurableBatch()
{
    discard();
}

void DurableBatch::addFile(const QByteArray& written, qint64 bytes, Step then)
{
    m_waiting.push_back({written, std::move(then)});
    ++m_files;
    m_bytes += bytes;
}

void DurableBatch::addStep(Step then)
{
    m_waiting.push_back({QByteArray(), std::move(then)});
}

int DurableBatch::syncEach(const QList<QByteArray>& written, QByteArray& failed)
{
    for (const QByteArray& path : written) {
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        int error = fd < 0 ? errno : 0;
        // A file system that cannot sync (some pseudo or read-only ones) has nothing to wait for.
        if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
            error = errno;
        if (fd >= 0)
            ::close(fd);
        if (error != 0) {
            failed = path;
            return error;
        }
    }
    return 0;
}

DurableBatch::Outcome DurableBatch::flush(int& error, QByteArray& failed)
{
    std::vector<Waiting> waiting;
    waiting.swap(m_waiting);
    m_files = 0;
    m_bytes = 0;
    QList<QByteArray> written;
    for (const Waiting& item : waiting) {
        if (!item.written.isEmpty())
            written.append(item.written);
    }
    error = written.isEmpty() ? 0 : m_sync(written, failed);
    Outcome outcome = error == 0 ? Outcome::Done : Outcome::SyncFailed;
    for (Waiting& item : waiting) {
        if (outcome == Outcome::Done && !item.then()) {
            outcome = Outcome::StepFailed;
            // The step that failed cleans up its own file; the rest are removed below.
            continue;
        }
        if (outcome != Outcome::Done && !item.written.isEmpty())
            ::unlink(item.written.constData());
    }
    return outcome;
}

void DurableBatch::discard()
{
    for (const Waiting& item : m_waiting) {
        if (!item.written.isEmpty())
            ::unlink(item.written.constData());
    }
    m_waiting.clear();
    m_files = 0;
    m_bytes = 0;
}

} // namespace platform::filecopy
