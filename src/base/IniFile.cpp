#include "base/IniFile.h"

#include "base/Cp932.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace settings
{

namespace
{

// A value longer than this is cut on read, as a 1024-byte buffer with its closing NUL would.
constexpr qsizetype kMaxValueBytes = 1023;

const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);

enum class Encoding { Cp932, Utf8 };

// The file's bytes after the byte-order mark, and how they are encoded.
struct Content {
    Encoding encoding = Encoding::Cp932;
    QByteArray bytes;
};

// One line of the file: [begin, end) is its text, [end, next) its line break (if any).
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

Content splitBom(const QByteArray& raw)
{
    if (raw.startsWith(kUtf8Bom))
        return {Encoding::Utf8, raw.mid(kUtf8Bom.size())};
    return {Encoding::Cp932, raw};
}

bool isCp932Lead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes of the character at i. A CP932 trail byte may be '[', ']' or '\', so
// every scan for a delimiter steps over whole characters. In UTF-8 every ASCII byte is a
// character of its own, so a byte step is safe there.
qsizetype charLength(const QByteArray& bytes, qsizetype i, Encoding encoding)
{
    if (encoding == Encoding::Cp932 && isCp932Lead(static_cast<unsigned char>(bytes[i])) &&
        i + 1 < bytes.size())
        return 2;
    return 1;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArray trimmed(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.mid(begin, end - begin);
}

QString decode(const QByteArray& bytes, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? QString::fromUtf8(bytes) : platform::fromCp932(bytes);
}

std::optional<QByteArray> encode(const QString& text, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return text.toUtf8();
    QByteArray out;
    if (!platform::toCp932(text, out))
        return std::nullopt;
    return out;
}

std::vector<Line> splitLines(const QByteArray& bytes)
{
    std::vector<Line> lines;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype lf = bytes.indexOf('\n', pos);
        Line line;
        line.begin = pos;
        if (lf < 0) {
            line.end = bytes.size();
            line.next = bytes.size();
        } else {
            line.end = (lf > pos && bytes[lf - 1] == '\r') ? lf - 1 : lf;
            line.next = lf + 1;
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

// What one line of the file is.
struct Parsed {
    enum Kind { Other, Section, Key } kind = Other;
    QByteArray name;  // section or key name, trimmed
    QByteArray value; // key value, trimmed
};

Parsed parseLine(const QByteArray& text, Encoding encoding)
{
    Parsed parsed;
    const QByteArray line = trimmed(text);
    if (line.isEmpty() || line.startsWith(';'))
        return parsed;
    if (line.startsWith('[')) {
        qsizetype i = 1;
        while (i < line.size() && line[i] != ']')
            i += charLength(line, i, encoding);
        parsed.kind = Parsed::Section;
        parsed.name = trimmed(line.mid(1, i - 1));
        return parsed;
    }
    parsed.kind = Parsed::Key;
    const qsizetype eq = line.indexOf('='); // '=' is never a CP932 trail byte
    if (eq < 0) {
        parsed.name = line;
    } else {
        parsed.name = trimmed(line.left(eq));
        parsed.value = trimmed(line.mid(eq + 1));
    }
    return parsed;
}

bool sameName(const QByteArray& bytes, const QString& name, Encoding encoding)
{
    return decode(bytes, encoding).compare(name, Qt::CaseInsensitive) == 0;
}

// Where a section and a key sit in the file. Only the first section of a name counts, and
// in it the first key of a name, as with the Windows profile functions.
struct Location {
    std::optional<size_t> section; // index of the section's header line
    std::optional<size_t> key;     // index of the key's line
    std::optional<size_t> lastKey; // index of the section's last key line
    QByteArray value;              // the key's value, trimmed
};

Location locate(const QByteArray& bytes, const std::vector<Line>& lines, const QString& section,
                const QString& key, Encoding encoding)
{
    Location where;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        const Parsed parsed = parseLine(bytes.mid(line.begin, line.end - line.begin), encoding);
        if (parsed.kind == Parsed::Section) {
            if (inside)
                break;
            inside = sameName(parsed.name, section, encoding);
            if (inside)
                where.section = i;
        } else if (parsed.kind == Parsed::Key && inside) {
            where.lastKey = i;
            if (!where.key && sameName(parsed.name, key, encoding)) {
                where.key = i;
                where.value = parsed.value;
            }
        }
    }
    return where;
}

// One pair of matching quotes around a value is dropped, as GetPrivateProfileString does.
QByteArray unquoted(const QByteArray& value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The value as it is stored: quoted when reading it back would otherwise lose blanks at its
// ends or a pair of quotes around it.
QString stored(const QString& value)
{
    if (value.isEmpty())
        return value;
    const QChar first = value.front();
    const QChar last = value.back();
    const bool blankEnds =
        (first.unicode() < 0x80 && isBlank(static_cast<char>(first.unicode()))) ||
        (last.unicode() < 0x80 && isBlank(static_cast<char>(last.unicode())));
    const bool quoted = value.size() >= 2 &&
                        (first == QLatin1Char('"') || first == QLatin1Char('\'')) && last == first;
    if (blankEnds || quoted)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

// Cuts to at most kMaxValueBytes without splitting a character and at the first NUL.
QByteArray cut(const QByteArray& value, Encoding encoding)
{
    qsizetype nul = value.indexOf('\0');
    qsizetype end = nul < 0 ? value.size() : nul;
    if (end <= kMaxValueBytes)
        return value.left(end);
    if (encoding == Encoding::Cp932) {
        qsizetype i = 0;
        while (i < kMaxValueBytes) {
            const qsizetype n = charLength(value, i, encoding);
            if (i + n > kMaxValueBytes)
                break;
            i += n;
        }
        return value.left(i);
    }
    end = kMaxValueBytes;
    // Step back over continuation bytes so that the last character stays whole.
    qsizetype start = end;
    while (start > 0 && (static_cast<unsigned char>(value[start]) & 0xC0) == 0x80)
        --start;
    return value.left(start);
}

QByteArray lineBreakOf(const QByteArray& bytes)
{
    const qsizetype lf = bytes.indexOf('\n');
    if (lf >= 0 && !(lf > 0 && bytes[lf - 1] == '\r'))
        return QByteArrayLiteral("\n");
    return QByteArrayLiteral("\r\n");
}

bool containsLineBreakOrNul(const QString& text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0))
            return true;
    }
    return false;
}

// Applies the change to bytes in the given encoding; nullopt when a text has no form in it.
std::optional<QByteArray> edited(const QByteArray& bytes, Encoding encoding, const QString& section,
                                 const QString& key, const QString& value)
{
    const std::vector<Line> lines = splitLines(bytes);
    const Location where = locate(bytes, lines, section, key, encoding);
    const QByteArray eol = lineBreakOf(bytes);

    if (where.key) {
        const Line& line = lines[*where.key];
        // The key keeps its spelling in the file; the rest of the line is the new value.
        const Parsed parsed = parseLine(bytes.mid(line.begin, line.end - line.begin), encoding);
        const auto text = encode(stored(value), encoding);
        if (!text)
            return std::nullopt;
        QByteArray out = bytes;
        out.replace(line.begin, line.end - line.begin, QByteArray(parsed.name + '=' + *text));
        return out;
    }

    const auto keyLine = encode(key + QLatin1Char('=') + stored(value), encoding);
    if (!keyLine)
        return std::nullopt;

    if (where.section) {
        // After the section's last key (or its header), before blank lines and comments.
        const Line& after = lines[where.lastKey ? *where.lastKey : *where.section];
        QByteArray out = bytes;
        out.insert(after.end, QByteArray(eol + *keyLine));
        return out;
    }

    const auto header = encode(QLatin1Char('[') + section + QLatin1Char(']'), encoding);
    if (!header)
        return std::nullopt;
    QByteArray out = bytes;
    if (!out.isEmpty() && !out.endsWith('\n'))
        out += eol;
    out += *header + eol + *keyLine + eol;
    return out;
}

} // namespace

QString readProfileString(const QString& path, const QString& section, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const Content content = splitBom(file.readAll());
    file.close();

    const std::vector<Line> lines = splitLines(content.bytes);
    const Location where = locate(content.bytes, lines, section, key, content.encoding);
    if (!where.key)
        return QString();
    return decode(cut(unquoted(where.value), content.encoding), content.encoding);
}

namespace
{

// An exclusive lock on "<path>.lock", held while it lives.
class ProfileLock final
{
public:
    explicit ProfileLock(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path + QStringLiteral(".lock"));
        m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        // A lock file another user made can still be locked through a descriptor for reading.
        if (m_fd < 0 && errno == EACCES)
            m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        int rc = 0;
        do
            rc = ::flock(m_fd, LOCK_EX);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~ProfileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing the last descriptor releases the lock
    }
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;

    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// True when decoding the bytes and encoding the text again gives the same bytes: every value
// of the file then reads back the same once the file is UTF-8.
bool carriesOverExactly(const QByteArray& bytes)
{
    QByteArray again;
    return platform::toCp932(platform::fromCp932(bytes), again) && again == bytes;
}

} // namespace

ProfileError writeProfileStrings(const QString& path, QList<ProfileEntry>& entries)
{
    // A line break would split the line into keys of its own; a NUL would end the value.
    for (const ProfileEntry& e : entries) {
        if (containsLineBreakOrNul(e.section) || containsLineBreakOrNul(e.key) ||
            containsLineBreakOrNul(e.value) || e.section.contains(QLatin1Char(']')) ||
            e.key.contains(QLatin1Char('=')))
            return ProfileError::BadText;
    }

    const ProfileLock lock(path);
    if (!lock.held())
        return ProfileError::Unwritable;

    Content content;
    QFile existing(path);
    if (existing.exists()) {
        // A file that is there but cannot be read is never replaced by a new one.
        if (!existing.open(QIODevice::ReadOnly))
            return ProfileError::Unreadable;
        content = splitBom(existing.readAll());
        existing.close();
    }
    const Content before = content;

    QList<ProfileEntry> result = entries;
    for (ProfileEntry& e : result) {
        if (e.keepStored) {
            const std::vector<Line> lines = splitLines(content.bytes);
            const Location where = locate(content.bytes, lines, e.section, e.key, content.encoding);
            if (where.key) {
                e.value = decode(cut(unquoted(where.value), content.encoding), content.encoding);
                continue;
            }
        }
        std::optional<QByteArray> out =
            edited(content.bytes, content.encoding, e.section, e.key, e.value);
        if (!out && content.encoding == Encoding::Cp932) {
            // Code page 932 cannot hold the text: the whole file becomes UTF-8 with a
            // byte-order mark, provided that keeps every other value exactly.
            if (!carriesOverExactly(content.bytes))
                return ProfileError::Encoding;
            content = {Encoding::Utf8, decode(content.bytes, Encoding::Cp932).toUtf8()};
            out = edited(content.bytes, content.encoding, e.section, e.key, e.value);
        }
        if (!out)
            return ProfileError::Encoding;
        content.bytes = *out;
    }

    if (content.bytes != before.bytes || content.encoding != before.encoding ||
        !existing.exists()) {
        QByteArray out = content.bytes;
        if (content.encoding == Encoding::Utf8)
            out.prepend(kUtf8Bom);
        // Written beside the old file and renamed over it: a crash leaves one or the other.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return ProfileError::Unwritable;
        if (file.write(out) != out.size()) {
            file.cancelWriting();
            return ProfileError::Unwritable;
        }
        if (!file.commit())
            return ProfileError::Unwritable;
    }
    entries = result;
    return ProfileError::None;
}

bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value)
{
    QList<ProfileEntry> entries{{section, key, value, false}};
    return writeProfileStrings(path, entries) == ProfileError::None;
}

} // namespace settings
