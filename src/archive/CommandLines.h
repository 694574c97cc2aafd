#pragma once

#include "archive/ArchiveFormats.h"

#include <QString>
#include <QStringList>

#include <optional>

// The command lines the program hands to the archiver libraries. Every path and member name
// the program puts into a line is quoted, so a name with a blank stays one operand. Lines that
// name members the user selected carry "--exact": each name is then a whole member path, so
// a namesake in another folder or a name with "*" in it is never taken for another member.
namespace archive
{

// The names, each quoted, separated by one blank; empty for no names.
std::optional<QString> memberList(const QStringList& names);

// The message shown instead of a command line that cannot be built.
QString unquotableNameText();

// The four ways of the destination dialog.
enum class ExtractWay {
    CurrentFolder, // "現在のフォルダに解凍"
    ChosenFolder,  // "フォルダを選択して解凍"
    NewFolder,     // "フォルダを作成して解凍"
    NamedFolder,   // "フォルダにファイル名をつけて解凍"
};

// Extracts the whole archive into the destination folder (which ends in the separator).
std::optional<QString> extractCommand(Family family, ExtractWay way, const QString& archive,
                                      const QString& destination);

// Extracts the named members into the destination folder, with their stored folders. With no
// member named the line ends in the destination and one blank.
std::optional<QString> extractMembersCommand(Family family, const QString& archive,
                                             const QString& destination,
                                             const QStringList& members);

// Deletes one member from an LZH archive without asking.
std::optional<QString> deleteMemberCommand(const QString& archive, const QString& member);

// Adds the file (or wildcard) to an LZH archive, stored relative to the base folder. Trailing
// blanks of the base folder are dropped and the separator appended when missing, so an empty
// base folder becomes the root.
std::optional<QString> addToLzhCommand(const QString& archive, const QString& baseFolder,
                                       const QString& file);

// Renames the named members of an LZH archive (the library asks for each new name). The
// archive's own file name is passed first among the names.
std::optional<QString> renameMembersCommand(const QString& archive, const QString& archiveFileName,
                                            const QStringList& members);

// Extracts one member without its folders into the work folder, to be opened.
std::optional<QString> openMemberCommand(Family family, const QString& archive,
                                         const QString& workFolder, const QString& member);

// Extracts the members with their folders and without a progress window into a fresh folder
// inside the work folder, for a drag out.
std::optional<QString> dragOutCommand(Family family, const QString& archive,
                                      const QString& workFolder, const QStringList& members);

// The file name the user gave for a new archive, with the extension (".lzh", ".cab") added
// when it does not end in it already (case ignored): an archive the program itself could not
// recognise by its name is never made.
QString withArchiveExtension(const QString& file, const QString& extension);

// The separator between a member's folders (its format's row: "/" for LZH and ZIP, "\" for
// CAB).
QChar memberSeparator(Family family);

// The member name after its last folder separator.
QString memberBaseName(Family family, const QString& member);

// The destination folder named after the archive: the folder, the file name less its last four
// characters (the dot and a three-letter extension), and the separator.
QString namedFolderFor(const QString& currentFolder, const QString& fileName);

} // namespace archive
