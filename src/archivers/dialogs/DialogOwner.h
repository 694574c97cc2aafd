#pragma once

#include "ArchiverApi.h"

class QWidget;

namespace archiver
{

// Makes a top-level dialog belong to the caller's window: the program's own widget with that
// native id becomes its parent; a foreign window becomes its transient parent.
void attachToOwner(QWidget* dialog, ArchiverWindow owner);
// The program's widget whose native window is the owner, or null.
QWidget* ownerWidget(ArchiverWindow owner);

} // namespace archiver
