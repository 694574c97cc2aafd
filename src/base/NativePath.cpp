#include "base/NativePath.h"

#include "base/Cp932.h"

#include <QStringList>

#include <unistd.h>

namespace platform
{

namespace
{

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at i (1 to 4), or 0 when the bytes there are not
// one: overlong forms, encoded surrogates and values above U+10FFFF are not valid.
int utf8Length(const QByteArray& bytes, qsizetype i, char32_t& value)
{
    const auto at = [&bytes](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    int length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        value = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char trail = at(i + k);
        if ((trail & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (trail & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

bool isEscape(char16_t unit)
{
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

QString fromNativePath(const QByteArray& bytes)
{
    bool valid = true;
    for (qsizetype i = 0; i < bytes.size() && valid;) {
        char32_t value = 0;
        const int length = utf8Length(bytes, i, value);
        valid = length > 0;
        i += length;
    }
    if (valid)
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t value = 0;
        const int length = utf8Length(bytes, i, value);
        if (length == 0) {
            out += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        if (value >= 0x10000) {
            out += QChar(QChar::highSurrogate(value));
            out += QChar(QChar::lowSurrogate(value));
        } else {
            out += QChar(char16_t(value));
        }
        i += length;
    }
    return out;
}

QByteArray toNativePath(const QString& path)
{
    if (!hasForeignBytes(path))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 3);
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path.at(i).unicode();
        if (isEscape(unit)) {
            out += char(unit - kEscapeBase);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < path.size() &&
                   QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, path.at(i + 1).unicode()));
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

bool setCurrentFolder(const QString& folder)
{
    return !folder.isEmpty() && ::chdir(toNativePath(folder).constData()) == 0;
}

bool hasForeignBytes(const QString& path)
{
    for (const QChar c : path) {
        if (isEscape(c.unicode()))
            return true;
    }
    return false;
}

QString foreignNameMark()
{
    return QStringLiteral("[SJIS] ");
}

QString displayName(const QString& name)
{
    if (!hasForeignBytes(name))
        return name;
    return foreignNameMark() + fromCp932(toNativePath(name));
}

QString displayPath(const QString& path)
{
    if (!hasForeignBytes(path))
        return path;
    QStringList parts = path.split(QLatin1Char('/'));
    for (QString& part : parts)
        part = displayName(part);
    return parts.join(QLatin1Char('/'));
}

} // namespace platform
