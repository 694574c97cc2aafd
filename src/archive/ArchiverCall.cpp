#include "archive/ArchiverCall.h"

#include "base/Paths.h"

#include <QByteArray>

#include <cstdint>

namespace archive
{

namespace
{
using Command = int (*)(uintptr_t owner, const char* commandLine, char* output,
                        uint32_t outputSize);
} // namespace

ArchiverCall::~ArchiverCall() = default;

LibraryArchiverCall::LibraryArchiverCall() : m_folder(platform::programFolder()) {}

LibraryArchiverCall::LibraryArchiverCall(const QString& folder) : m_folder(folder) {}

CallResult LibraryArchiverCall::run(Family family, quintptr ownerWindow, const QString& commandLine,
                                    int reportBufferSize)
{
    return runArchiver(family, ownerWindow, commandLine, reportBufferSize, m_folder);
}

QString reportText(const QByteArray& buffer)
{
    QByteArray text = buffer;
    text.removeIf([](char c) { return c == '\0'; });
    return QString::fromUtf8(text);
}

QString missingLibraryText(Family family, const QString& folder)
{
    const QString library = QString::fromLatin1(formatOf(family).library);
    return QStringLiteral("書庫操作ライブラリ %1 を呼び出せません (%2)。")
        .arg(library, platform::withSlash(folder) + library);
}

CallResult runArchiver(Family family, quintptr ownerWindow, const QString& commandLine,
                       int reportBufferSize, const QString& folder)
{
    CallResult result;
    const ArchiverLibrary library(family, folder);
    // The entry point has the bare prefix as its name ("Unlha", "UnZip", "Cab").
    auto command = reinterpret_cast<Command>(library.resolve(""));
    if (!command) {
        result.code = CallResult::kNotCalled;
        result.libraryMissing = true;
        result.error = missingLibraryText(family, folder);
        return result;
    }
    const QByteArray line = commandLine.toUtf8();
    const uint32_t size = reportBufferSize > 0 ? static_cast<uint32_t>(reportBufferSize) : 0;
    QByteArray buffer(static_cast<qsizetype>(size), '\0');
    result.code = command(ownerWindow, line.constData(), size ? buffer.data() : nullptr, size);
    result.report = reportText(buffer);
    return result;
}

std::optional<QString> quoted(const QString& operand)
{
    if (operand.contains(QLatin1Char('"')))
        return std::nullopt;
    return QString(QLatin1Char('"') + operand + QLatin1Char('"'));
}

} // namespace archive
