#pragma once

#include "archive/ArchiverLibrary.h"

#include <QString>

#include <optional>

class QWidget;

namespace platform
{
class Prompts;
}

namespace archive
{

// The archiver libraries' command entry point as the windows use it: the line goes to the
// family's library with the window that owns its questions and progress, and the report comes
// back from a buffer of the given size with its NUL characters removed.
class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    virtual QString run(QWidget* owner, Family family, const QString& commandLine,
                        int bufferSize) = 0;
};

// Report buffer sizes of the commands.
constexpr int kReportSize = 2048;
constexpr int kShortReportSize = 255;

// Runs a line that could be built and gives back the report; for a line that could not be
// built (a name the command language cannot carry) it tells the user and runs nothing.
std::optional<QString> runIfBuilt(CommandRunner* runner, platform::Prompts* prompts, QWidget* owner,
                                  Family family, const std::optional<QString>& line,
                                  int bufferSize);

} // namespace archive
