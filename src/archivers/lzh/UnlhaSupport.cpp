#include "UnlhaSupport.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lzh::unlha
{

std::string lastPart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool hasWildcard(const std::string& s)
{
    return s.find_first_of("*?") != std::string::npos;
}

std::string percent(uint64_t compressed, uint64_t original)
{
    const uint64_t p = original == 0 ? 100 : (compressed * 100 + original / 2) / original;
    return std::to_string(p) + "%";
}

std::string formatTime(time_t t)
{
    struct tm tmv {
    };
    localtime_r(&t, &tmv);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", tmv.tm_year + 1900,
                  tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    return buf;
}

bool setTimes(const std::string& path, time_t mtime)
{
    struct timespec ts[2];
    ts[0].tv_sec = mtime;
    ts[0].tv_nsec = 0;
    ts[1] = ts[0];
    return utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW) == 0;
}

mode_t currentUmask()
{
    const mode_t m = umask(022);
    umask(m);
    return m;
}

bool FdSink::write(const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace lzh::unlha
