#include "archive/RunCommand.h"

#include "archive/CommandLines.h"
#include "platform/Prompts.h"

#include <QWidget>

namespace archive
{

quintptr ownerWindowId(QWidget* owner)
{
    return owner ? static_cast<quintptr>(owner->window()->winId()) : 0;
}

std::optional<QString> runCommand(ArchiverCall* archiver, platform::Prompts* prompts,
                                  QWidget* owner, Family family,
                                  const std::optional<QString>& commandLine, int reportBufferSize)
{
    if (!commandLine) {
        if (prompts)
            prompts->message(owner, unquotableNameText(), QString(),
                             platform::Prompts::Exclamation);
        return std::nullopt;
    }
    if (!archiver)
        return std::nullopt;
    const CallResult result =
        archiver->run(family, ownerWindowId(owner), *commandLine, reportBufferSize);
    if (result.libraryMissing) {
        if (prompts)
            prompts->message(owner, result.error, QString(), platform::Prompts::Critical);
        return std::nullopt;
    }
    return result.report;
}

} // namespace archive
