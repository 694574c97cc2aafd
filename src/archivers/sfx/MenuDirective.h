#pragma once

#include <string>

// The "$" file at an archive's root: "$GroupTitle=TITLE" and "$Group=GROUP,NAME,FILE,".
// It asks for a desktop menu entry NAME in submenu GROUP that starts FILE from the folder the
// archive was extracted into.
class MenuDirective
{
public:
    // False when the text names no complete entry. Fields lose control characters and are
    // cut to a sane length; a UTF-8 byte-order mark is ignored.
    bool parse(const std::string& text);
    const std::string& title() const { return m_title; }
    const std::string& group() const { return m_group; }
    const std::string& name() const { return m_name; }
    const std::string& file() const { return m_file; }

    // Writes the entry for the user: applications/koramo-….desktop under the data folder
    // (XDG_DATA_HOME or ~/.local/share), the submenu's .directory file and a merged .menu
    // file under the config folder (XDG_CONFIG_HOME or ~/.config). Returns the .desktop
    // path, or empty with the reason.
    std::string install(const std::string& extractedFolder, std::string& error) const;

private:
    std::string targetIn(const std::string& extractedFolder, std::string& error) const;

    std::string m_title;
    std::string m_group;
    std::string m_name;
    std::string m_file;
};
