#pragma once

#include "archive/ArchiveFormats.h"

#include <QList>
#include <QString>

namespace archive
{

// An encoding the user may choose for the names of a ZIP archive that carry no UTF-8 mark.
// The id is what the ZIP library takes; an empty id is its own guess (UTF-8 when the name is
// valid UTF-8, CP932 otherwise).
struct NameEncoding {
    QString id;
    QString caption;
};

// The choices offered, the guess first.
QList<NameEncoding> zipNameEncodings();

// Tells the library of the format (of a row with a name-encoding choice) in the program folder
// which encoding the unmarked names of the archive are in; its listing and extraction of that
// archive follow it. False when the library is missing or refuses the encoding.
bool setNameEncoding(Family family, const QString& programFolder, const QString& archivePath,
                     const QString& encoding);

} // namespace archive
