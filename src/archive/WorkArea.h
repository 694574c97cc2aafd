#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace platform
{
class Prompts;
}

namespace archive
{

// The instance's work folder as a command asks for it: its path (ending in the separator), or,
// when it could not be made, an empty path and a sentence that names the folder and why.
struct WorkFolder {
    WorkFolder() = default;
    // A bare path: a source that cannot fail (an empty path still counts as no folder).
    WorkFolder(QString folder) : path(std::move(folder)) {} // NOLINT: implicit on purpose
    WorkFolder(QString folder, QString why) : path(std::move(folder)), error(std::move(why)) {}

    QString path;
    QString error;
};

using WorkFolderSource = std::function<WorkFolder()>;

// The sentence shown when the work folder could not be made: the folder and the system's
// reason, and that the command does not run.
QString workFolderErrorText(const QString& folder, const QString& reason);

// The system's reason why the folder cannot be made (or is no folder); empty when it is one.
QString whyNoFolder(const QString& folder);

// The work folder ready for use (made when missing, ending in its separator), or nothing with
// `why` set to the sentence that names the folder and the reason.
std::optional<QString> readyWorkFolder(const WorkFolder& work, QString& why);

// The work folder ready for use: made when missing, ending in its separator. Nothing when
// there is none (an empty path never stands for "/" or the current folder); the user is then
// told which folder could not be made and why.
std::optional<QString> usableWorkFolder(const WorkFolderSource& source, platform::Prompts* prompts,
                                        QWidget* owner);

// A new, empty folder of its own inside the work folder (ending in its separator), so that one
// extraction never finds files an earlier one left. Nothing when it cannot be made; the user is
// told why.
std::optional<QString> freshFolderIn(const QString& workFolder, platform::Prompts* prompts,
                                     QWidget* owner);

} // namespace archive
