#pragma once

#include "platform/Mci.h"

#include <memory>

class QWidget;

namespace platform
{

// Error codes of the media command interface that the GStreamer device answers with.
inline constexpr int kMciErrUnrecognizedKeyword = 259; // unknown status item or keyword
inline constexpr int kMciErrUnrecognizedCommand = 261; // unknown command verb
inline constexpr int kMciErrCannotLoadDriver = 266;    // GStreamer or playbin not available
inline constexpr int kMciErrMissingParameter = 273;    // e.g. "status Media" with no item
inline constexpr int kMciErrUnsupportedFunction = 274; // a second alias while one is open
inline constexpr int kMciErrFileNotFound = 275;        // open of a path that is no file
inline constexpr int kMciErrOutOfRange = 282;          // seek beyond the end
inline constexpr int kMciErrDuplicateAlias = 289;      // open of an alias already open
inline constexpr int kMciErrNoClosingQuote = 294;      // "open \"…" without its closing quote
inline constexpr int kMciErrInvalidFile = 296;         // a file GStreamer cannot play

// The media device of the program: plays WAV, MIDI, AVI and whatever else the installed
// GStreamer plug-ins can play, under one alias at a time. Video frames are painted into a
// child widget that fills videoArea while a file with pictures is open (videoArea may be
// null: pictures are then dropped). GStreamer itself starts on the first "open".
//
// Environment: KORAMO_AUDIO_SINK / KORAMO_VIDEO_SINK replace the sinks with a GStreamer
// description (e.g. "fakesink sync=true"); KORAMO_SOUNDFONT names the sound font for MIDI
// (default: the General MIDI font under /usr/share/sounds/sf2). Without a working sound
// output the sound is played into a clocked fakesink, so playback still runs in real time.
std::unique_ptr<Mci> createMediaMci(QWidget* videoArea);

} // namespace platform
