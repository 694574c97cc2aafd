#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>

// Documents, pictures and media made by other programs (Ghostscript, ImageMagick, the WebP
// tools, FFmpeg) for the preview's tests. Each returns false, with the program's output in the
// test log, when the program is missing or fails.

// Runs a program with the arguments and waits for it (up to a minute).
bool runMaker(const QString& program, const QStringList& arguments);

// A PDF of `pages` pages of A4, each with its number and a black box, written by Ghostscript
// from a PostScript program.
bool makePdf(const QString& path, int pages);
// A picture of one colour at the size, by ImageMagick (the format from the ending: png, tiff).
bool makePicture(const QString& path, const QSize& size, const QColor& colour = Qt::red);
// A WebP picture by cwebp from a PNG made first.
bool makeWebp(const QString& path, const QSize& size);
// An animated WebP of two frames by img2webp.
bool makeAnimatedWebp(const QString& path, const QSize& size);
// A second of sound (a tone), or of video with sound, by FFmpeg; the format from the ending
// (mp4, mkv, webm, flac, ogg, opus, m4a).
bool makeMedia(const QString& path);
// Writes the bytes (an SVG written by hand, a damaged file).
bool writeFileBytes(const QString& path, const QByteArray& bytes);
// The first bytes of a file written into another.
bool writeTruncated(const QString& from, const QString& to, qint64 bytes);
