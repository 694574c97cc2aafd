#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archiver
{

// A parsed archiver command line: blank-separated tokens, double quotes keep blanks inside a
// token. After the command and the switches come the archive, an optional base folder (the
// token right after the archive when it ends in "/") and member names or wildcards.
// A token that starts with "-" is a switch unless it was quoted or follows a bare "--" (which
// itself is dropped), so a member named "-x.txt" can always be named.
class CommandLine
{
public:
    struct Token {
        std::string text;
        // Some of it stood in double quotes: never a switch, never joined with its neighbours.
        bool quoted = false;
    };
    // An operand as it stood on the line.
    using Operand = Token;

    struct Options {
        // Unlha: the first token that is not a switch is a one-word command ("e", "u", …).
        bool hasCommandWord = true;
        // Unlha: commands and switches compare without regard to case; Cab: with.
        bool caseInsensitive = true;
        // Switches may stand anywhere (Unlha); otherwise only before the archive.
        bool switchesAnywhere = true;
    };

    static std::vector<Token> tokenize(std::string_view line);
    static CommandLine parse(std::string_view line, const Options& options);

    // The command word, lower-cased when case-insensitive; empty when absent.
    const std::string& command() const { return m_command; }
    const std::string& archive() const { return m_archive; }
    // The base folder with its trailing "/"; empty when none was given.
    const std::string& baseFolder() const { return m_baseFolder; }
    const std::vector<std::string>& names() const { return m_names; }
    const std::vector<std::string>& switches() const { return m_switches; }

    // The operands after the command in their order (archive, base folder, names), with
    // whether each was quoted; empty ones ("") are kept.
    const std::vector<Operand>& operands() const { return m_operands; }

    // Replaces the operands, e.g. with paths put back together after blanks split them.
    void setOperands(std::string archive, std::string baseFolder, std::vector<std::string> names)
    {
        m_archive = std::move(archive);
        m_baseFolder = std::move(baseFolder);
        m_names = std::move(names);
    }

    // True when the switch (given without its leading "-", e.g. "d1") was passed.
    bool hasSwitch(std::string_view name) const;
    // The rest of the last switch that starts with the prefix ("gr" finds "-grNEW" → "NEW").
    std::optional<std::string> switchValue(std::string_view prefix) const;
    // "--exact": every name is a whole member path, "*" and "?" in it are plain characters.
    bool exactNames() const { return hasSwitch("-exact"); }
    // No names, or (unless the names are exact) only "*" / "*.*": every member is meant.
    bool selectsAll() const;

private:
    bool equal(std::string_view a, std::string_view b) const;
    bool startsWith(std::string_view text, std::string_view prefix) const;

    bool m_caseInsensitive = true;
    std::string m_command;
    std::string m_archive;
    std::string m_baseFolder;
    std::vector<std::string> m_names;
    std::vector<std::string> m_switches; // without the leading "-"
    std::vector<Operand> m_operands;
};

} // namespace archiver
