#include "MenuDirective.h"

#include "DestinationTree.h"
#include "NameCodec.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

// A field as the entry may hold it: control characters (a line break would start a key of
// its own, an escape sequence would reach the terminal) become blanks, and the text is cut
// to `limit` bytes without splitting a UTF-8 character.
std::string cleanField(const std::string& text, size_t limit)
{
    std::string out;
    for (unsigned char c : text)
        out += c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
    if (out.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    return trim(out);
}

bool hasControl(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
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

// A string value of a desktop entry: one line, with the backslash escaped.
std::string entryValue(const std::string& text)
{
    std::string out;
    for (char c : cleanField(text, std::string::npos)) {
        if (c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

// One argument of an Exec line: double-quoted, with the characters the desktop entry rules
// reserve inside quotes backslash-escaped and "%" doubled (no field code can come from the
// archive); then the backslashes of that quoting are escaped once more, as in every string
// value. A literal backslash thus becomes four.
std::string execArgument(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\')
            out += '\\';
        out += c;
    }
    return out;
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

// Writes the file under a fresh temporary name beside it (never following a planted link)
// and renames it into place when complete.
bool writeText(const std::string& path, const std::string& text)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0 && errno != EINTR)
            break;
        if (n > 0)
            done += static_cast<size_t>(n);
    }
    const bool ok = done == text.size() && ::fchmod(fd, 0644) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// The XDG folder of the variable when it is set to an absolute path, else HOME + fallback;
// empty when neither is known.
std::string baseFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/')
        return std::string();
    return std::string(home) + fallback;
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

bool MenuDirective::parse(const std::string& input)
{
    constexpr size_t kFieldLimit = 255;
    constexpr size_t kFileLimit = 1024;
    std::string text = input;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.rfind("$GroupTitle=", 0) == 0) {
            m_title = cleanField(line.substr(12), kFieldLimit);
        } else if (line.rfind("$Group=", 0) == 0) {
            std::vector<std::string> fields;
            std::string rest = line.substr(7);
            size_t start = 0;
            for (;;) {
                const size_t comma = rest.find(',', start);
                fields.push_back(rest.substr(start, comma == std::string::npos ? std::string::npos
                                                                               : comma - start));
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
            if (fields.size() >= 3) {
                m_group = cleanField(fields[0], kFieldLimit);
                m_name = cleanField(fields[1], kFieldLimit);
                m_file = cleanField(fields[2], kFileLimit);
            }
        }
    }
    return !m_group.empty() && !m_name.empty() && !m_file.empty();
}

// FILE as a path inside the extracted folder: a relative path of the archive ("\" or "/"
// between folders) that climbs nowhere and names a regular file which, links resolved,
// still lies inside the folder. Empty with the reason otherwise.
std::string MenuDirective::targetIn(const std::string& extractedFolder, std::string& error) const
{
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
    char folderBuffer[PATH_MAX];
    char targetBuffer[PATH_MAX];
    struct stat st {
    };
    if (!::realpath(extractedFolder.c_str(), folderBuffer) ||
        !::realpath(target.c_str(), targetBuffer) || ::stat(targetBuffer, &st) != 0 ||
        !S_ISREG(st.st_mode)) {
        error = "メニューに登録するファイルがありません: " + target;
        return std::string();
    }
    const std::string folder = folderBuffer;
    const std::string resolved = targetBuffer;
    if (resolved.rfind(folder == "/" ? folder : folder + "/", 0) != 0) {
        error = "メニューに登録するファイルが展開先の外にあります: " + target;
        return std::string();
    }
    // A desktop entry is UTF-8 text of single lines.
    if (hasControl(resolved) || archiver::utf8OrCp932ToUtf8(resolved) != resolved) {
        error = "展開先の名前をメニューの項目に書けません: " + resolved;
        return std::string();
    }
    return resolved;
}

std::string MenuDirective::install(const std::string& extractedFolder, std::string& error) const
{
    const std::string target = targetIn(extractedFolder, error);
    if (target.empty())
        return std::string();
    char folderBuffer[PATH_MAX];
    const std::string folder =
        ::realpath(extractedFolder.c_str(), folderBuffer) ? folderBuffer : extractedFolder;
    struct stat st {
    };
    ::stat(target.c_str(), &st);
    bool executable = (st.st_mode & 0111) != 0;
    // Cabinets keep no execute permission: a program or script named to be started gets it.
    if (!executable && looksRunnable(target)) {
        const mode_t mask = ::umask(022);
        ::umask(mask);
        executable = ::chmod(target.c_str(), (st.st_mode | 0111) & ~mask & 07777) == 0;
    }

    const std::string dataHome = baseFolder("XDG_DATA_HOME", "/.local/share");
    const std::string configHome = baseFolder("XDG_CONFIG_HOME", "/.config");
    if (dataHome.empty() || configHome.empty()) {
        error = "メニューのフォルダが分かりません (HOME も XDG_DATA_HOME もありません)";
        return std::string();
    }
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
        "\nPath=" + entryValue(folder) + "\nTerminal=false\nCategories=" + category + ";\n";
    if (!m_title.empty() && m_title != m_name)
        entry += "Comment=" + entryValue(m_title) + "\n";
    const std::string directory = groupId + ".directory";
    const std::string menu = "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
                             "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>" +
                             groupId + "</Name>\n    <Directory>" + directory +
                             "</Directory>\n    <Include>\n      <Category>" + category +
                             "</Category>\n    </Include>\n  </Menu>\n</Menu>\n";
    if (!writeText(desktop, entry) ||
        !writeText(directories + "/" + directory,
                   "[Desktop Entry]\nType=Directory\nName=" + entryValue(m_group) + "\n") ||
        !writeText(menus + "/" + groupId + ".menu", menu)) {
        error = "メニューの項目を書き込めません: " + desktop;
        return std::string();
    }
    return desktop;
}
