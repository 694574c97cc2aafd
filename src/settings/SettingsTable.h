#pragma once

#include <QString>

#include <span>

namespace settings
{

// Every setting the program keeps in exp.ini, one name each.
enum class Key {
    FavouriteDrive,
    Favourite1,
    Favourite2,
    Favourite3,
    Favourite4,
    Favourite5,
    Recycle,             // deleted files go to the recycle bin
    NoAppChooser,        // a file with no association is not offered an application chooser
    NoFileDrag,          // file drag and drop is not used
    RecordSize,          // the window size is recorded on exit and restored at start
    Network,             // network computers can be used (the "net" menu item)
    NoExtractedQuestion, // extraction does not ask whether to show the extracted files
    NoAssociation,       // the selected file's associated application is not shown
    Maximised,
    Width,
    Height,
    NoHtmPreview,
    NoJpgPreview,
    NoTxtPreview,
    NoBmpPreview,
    NoMp3Preview,
    NoPreview,
    NoLzhPreview,
    NoZipPreview,
    NoTaroPreview,
    NoMultiPreview,
    Rule1Extension,
    Rule1Mode,
    Rule1InForce,
    Rule2Extension,
    Rule2Mode,
    Rule2InForce,
    // The member list of the read-only archives (7z, RAR, tar, ISO) is not shown. Kept in a
    // section of its own, with no control on the preview settings dialog; a file without it
    // shows them.
    NoArchivePreview,
    // The document kinds added after the design's: PDF, the further pictures, Markdown, video
    // and sound. Kept in a section of their own, held by the boxes the preview settings dialog
    // shows after its own; a file without the section shows them all.
    NoPdfPreview,
    NoPicturePreview,
    NoMarkdownPreview,
    NoVideoPreview,
    NoSoundPreview,
    // The encoding of the names in the ZIP archives that the compression dialog makes: "cp932"
    // (no UTF-8 flag) or "utf-8" (the flag set). Kept in a section of its own; a file without
    // it gives UTF-8.
    ZipNameEncoding,
};

// The kinds of file whose preview a setting turns off.
enum class Preview {
    Htm,
    Jpg,
    Txt,
    Bmp,
    Mp3,
    All,
    Lzh,
    Zip,
    Taro,
    Multi,
    Archives,
    Pdf,
    Pictures,
    Markdown,
    Video,
    Sound,
};

// Which window holds a setting while the program runs.
enum class Holder {
    File,    // nothing: read from the file when it is needed
    General, // the general settings dialog
    Preview, // the preview settings dialog
};

// What kind of control holds it, and so how its stored text is taken and given back.
enum class Control {
    None,  // a file-only value
    Check, // a check box: "0", "1" or "2"
    Text,  // a text box
    Drive, // a drive list: the drive's text
    Mode,  // a group of three option buttons with a hidden label holding the chosen index
};

struct Entry {
    Key key;
    const char* section;
    const char* name;
    const char* fallback; // what the holder shows while the file has no value for it
    Holder holder;
    const char* widget; // the holder's name on its dialog (for a mode: its hidden label)
    Control control;
};

// The row of a key.
const Entry& entry(Key key);
// The row of the control named widget on the holder's dialog, or nullptr.
const Entry* entryOfWidget(Holder holder, const QString& widget);

QString sectionOf(Key key);
QString nameOf(Key key);

// The key behind a kind of preview.
Key previewKey(Preview kind);
// Favourite folder n (1 to 5).
Key favouriteKey(int number);

// The orders in which the program reads and writes the settings.
namespace order
{
// The preview settings dialog's kind boxes, read at start-up.
std::span<const Key> previewBoxes();
// The two custom rules, read at start-up: mode, extension, in force.
std::span<const Key> customRules();
// The general settings dialog's own load.
std::span<const Key> generalLoad();
// Read once more after the general dialog has loaded at start-up.
std::span<const Key> generalAgain();
// The last settings read at start-up, after the window size.
std::span<const Key> generalLast();
// Written by the general dialog's "ＯＫ".
std::span<const Key> generalWrite();
// Written by the preview dialog's "OK".
std::span<const Key> previewWrite();
// The document kinds' boxes, after the design's on the preview dialog: read at start-up and
// written by its "OK" after everything else.
std::span<const Key> documentBoxes();
} // namespace order

} // namespace settings
