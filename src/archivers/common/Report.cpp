#include "Report.h"

#include "ArchiverApi.h"

#include <new>

#include <cstring>

namespace archiver
{

void Report::add(std::string_view text, Kind kind)
{
    m_lines.push_back({m_text.size(), text.size() + 1, kind});
    m_text.append(text);
    m_text.push_back('\n');
}

void Report::line(std::string_view text)
{
    add(text, Kind::Plain);
}

void Report::skipped(std::string_view name, std::string_view reason)
{
    ++m_skipped;
    std::string s = "Skipped  ";
    s.append(name);
    s.append(" : ");
    s.append(reason);
    add(s, Kind::Skipped);
}

void Report::error(std::string_view text)
{
    ++m_errors;
    add(text, Kind::Error);
}

void Report::append(const Report& other)
{
    for (const Line& l : other.m_lines)
        add(std::string_view(other.m_text).substr(l.begin, l.length - 1), l.kind);
    m_errors += other.m_errors;
    m_skipped += other.m_skipped;
}

std::string_view Report::shortenedLine()
{
    return "報告が長いため一部を省きました:";
}

namespace
{
// The first `n` bytes of the text or fewer, never half of a UTF-8 sequence.
std::string_view cutAtCharacter(std::string_view text, size_t n)
{
    if (n >= text.size())
        return text;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}
} // namespace

std::string Report::fitted(uint32_t size) const
{
    if (size == 0)
        return std::string();
    const size_t room = size - 1;
    if (m_text.size() <= room)
        return m_text;
    const std::string header = std::string(shortenedLine()) + "\n";
    size_t used = header.size();
    std::vector<bool> kept(m_lines.size(), false);
    const auto keep = [&](size_t i) {
        if (kept[i] || used + m_lines[i].length > room)
            return false;
        kept[i] = true;
        used += m_lines[i].length;
        return true;
    };
    bool closingKept = false;
    if (used <= room && !m_lines.empty())
        closingKept = keep(m_lines.size() - 1);
    if (!closingKept)
        return std::string(cutAtCharacter(m_text, room));
    for (const Kind kind : {Kind::Error, Kind::Skipped}) {
        for (size_t i = 0; i < m_lines.size(); ++i) {
            if (m_lines[i].kind == kind)
                keep(i);
        }
    }
    // The end of the report, back from its closing line, as far as it still fits.
    for (size_t i = m_lines.size(); i-- > 0;) {
        if (!kept[i] && !keep(i))
            break;
    }
    std::string out = header;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (kept[i])
            out.append(m_text, m_lines[i].begin, m_lines[i].length);
    }
    return out;
}

void Report::writeTo(char* buffer, uint32_t size) const
{
    if (!buffer || size == 0)
        return;
    const std::string text = fitted(size);
    std::memcpy(buffer, text.data(), text.size());
    std::memset(buffer + text.size(), 0, size - text.size());
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
