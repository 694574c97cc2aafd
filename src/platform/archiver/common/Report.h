#pragma once

#include <cstdint>
#include <functional>
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

// Runs one command of an entry point: a failure to allocate or any other exception becomes an
// error line and an error result instead of leaving the library; the report is then copied
// into the caller's buffer.
int runReported(const std::function<int(Report&)>& command, char* output, uint32_t outputSize);

} // namespace archiver
