#pragma once

#include "archive/ArchiverLibrary.h"

#include <QByteArray>
#include <QMap>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

// What the user expects an archive to hold: every member by its path ("/" between folders,
// also for CAB, whose lists show "\"), a file with its bytes or a folder entry.
struct ModelMember {
    QByteArray bytes;
    bool folder = false;
    qint64 mtime = 0; // seconds since the epoch, for "newer than the stored one"
    bool operator==(const ModelMember& o) const
    {
        return folder == o.folder && (folder || bytes == o.bytes);
    }
};
using ArchiveModel = QMap<QString, ModelMember>;

// Who wrote an archive: the outside tools, or our own LZH library ("u").
enum class Maker { Jlha, OwnLzh, Zip, Gcab };
archive::Family familyOf(Maker maker);
QString makerName(Maker maker);

// The hostile names the archives are made of: namesakes at several depths, blanks, names that
// look like switches ("-m1", "--", "-x.txt"), CP932 names whose second byte is 0x5C ("ソ" is
// 83 5C, "表" is 95 5C), a 200-byte name and empty files.
QStringList hostileBaseNames();
QStringList hostileFolders();

// Writes a random tree with those names and the archive of it by the maker; the model of what
// it holds. When `archiveNameMember` is set, an LZH archive also holds a member at its root
// that bears the archive's own file name. Empty on failure (the reason goes to the log).
ArchiveModel makeRandomArchive(Maker maker, QRandomGenerator& random, const QString& scratch,
                               const QString& archivePath, bool archiveNameMember);

// Writes a file whose name may be given in bytes (CP932 names for zip), folders made.
bool writeRawFile(const QByteArray& path, const QByteArray& bytes, qint64 mtime = 0);

// The archive as programs other than ours read it: bsdtar for LZH (names as CP932) and ZIP,
// gcab for CAB. Folder entries come from the listing, bytes from a full extraction into
// `scratch` (emptied first). False when the reader fails.
bool readIndependently(archive::Family family, const QString& archive, const QString& scratch,
                       ArchiveModel& out);

// The member path as a list shows it: "\" between folders for CAB.
QString listedName(archive::Family family, const QString& path);
// The member path of a list's text: "/" between folders, no trailing separator.
QString modelPath(archive::Family family, const QString& listed);
// The text after the last "/".
QString baseOf(const QString& path);

// One line per difference between the expected and the actual archive ("missing NAME", "extra
// NAME", "bytes of NAME", "folder NAME"); empty when they agree.
QStringList differences(const ArchiveModel& expected, const ArchiveModel& actual);
