#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The command lines of compression and of self-extracting archives. Every path is quoted, so
// that a folder with a blank stays one operand; a path holding a double quote gives nothing
// (the command language cannot carry it).
namespace archive
{

// A new cabinet of every file below the base folder, subfolders included.
std::optional<QString> cabCreateCommand(const QString& archive, const QString& baseFolder);

// A new ZIP archive of everything below the base folder, folders included. Names are stored in
// UTF-8 with the format's UTF-8 flag, or with `cp932` in CP932 without it (for older Windows
// and tools).
std::optional<QString> zipCreateCommand(const QString& archive, const QString& baseFolder,
                                        bool cp932);

// The self-extracting archive NAME.run made from an LZH archive, written into the folder.
std::optional<QString> lzhSelfExtractingCommand(const QString& archive, const QString& folder);

// The self-extracting archive NAME.run made from a cabinet, written into the folder.
std::optional<QString> cabSelfExtractingCommand(const QString& archive, const QString& folder);

// The menu-entry directive packed as the file "$": two lines joined by CR LF, a comma after
// the last field and no line end after it. UTF-8, as the self-extracting stub reads it.
QByteArray menuDirectiveText(const QString& title, const QString& group, const QString& name,
                             const QString& file);

// A name typed for an archive: usable when it is not empty and names no other folder.
bool isPlainFileName(const QString& name);

} // namespace archive
