#pragma once

#include "archive/ArchiveFormats.h"

#include <QLibrary>
#include <QString>

#include <memory>
#include <optional>

namespace archive
{

// One loaded archiver library, by the file name its format's row gives (archiveFormats()),
// from the program folder. A library that is missing or lacks an entry point is a real
// failure: isLoaded() is false and every call reports it.
class ArchiverLibrary final
{
public:
    explicit ArchiverLibrary(Family family, const QString& folder);
    ~ArchiverLibrary();
    ArchiverLibrary(const ArchiverLibrary&) = delete;
    ArchiverLibrary& operator=(const ArchiverLibrary&) = delete;

    bool isLoaded() const;
    Family family() const { return m_family; }
    // The address of the named entry point (prefix added), or null.
    void* resolve(const char* suffix) const;
    // Result of …GetVersion (version × 100), or nothing when it cannot be called.
    std::optional<int> version() const;

private:
    Family m_family;
    std::unique_ptr<QLibrary> m_library;
};

// The version text shown in the about dialog: the query's result divided by 100, as the
// shortest decimal text (114 → "1.14", 200 → "2"); empty when the library cannot be called.
QString versionText(Family family, const QString& folder);

} // namespace archive
