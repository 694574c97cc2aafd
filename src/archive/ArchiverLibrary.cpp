#include "archive/ArchiverLibrary.h"

#include "base/Paths.h"

#include <QLocale>

namespace archive
{

ArchiverLibrary::ArchiverLibrary(Family family, const QString& folder)
    : m_family(family),
      m_library(std::make_unique<QLibrary>(platform::withSlash(folder) +
                                           QString::fromLatin1(formatOf(family).library)))
{
    // Loaded by its full path only: a library of the same name elsewhere on the system is
    // never picked up instead of ours.
    m_library->load();
}

ArchiverLibrary::~ArchiverLibrary() = default;

bool ArchiverLibrary::isLoaded() const
{
    return m_library->isLoaded();
}

void* ArchiverLibrary::resolve(const char* suffix) const
{
    if (!isLoaded())
        return nullptr;
    const QByteArray name = QByteArray(formatOf(m_family).entryPrefix) + QByteArray(suffix);
    return reinterpret_cast<void*>(m_library->resolve(name.constData()));
}

std::optional<int> ArchiverLibrary::version() const
{
    using GetVersion = int (*)();
    auto fn = reinterpret_cast<GetVersion>(resolve("GetVersion"));
    if (!fn)
        return std::nullopt;
    return fn();
}

QString versionText(Family family, const QString& folder)
{
    const ArchiverLibrary library(family, folder);
    const std::optional<int> v = library.version();
    if (!v)
        return QString();
    return QString::number(*v / 100.0, 'g', QLocale::FloatingPointShortest);
}

} // namespace archive
