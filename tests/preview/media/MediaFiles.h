#pragma once

#include <QColor>
#include <QString>

// Small media files written by the tests themselves.

// A mono 16-bit PCM WAV of a 440 Hz tone.
bool writeWav(const QString& path, int milliseconds);
// A format-0 standard MIDI file: one note held for the given number of quarter notes at
// 120 beats per minute (half a second each).
bool writeMidi(const QString& path, int quarterNotes);
// An AVI of uncompressed 24-bit pictures (32 x 24, ten per second) of one colour.
bool writeAvi(const QString& path, int frames, const QColor& colour);
bool writeBytes(const QString& path, const QByteArray& bytes);
