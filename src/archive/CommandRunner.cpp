#include "archive/CommandRunner.h"

#include "archive/CommandLines.h"
#include "platform/Prompts.h"

namespace archive
{

std::optional<QString> runIfBuilt(CommandRunner* runner, platform::Prompts* prompts, QWidget* owner,
                                  Family family, const std::optional<QString>& line, int bufferSize)
{
    if (!line) {
        if (prompts)
            prompts->message(owner, unquotableNameText(), QString(),
                             platform::Prompts::Exclamation);
        return std::nullopt;
    }
    if (!runner)
        return std::nullopt;
    return runner->run(owner, family, *line, bufferSize);
}

} // namespace archive
