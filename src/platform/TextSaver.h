#pragma once

#include "platform/TextEncoding.h"

#include <QByteArray>
#include <QString>

namespace platform
{

// Why a save did not happen. number follows the classic run-time error numbers a user of the
// program knows from its messages: 61 disk full, 70 permission denied, 75 path or file access
// error, 76 path not found; 0 for text the encoding cannot store (nothing was written).
struct SaveError {
    int number = 0;
    QString description;
};

// The first character of the text ('\n' line ends) that the format's encoding cannot store,
// with its line (from 1); an empty character when every character can be stored.
struct Unencodable {
    QString character;
    int line = 0;
};
Unencodable firstUnencodable(const QString& text, const TextFormat& format);

// A short name of an encoding for messages: "Shift_JIS (windows-31j)", "UTF-8 (BOM 付き)", …
QString encodingDisplayName(const TextFormat& format);

// Replaces the file with the bytes atomically: they go to a temporary file in the same folder,
// which is renamed over the file only when every byte is on disk. A failure (disk full,
// permissions, a read-only file) leaves the old file as it was and no temporary file behind.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, SaveError* error);

// Saves the text in the format (encoding, BOM and line ends), atomically. A character the
// encoding cannot store is never dropped or replaced: nothing is written and the error names
// the character and its line.
bool saveTextFile(const QString& path, const QString& text, const TextFormat& format,
                  SaveError* error);

// The format of a text the user has not saved before: UTF-8 without BOM, the platform's LF.
TextFormat newTextFormat();

} // namespace platform
