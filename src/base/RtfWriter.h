#pragma once

#include <QByteArray>

class QTextDocument;

namespace preview
{

// Writes a document as Rich Text Format that Japanese word processors of every age open:
// \ansi\ansicpg932, a font table in which Japanese fonts carry \fcharset128, a colour table,
// bold, italic, underline, strike-through, colours and highlight, font and size (\fs, in
// half-points), paragraph alignment (\qc \qr \qj) and paragraph ends (\par). In runs of a
// Japanese font every character CP932 can store is written as its bytes (\'xx\'yy); the rest
// (and every non-ASCII character in other fonts) as \uN? (signed 16-bit, a surrogate pair for
// characters beyond the BMP). Tabs become \tab, line breaks inside a paragraph \line. Our own
// RtfReader reads the result back with the same text, styles, colours and alignment.
class RtfWriter final
{
public:
    static QByteArray write(const QTextDocument* document);

    // Whether a font family is written with the Japanese character set (\fcharset128): a family
    // with a non-ASCII name, one the font database says covers Japanese, or any family when
    // there is no font database (no GUI application).
    static bool isJapaneseFont(const QString& family);
};

} // namespace preview
