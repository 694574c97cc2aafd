#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace platform
{

enum class LineEnd { Lf, CrLf, Cr };

// How a text file was stored, so that saving it back writes the same bytes for the same text.
struct TextFormat {
    // ICU converter name: "UTF-8", "UTF-16LE", "UTF-16BE", "windows-31j" (CP932), "EUC-JP",
    // "ISO-2022-JP", or another single-byte code page the detector chose ("windows-1252", …).
    QByteArray encoding = QByteArrayLiteral("UTF-8");
    bool bom = false;
    // The most frequent line end of the file (LF when it has none). Mixed line ends are
    // written back as this one.
    LineEnd lineEnd = LineEnd::Lf;
    bool mixedLineEnds = false;
};

struct DecodedText {
    QString text; // line ends turned into '\n'
    TextFormat format;
    bool hadErrors = false; // some bytes were not valid in the chosen encoding (shown as U+FFFD)
};

// Chooses the encoding of a file's bytes: a BOM first; then ISO-2022-JP escapes in 7-bit text;
// strict UTF-8; then CP932 against EUC-JP scored by decode errors and the kind of characters
// they give; ICU's detector only for text that is neither. Looks at a sample of the bytes; the
// line-end fields stay at their defaults (decodeChunks fills them).
TextFormat detectEncoding(QByteArrayView bytes);

// For bytes whose beginning looked like UTF-8 (the sample) but that do not decode as UTF-8:
// the encoding detected on the lines where UTF-8 first fails.
TextFormat detectEncodingAfterUtf8Failure(QByteArrayView bytes);

// Decodes the bytes (without the BOM, which is skipped here when format.bom is set) in pieces
// of about chunkBytes input bytes, turning CRLF and CR into '\n', and hands every decoded piece
// to sink (which may change the piece in place). Counts the line ends into format.lineEnd and
// format.mixedLineEnds. Returns false when some bytes were invalid in the encoding.
bool decodeChunks(QByteArrayView bytes, TextFormat& format, qsizetype chunkBytes,
                  const std::function<void(QString&)>& sink);

// Detects and decodes a whole file's bytes. When the sample made the detection choose UTF-8
// and a later part is not UTF-8, the whole text is detected again and decoded as what it is.
DecodedText decodeText(QByteArrayView bytes);

// Decodes bytes of a Windows code page (932 is CP932, 1252 western, 10000 Mac Roman, …);
// an unknown code page is read as 1252. Invalid bytes become U+FFFD or U+001A, as ICU does.
QString decodeWindowsCodePage(QByteArrayView bytes, int codePage);

// Writes the text ('\n' line ends) back in the format: the same encoding, BOM and line end.
// Returns false (out empty) when a character has no form in that encoding, so that no text is
// ever saved with silently substituted characters.
bool encodeText(const QString& text, const TextFormat& format, QByteArray& out);

} // namespace platform
