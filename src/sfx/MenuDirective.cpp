#include "MenuDirective.h"

#include "DestinationTree.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

std::string trim(const std::string& s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

// A stable, file-name-safe id for a text.
std::string idOf(const std::string& text)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", h);
    return buf;
}

// Values in desktop files are single lines; control characters go.
std::string entryValue(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        out += c < 0x20 ? ' ' : static_cast<char>(c);
    return out;
}

// One argument of an Exec line: double-quoted, with the characters the desktop entry
// specification reserves escaped, and "%" doubled.
std::string execArgument(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += "\\\\";
        if (c == '%') {
            out += "%%";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

bool makeFolders(const std::string& path)
{
    std::string partial;
    for (size_t pos = 0; pos <= path.size();) {
        const size_t slash = path.find('/', pos);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        partial = path.substr(0, end);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
        pos = slash + 1;
    }
    return true;
}

bool writeText(const std::string& path, const std::string& text)
{
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::string baseFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + fallback;
}

// An ELF program or a script with a "#!" line.
bool looksRunnable(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char head[4] = {0, 0, 0, 0};
    const size_t n = std::fread(head, 1, 4, f);
    std::fclose(f);
    return (n == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') ||
           (n >= 2 && head[0] == '#' && head[1] == '!');
}

} // namespace

bool MenuDirective::parse(const std::string& text)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.rfind("$GroupTitle=", 0) == 0) {
            m_title = trim(line.substr(12));
        } else if (line.rfind("$Group=", 0) == 0) {
            std::vector<std::string> fields;
            std::string rest = line.substr(7);
            size_t start = 0;
            for (;;) {
                const size_t comma = rest.find(',', start);
                fields.push_back(trim(rest.substr(
                    start, comma == std::string::npos ? std::string::npos : comma - start)));
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
            if (fields.size() >= 3) {
                m_group = fields[0];
                m_name = fields[1];
                m_file = fields[2];
            }
        }
    }
    return !m_group.empty() && !m_name.empty() && !m_file.empty();
}

std::string MenuDirective::install(const std::string& extractedFolder, std::string& error) const
{
    // FILE names a member of the archive: it must stay inside the extracted folder.
    std::string relative = m_file;
    for (char& c : relative)
        if (c == '\\')
            c = '/';
    std::vector<std::string> parts;
    if (!archiver::DestinationTree::splitSafe(relative, parts)) {
        error = "メニューに登録するファイルの名前が正しくありません: " + m_file;
        return std::string();
    }
    std::string target = extractedFolder;
    for (const std::string& p : parts)
        target += (target.empty() || target.back() == '/' ? "" : "/") + p;
    struct stat st {
    };
    bool executable =
        ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
    // Cabinets keep no execute permission: a program or script named to be started gets it.
    if (!executable && S_ISREG(st.st_mode) && looksRunnable(target)) {
        const mode_t mask = ::umask(022);
        ::umask(mask);
        executable = ::chmod(target.c_str(), (st.st_mode | 0111) & ~mask & 07777) == 0;
    }

    const std::string dataHome = baseFolder("XDG_DATA_HOME", "/.local/share");
    const std::string configHome = baseFolder("XDG_CONFIG_HOME", "/.config");
    const std::string groupId = "koramo-" + idOf(m_group);
    const std::string applications = dataHome + "/applications";
    const std::string directories = dataHome + "/desktop-directories";
    const std::string menus = configHome + "/menus/applications-merged";
    if (!makeFolders(applications) || !makeFolders(directories) || !makeFolders(menus)) {
        error = "メニューのフォルダを作成できません: " + dataHome;
        return std::string();
    }
    const std::string category = "X-Koramo-" + idOf(m_group);
    const std::string desktop = applications + "/" + groupId + "-" + idOf(m_name) + ".desktop";
    std::string entry =
        "[Desktop Entry]\nType=Application\nName=" + entryValue(m_name) +
        "\nExec=" + (executable ? execArgument(target) : "xdg-open " + execArgument(target)) +
        "\nPath=" + entryValue(extractedFolder) + "\nTerminal=false\nCategories=" + category +
        ";\n";
    if (!m_title.empty())
        entry += "Comment=" + entryValue(m_title) + "\n";
    const std::string directory = groupId + ".directory";
    const std::string menu = "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
                             "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>" +
                             groupId + "</Name>\n    <Directory>" + directory +
                             "</Directory>\n    <Include>\n      <Category>" + category +
                             "</Category>\n    </Include>\n  </Menu>\n</Menu>\n";
    std::string groupName;
    for (char c : entryValue(m_group))
        groupName += c;
    if (!writeText(desktop, entry) ||
        !writeText(directories + "/" + directory,
                   "[Desktop Entry]\nType=Directory\nName=" + groupName + "\n") ||
        !writeText(menus + "/" + groupId + ".menu", menu)) {
        error = "メニューの項目を書き込めません: " + desktop;
        return std::string();
    }
    return desktop;
}
