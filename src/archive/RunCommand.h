#pragma once

#include "archive/ArchiverCall.h"

#include <QString>
#include <QStringList>

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
// what the library answered (its result code and report). When the line could not be built
// (a name the command language cannot carry) or the library cannot be called, the user is told
// why (naming the library file) and nothing is given back.
std::optional<CallResult> runCommand(ArchiverCall* archiver, platform::Prompts* prompts,
                                     QWidget* owner, Family family,
                                     const std::optional<QString>& commandLine,
                                     int reportBufferSize);

// The lines of a report that tell of failures: every line but the title, progress ("Melted",
// "Frozen", "Deleted", "Renamed", "mkdir", "Created") and count lines. A report cut to its
// buffer keeps its error lines (and a first line saying it was shortened), so they are found
// there too.
QStringList errorLines(const QString& report);

// What a failed call is shown as: the sentence saying what failed, the library's error lines
// (the first 30 of them), and the result code with its meaning.
QString failureText(const QString& what, const CallResult& result);

// True when the library did what it was asked (result code 0). Otherwise the user is told, in a
// box, what failed and why (see failureText), and false is given back.
bool succeeded(platform::Prompts* prompts, QWidget* owner, const QString& what,
               const CallResult& result);

} // namespace archive
