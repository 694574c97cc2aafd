#pragma once

#include "settings/SettingsTable.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace archive
{

// The archive formats the program works with, one row each in archiveFormats(). The enum names
// the rows; code names a row itself only for what one format's library alone offers (editing
// an LZH archive in place, writing a cabinet).
enum class Family { Lzh, Zip, Cab, ReadOnly };

// When the member list's "rename member" entry is put away for a format whose members cannot
// be renamed: as the list is emptied, or only once the archive is shown (a preview turned off
// then leaves the entry as it was).
enum class RenameEntry { Offered, HiddenWhenEmptied, HiddenWhenShown };

// Everything the program knows of one archive format.
struct ArchiveFormat {
    Family family;
    // The file name's endings that make a file an archive of this format (case ignored), each
    // with its dot; the first is the format's usual one.
    std::span<const char* const> endings;
    // The archiver library in the program folder and the prefix of its entry points.
    const char* library;
    const char* entryPrefix;
    // The separator between a member's folders in the names the library reports.
    char16_t memberSeparator;
    // The switches that open each command line, each ending in a blank: the whole archive into
    // the current folder or one named after it, the whole archive into a chosen or a new
    // folder, the selected members with their folders, one member without its folders to be
    // opened, and members with their folders and no progress window for a drag out.
    const char* extractHere;
    const char* extractInto;
    const char* extractMembers;
    const char* openMember;
    const char* dragOut;
    // The mode bits the listing hands to OpenArchive.
    std::uint32_t listingMode;
    // The preview setting that turns the member list off for this format.
    settings::Preview previewSwitch;
    // The about box's row of the library: the name it shows and its label, and the label that
    // shows the library's version.
    const char* aboutName;
    const char* aboutNameLabel;
    const char* aboutVersionLabel;
    // Members are edited in place: renamed, deleted, and added by a drop onto the list.
    bool editable;
    RenameEntry renameEntry;
    // The encoding of names stored without a UTF-8 mark can be chosen at the list.
    bool nameEncodingChoice;
};

// Every format, one row each, in the order the about box lists their libraries.
std::span<const ArchiveFormat> archiveFormats();

// The row of a format.
const ArchiveFormat& formatOf(Family family);

// The format of a file by its name's ending without the dot, case ignored ("ARC.LZH" is LZH);
// of several endings that fit, the longest decides ("a.tar.gz" by "tar.gz"); nothing for any
// other file.
std::optional<Family> familyOfFileName(const QString& fileName);

// How many characters at the end of the file name are its archive ending, counted with the dot
// the table gives it (4 for "a.lzh", 7 for "a.tar.gz"); 4 for a name that is no archive's.
qsizetype endingLengthOf(const QString& fileName);

} // namespace archive
