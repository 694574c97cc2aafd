#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archiver
{

AtomicFile::AtomicFile(std::string target) : m_target(std::move(target)) {}

AtomicFile::~AtomicFile()
{
    if (!m_done)
        discard();
}

bool AtomicFile::open(std::string& reason)
{
    const size_t slash = m_target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    std::string pattern = folder + "." + name + ".tmpXXXXXX";
    m_fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) {
        reason = "一時ファイルを作成できません";
        return false;
    }
    m_temp = pattern;
    struct stat st {
    };
    mode_t mode;
    if (stat(m_target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(022);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(m_fd, mode);
    return true;
}

bool AtomicFile::writeAll(const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFile::commit(std::string& reason)
{
    if (m_fd < 0) {
        reason = "一時ファイルがありません";
        return false;
    }
    if (fsync(m_fd) != 0 || ::close(m_fd) != 0) {
        m_fd = -1;
        reason = "書き込みに失敗しました";
        discard();
        return false;
    }
    m_fd = -1;
    if (std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        reason = "書庫を置き換えられません";
        discard();
        return false;
    }
    m_done = true;
    return true;
}

void AtomicFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_done = true;
}

} // namespace archiver
