#pragma once

#include <QRect>
#include <QString>

class QWidget;

// Pictures of the program's windows for looking at them (the screenshot programs run under a
// display with a window manager, so title bars are drawn).

// Lets the event loop run for the given time, so windows are drawn and placed.
void settle(int ms);

// Saves what the screen shows in the area; prints the file's name, its size and whether it was
// saved.
bool savePicture(const QRect& area, const QString& file);

// Shows the window at a fixed place, waits until it is drawn and saves it with its frame.
bool shoot(QWidget* window, const QString& file, bool hideAfterwards = true);
