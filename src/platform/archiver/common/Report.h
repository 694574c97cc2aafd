#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace archiver
{

// The text an archiver writes back to its caller: one line per event, UTF-8.
class Report
{
public:
    void line(std::string_view text);
    // "Skipped  NAME : REASON"
    void skipped(std::string_view name, std::string_view reason);
    void error(std::string_view text);

    const std::string& text() const { return m_text; }
    int errorCount() const { return m_errors; }
    int skippedCount() const { return m_skipped; }

    // Copies the text into the caller's buffer, cut to its size at a character boundary and
    // NUL-terminated; the rest of the buffer is filled with NUL. A null buffer or size 0
    // writes nothing.
    void writeTo(char* buffer, uint32_t size) const;

private:
    std::string m_text;
    int m_errors = 0;
    int m_skipped = 0;
};

} // namespace archiver
