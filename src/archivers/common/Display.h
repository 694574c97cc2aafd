#pragma once

namespace archiver
{

// Whether the process has a display a dialog could appear on: false without DISPLAY and
// WAYLAND_DISPLAY, and false when Qt is told to draw nowhere (QT_QPA_PLATFORM offscreen or
// minimal). Dialogs.cpp also requires a running QApplication.
bool displayAvailable();

} // namespace archiver
