#pragma once

#include <QString>

namespace settings
{

// Reader and writer of the Windows profile (INI) format: "[section]" lines, then
// "key=value" lines. Section and key names are looked up case-insensitively; when a section
// or a key appears twice, the first one counts. Values are returned without surrounding
// blanks and without one pair of matching quotes around them, and cut to 1023 bytes of the
// file's encoding (never inside a character, and at a NUL). Lines starting with ";" are
// comments; keys before the first section belong to none. The file is in code page 932, as
// a Japanese Windows writes it; a file that starts with a UTF-8 byte-order mark is UTF-8.
// Every call opens, reads and closes the file; nothing is cached.

// The value, or an empty text when the file, the section or the key is missing.
QString readProfileString(const QString& path, const QString& section, const QString& key);

// Sets the value: an existing key's line becomes "key=value" (the key spelled as in the
// file), a new key is appended after the last key of its section, a new section is appended
// to the file, a missing file is created with CRLF line ends; an existing file keeps its
// line ends. Every other byte of the file stays as it was. A value with blanks or a pair of
// quotes at its ends is stored in quotes so that it reads back unchanged. The file is
// replaced atomically (written beside it, then renamed over it). A text that code page 932
// cannot hold turns the whole file into UTF-8 with a byte-order mark rather than storing a
// substitute character; it stays UTF-8 afterwards. Returns false, leaving the file as it
// was, when the file could not be read or written, or when the section, key or value holds a
// line break or a NUL (or the section a "]", the key a "=") that would break the file.
bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);

} // namespace settings
