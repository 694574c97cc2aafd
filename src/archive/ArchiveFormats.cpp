#include "archive/ArchiveFormats.h"

#include <array>

namespace archive
{

namespace
{
using settings::Preview;

constexpr const char* kLzhEndings[] = {".lzh"};
constexpr const char* kZipEndings[] = {".zip"};
constexpr const char* kCabEndings[] = {".cab"};
constexpr const char* kReadOnlyEndings[] = {".7z",  ".rar",     ".tar",  ".tar.gz",
                                            ".tgz", ".tar.bz2", ".tbz2", ".tar.xz",
                                            ".txz", ".tar.zst", ".iso"};

// One row a format. A new format is one more row here and its library under archivers/.
constexpr std::array<ArchiveFormat, 4> kFormats{{
    {
        .family = Family::Lzh,
        .endings = kLzhEndings,
        .library = "libunlha32.so",
        .entryPrefix = "Unlha",
        .memberSeparator = u'/',
        .extractHere = "e -d1 ",
        // A chosen or new folder takes absolute stored paths relative to itself too.
        .extractInto = "e -d1 -jf0 ",
        .extractMembers = "e --exact ",
        .openMember = "e --exact ",
        .dragOut = "e -n -d1 -m1 --exact ",
        .listingMode = 0u,
        .previewSwitch = Preview::Lzh,
        .aboutName = "unlha32.dll",
        .aboutNameLabel = "Label3",
        .aboutVersionLabel = "Label6",
        .editable = true,
        .renameEntry = RenameEntry::Offered,
        .nameEncodingChoice = false,
    },
    {
        .family = Family::Zip,
        .endings = kZipEndings,
        .library = "libunzip32.so",
        .entryPrefix = "UnZip",
        .memberSeparator = u'/',
        .extractHere = "-x ",
        .extractInto = "-x ",
        .extractMembers = "-x --exact ",
        .openMember = "-x -j --exact ",
        .dragOut = "-x -u --i -o --exact ",
        .listingMode = 0x20000000u,
        .previewSwitch = Preview::Zip,
        .aboutName = "unzip32.dll",
        .aboutNameLabel = "Label4",
        .aboutVersionLabel = "Label7",
        .editable = false,
        .renameEntry = RenameEntry::HiddenWhenShown,
        .nameEncodingChoice = true,
    },
    {
        .family = Family::Cab,
        .endings = kCabEndings,
        .library = "libcab32.so",
        .entryPrefix = "Cab",
        .memberSeparator = u'\\',
        .extractHere = "-x -r ",
        .extractInto = "-x -r ",
        .extractMembers = "-x -r --exact ",
        .openMember = "-x --exact ",
        // With their folders, as for the other formats: namesakes in different folders must
        // not land on one file.
        .dragOut = "-x -r -i --exact ",
        .listingMode = 0u,
        // Cabinets follow the LZH switch.
        .previewSwitch = Preview::Lzh,
        .aboutName = "cab32.dll",
        .aboutNameLabel = "Label5",
        .aboutVersionLabel = "Label8",
        .editable = false,
        .renameEntry = RenameEntry::HiddenWhenEmptied,
        .nameEncodingChoice = false,
    },
    {
        // 7z, RAR, tar with its compressions and ISO 9660 images: read and extracted, never
        // changed.
        .family = Family::ReadOnly,
        .endings = kReadOnlyEndings,
        .library = "libunarc32.so",
        .entryPrefix = "UnArc",
        .memberSeparator = u'/',
        .extractHere = "-x ",
        .extractInto = "-x ",
        .extractMembers = "-x --exact ",
        .openMember = "-x -j --exact ",
        .dragOut = "-x -u --i -o --exact ",
        .listingMode = 0u,
        .previewSwitch = Preview::Archives,
        .aboutName = "libunarc32.so",
        .aboutNameLabel = "LabelUnarcName",
        .aboutVersionLabel = "LabelUnarcVersion",
        .editable = false,
        .renameEntry = RenameEntry::HiddenWhenShown,
        .nameEncodingChoice = true,
    },
}};
} // namespace

std::span<const ArchiveFormat> archiveFormats()
{
    return kFormats;
}

const ArchiveFormat& formatOf(Family family)
{
    for (const ArchiveFormat& format : kFormats) {
        if (format.family == family)
            return format;
    }
    // Every family has its row (the table test walks them all).
    return kFormats.front();
}

namespace
{
struct Match {
    std::optional<Family> family;
    qsizetype length = 0; // the ending's length with its dot
};

Match matchOf(const QString& fileName)
{
    Match found;
    for (const ArchiveFormat& format : kFormats) {
        for (const char* ending : format.endings) {
            // The ending without its dot: "ARCLZH" is LZH as well.
            const QLatin1String type(ending + 1);
            if (type.size() + 1 > found.length &&
                fileName.right(type.size()).compare(type, Qt::CaseInsensitive) == 0) {
                found.family = format.family;
                found.length = type.size() + 1;
            }
        }
    }
    return found;
}
} // namespace

std::optional<Family> familyOfFileName(const QString& fileName)
{
    return matchOf(fileName).family;
}

qsizetype endingLengthOf(const QString& fileName)
{
    const Match match = matchOf(fileName);
    return match.family ? match.length : 4;
}

} // namespace archive
