#include "CommandLine.h"

#include <algorithm>

namespace archiver
{

namespace
{
char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

std::vector<CommandLine::Token> CommandLine::tokenize(std::string_view line)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        std::string token;
        bool quoted = false;
        bool sawQuote = false;
        while (i < line.size() && (quoted || !isBlank(line[i]))) {
            if (line[i] == '"') {
                quoted = !quoted;
                sawQuote = true;
            } else {
                token.push_back(line[i]);
            }
            ++i;
        }
        // "" is an empty operand, kept so that positions do not shift.
        if (!token.empty() || sawQuote)
            tokens.push_back({std::move(token), sawQuote});
    }
    return tokens;
}

CommandLine CommandLine::parse(std::string_view line, const Options& options)
{
    CommandLine result;
    result.m_caseInsensitive = options.caseInsensitive;
    const std::vector<Token> tokens = tokenize(line);
    enum class Next {
        Command,
        Archive,
        BaseOrName,
        Name
    } next = options.hasCommandWord ? Next::Command : Next::Archive;
    bool operandsStarted = false;
    bool switchesEnded = false;
    for (const Token& t : tokens) {
        const std::string& token = t.text;
        const bool mayBeSwitch =
            !t.quoted && !switchesEnded && (options.switchesAnywhere || !operandsStarted);
        if (mayBeSwitch && token == "--") {
            switchesEnded = true;
            continue;
        }
        if (mayBeSwitch && token.size() > 1 && token[0] == '-') {
            std::string sw = token.substr(1);
            // "--i" and "-i" are different switches; only the first "-" is dropped.
            result.m_switches.push_back(std::move(sw));
            continue;
        }
        switch (next) {
        case Next::Command: {
            std::string cmd = token;
            if (options.caseInsensitive)
                std::transform(cmd.begin(), cmd.end(), cmd.begin(), lowerAscii);
            result.m_command = std::move(cmd);
            next = Next::Archive;
            break;
        }
        case Next::Archive:
            result.m_operands.push_back(t);
            result.m_archive = token;
            operandsStarted = true;
            next = Next::BaseOrName;
            break;
        case Next::BaseOrName:
            result.m_operands.push_back(t);
            next = Next::Name;
            if (!token.empty() && token.back() == '/') {
                result.m_baseFolder = token;
                break;
            }
            if (!token.empty())
                result.m_names.push_back(token);
            break;
        case Next::Name:
            result.m_operands.push_back(t);
            if (!token.empty())
                result.m_names.push_back(token);
            break;
        }
    }
    return result;
}

bool CommandLine::equal(std::string_view a, std::string_view b) const
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = m_caseInsensitive ? lowerAscii(a[i]) : a[i];
        const char y = m_caseInsensitive ? lowerAscii(b[i]) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

bool CommandLine::startsWith(std::string_view text, std::string_view prefix) const
{
    return text.size() >= prefix.size() && equal(text.substr(0, prefix.size()), prefix);
}

bool CommandLine::hasSwitch(std::string_view name) const
{
    return std::any_of(m_switches.begin(), m_switches.end(),
                       [&](const std::string& s) { return equal(s, name); });
}

std::optional<std::string> CommandLine::switchValue(std::string_view prefix) const
{
    for (auto it = m_switches.rbegin(); it != m_switches.rend(); ++it) {
        if (startsWith(*it, prefix))
            return it->substr(prefix.size());
    }
    return std::nullopt;
}

bool CommandLine::selectsAll() const
{
    if (m_names.empty())
        return true;
    if (exactNames())
        return false;
    return std::all_of(m_names.begin(), m_names.end(),
                       [](const std::string& n) { return n == "*" || n == "*.*"; });
}

} // namespace archiver
