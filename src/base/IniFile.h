#pragma once

#include <QList>
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

// Why a write failed.
enum class ProfileError {
    None,
    BadText,    // a line break or a NUL (or "]" in a section, "=" in a key) would break the file
    Unreadable, // the file is there but cannot be read (or is a folder)
    Unwritable, // the file, its lock or its folder cannot be written
    Encoding,   // code page 932 cannot hold the text, and the file holds bytes that would
                // change if it were turned into UTF-8
};

// One key of a batch. keepStored: a key the file already holds is left as it is and its
// stored value comes back in value; only a missing key is written.
struct ProfileEntry {
    QString section;
    QString key;
    QString value;
    bool keepStored = false;
};

// Sets the values: an existing key's line becomes "key=value" (the key spelled as in the
// file), a new key is appended after the last key of its section, a new section is appended
// to the file, a missing file is created with CRLF line ends; an existing file keeps its
// line ends. Every other byte of the file stays as it was. A value with blanks or a pair of
// quotes at its ends is stored in quotes so that it reads back unchanged.
//
// The whole batch is one read-modify-write under an exclusive lock (flock on the file
// "<path>.lock" beside it), so that two instances saving at once each see what the other
// wrote. The file is replaced atomically (written beside it, then renamed over it).
//
// A text that code page 932 cannot hold turns the whole file into UTF-8 with a byte-order
// mark rather than storing a substitute character; it stays UTF-8 afterwards. That happens
// only when every byte of the file carries over exactly (the UTF-8 file reads back the same
// text for every other key); otherwise the batch fails with ProfileError::Encoding.
// On failure the file is left as it was and nothing of the batch is written.
ProfileError writeProfileStrings(const QString& path, QList<ProfileEntry>& entries);

// One key, as above; false on any failure.
bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);

} // namespace settings
