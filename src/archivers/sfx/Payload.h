#pragma once

#include <cstddef>
#include <string>

// The archive appended to this program: the bytes after the end of its own ELF image,
// mapped read-only.
class Payload
{
public:
    Payload() = default;
    ~Payload();
    Payload(const Payload&) = delete;
    Payload& operator=(const Payload&) = delete;

    bool open(const std::string& executable, std::string& error);
    const unsigned char* data() const { return m_base ? m_base + m_offset : nullptr; }
    size_t size() const { return m_size - m_offset; }
    bool isCabinet() const;
    bool isLzh() const;

private:
    unsigned char* m_base = nullptr;
    size_t m_size = 0;
    size_t m_offset = 0;
};
