#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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
    // Adds the lines of another report (kept aside while earlier work finished) with their kinds.
    void append(const Report& other);

    const std::string& text() const { return m_text; }
    int errorCount() const { return m_errors; }
    int skippedCount() const { return m_skipped; }

    // Copies the text into the caller's buffer, NUL-terminated; the rest of the buffer is
    // filled with NUL. A report that does not fit is shortened so that what matters survives:
    // a first line saying so, then as many error lines as fit, then "Skipped" lines, then the
    // end of the report (its closing line first), all in their order. Only when not even that
    // fits is the text cut at a character boundary. A null buffer or size 0 writes nothing.
    void writeTo(char* buffer, uint32_t size) const;
    // The text writeTo puts into a buffer of `size` bytes (without the NUL).
    std::string fitted(uint32_t size) const;

    // The first line of a shortened report.
    static std::string_view shortenedLine();

private:
    enum class Kind { Plain, Skipped, Error };
    struct Line {
        size_t begin;
        size_t length; // with the line end
        Kind kind;
    };
    void add(std::string_view text, Kind kind);

    std::string m_text;
    std::vector<Line> m_lines;
    int m_errors = 0;
    int m_skipped = 0;
};

// Runs one command of an entry point: a failure to allocate or any other exception becomes an
// error line and an error result instead of leaving the library; the report is then copied
// into the caller's buffer.
int runReported(const std::function<int(Report&)>& command, char* output, uint32_t outputSize);

} // namespace archiver
