#pragma once

#include <QString>

class QWidget;

namespace archive
{

class StagingCopy;

// Runs the copy on a thread of its own while the owner's window keeps being painted; a
// progress window shows after half a second how far it got and lets the user cancel. Returns
// when the copy has finished or stopped.
void runStagingCopy(StagingCopy& copy, QWidget* owner, const QString& title);

} // namespace archive
