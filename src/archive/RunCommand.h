#pragma once

#include "archive/ArchiverCall.h"

#include <QString>

#include <optional>

class QWidget;

namespace platform
{
class Prompts;
}

namespace archive
{

// The report buffer of the extraction that opens a member with its application.
inline constexpr int kOpenMemberReportBufferSize = 255;

// The native id of the window that owns a library's questions and progress (0 for none).
quintptr ownerWindowId(QWidget* owner);

// Runs a command line through the family's library with the window as owner and gives back
// the library's report. When the line could not be built (a name the command language cannot
// carry) or the library cannot be called, the user is told why (naming the library file) and
// nothing is given back.
std::optional<QString> runCommand(ArchiverCall* archiver, platform::Prompts* prompts,
                                  QWidget* owner, Family family,
                                  const std::optional<QString>& commandLine, int reportBufferSize);

} // namespace archive
