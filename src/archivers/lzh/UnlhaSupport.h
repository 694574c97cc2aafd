#pragma once

#include "ByteSink.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>

// Small helpers the Unlha commands share.
namespace lzh::unlha
{

// The part after the last "/".
std::string lastPart(const std::string& path);
// The part before the last "/" ("." without one, "/" for a name in the root).
std::string folderOf(const std::string& path);
bool hasWildcard(const std::string& s);
// compressed / original as a whole percentage ("42%"); 100% for an empty member.
std::string percent(uint64_t compressed, uint64_t original);
// "yyyy/mm/dd hh:mm:ss" in local time.
std::string formatTime(time_t t);
// Sets the access and modification times of the path itself (a link is not followed).
bool setTimes(const std::string& path, time_t mtime);
// The process's file-creation mask, read without changing it.
mode_t currentUmask();

// Writes everything it is given to an open descriptor.
class FdSink final : public ByteSink
{
public:
    explicit FdSink(int fd) : m_fd(fd) {}
    bool write(const uint8_t* data, size_t size) override;

private:
    int m_fd;
};

} // namespace lzh::unlha
