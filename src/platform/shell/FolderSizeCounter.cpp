#include "platform/shell/FolderSizeCounter.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FolderSizeCounter::FolderSizeCounter(const QByteArray& folder, Report report)
    : m_report(std::move(report))
{
    m_thread = std::thread([this, folder] {
        Totals totals;
        qint64 lastReport = 0;
        m_clock.start();
        count(folder, totals, lastReport);
        if (!m_stop) {
            totals.finished = true;
            m_report(totals);
        }
    });
}

FolderSizeCounter::~FolderSizeCounter()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void FolderSizeCounter::count(const QByteArray& folder, Totals& totals, qint64& lastReport)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (struct dirent* entry = ::readdir(dir)) {
        if (m_stop)
            break;
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), n, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            ++totals.folders;
            QByteArray child = folder;
            child += '/';
            child += n;
            count(child, totals, lastReport);
        } else {
            ++totals.files;
            totals.bytes += st.st_size;
        }
        if (m_clock.elapsed() - lastReport >= 200) {
            lastReport = m_clock.elapsed();
            m_report(totals);
        }
    }
    ::closedir(dir);
}

} // namespace platform
