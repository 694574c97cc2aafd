#pragma once

#include <QString>

namespace settings {

// Reader and writer of the Windows profile (INI) format: "[section]" lines, then
// "key=value" lines. Section and key names are looked up case-insensitively; values are
// returned without surrounding blanks and cut to 1023 bytes. The file is in code page 932,
// as a Japanese Windows writes it; a file that starts with a UTF-8 byte-order mark is UTF-8.

// The value, or an empty text when the file, the section or the key is missing.
QString readProfileString(const QString& path, const QString& section, const QString& key);

// Sets the value: an existing key's line is replaced in place, a new key is appended to its
// section, a new section is appended to the file, a missing file is created. Every other
// byte of the file stays as it was. The file is replaced atomically. A value that code page
// 932 cannot hold turns the file into UTF-8 with a byte-order mark rather than storing a
// substitute character. Returns false when the file could not be written.
bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);

} // namespace settings
