#include "Report.h"

#include "ArchiverApi.h"

#include <new>

#include <cstring>

namespace archiver
{

void Report::line(std::string_view text)
{
    m_text.append(text);
    m_text.push_back('\n');
}

void Report::skipped(std::string_view name, std::string_view reason)
{
    ++m_skipped;
    std::string s = "Skipped  ";
    s.append(name);
    s.append(" : ");
    s.append(reason);
    line(s);
}

void Report::error(std::string_view text)
{
    ++m_errors;
    line(text);
}

void Report::writeTo(char* buffer, uint32_t size) const
{
    if (!buffer || size == 0)
        return;
    size_t n = std::min<size_t>(m_text.size(), size - 1);
    // Never leave half of a UTF-8 sequence at the cut.
    if (n < m_text.size()) {
        while (n > 0 && (static_cast<unsigned char>(m_text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(buffer, m_text.data(), n);
    std::memset(buffer + n, 0, size - n);
}

int runReported(const std::function<int(Report&)>& command, char* output, uint32_t outputSize)
{
    Report report;
    int result = 0;
    try {
        result = command(report);
    } catch (const std::bad_alloc&) {
        report.error("メモリが足りません。");
        result = ARCHIVER_ERROR_ENOUGH_MEMORY;
    } catch (...) {
        report.error("内部エラーが発生しました。");
        result = ARCHIVER_ERROR_NOT_SUPPORT;
    }
    report.writeTo(output, outputSize);
    return result;
}

} // namespace archiver
