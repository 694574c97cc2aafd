#pragma once

#include <string>

namespace archiver
{

// A file that replaces its target only when complete: the new content goes into a
// temporary file beside the target, which is renamed over the target by commit(). Until
// then the target is untouched; a destroyed, uncommitted AtomicFile removes its temporary.
class AtomicFile
{
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; the new file gets the target's permissions when the
    // target exists. False with a reason on failure.
    bool open(std::string& reason);
    int fd() const { return m_fd; }
    const std::string& target() const { return m_target; }
    const std::string& tempPath() const { return m_temp; }

    // Writes all bytes at the current position; false on any failure.
    bool writeAll(const void* data, size_t size);
    // Flushes to disk and renames over the target.
    bool commit(std::string& reason);
    // Removes the temporary file.
    void discard();

private:
    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
    bool m_done = false;
};

} // namespace archiver
