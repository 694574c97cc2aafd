#pragma once

#include <QString>

class QWidget;

namespace platform
{
class Prompts;
}

namespace fileops
{

// The folder picker: the chosen folder, or "" when cancelled. The result is also kept as the
// last picked folder.
QString pickFolder(platform::Prompts& prompts, QWidget* owner, const QString& prompt);
QString lastPickedFolder();
// Extraction into a folder it has just made records that folder as the last picked one.
void setLastPickedFolder(const QString& folder);

} // namespace fileops
