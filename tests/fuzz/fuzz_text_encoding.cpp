// Encoding detection and decoding of arbitrary bytes as the text preview reads a file.
// Checks that decoding in small pieces gives the same text as in one piece (and finds the same
// errors), that a text read
// without errors is saved back to the same bytes in UTF-8 and UTF-16 and to bytes that read
// back as the same text in the other encodings, and that a file longer than the detection
// sample that stops being UTF-8 after it is read again as what it is.
#include "platform/TextEncoding.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void fail(const char* why)
{
    std::fprintf(stderr, "fuzz_text_encoding: %s\n", why);
    std::abort();
}

// The detection looks at the first 256 KiB; a few inputs (one length in 509) are put after
// that much plain ASCII text so that the part after the sample decides. Such a run takes about
// a second under the sanitizers, so it cannot be more frequent.
constexpr qsizetype kSampleBytes = 256 * 1024;

QString decodedInPieces(QByteArrayView bytes, platform::TextFormat& format, qsizetype pieceBytes,
                        bool& ok)
{
    QString text;
    ok = platform::decodeChunks(bytes, format, pieceBytes,
                                [&](QString& piece) { text.append(piece); });
    return text;
}

bool isUnicode(const QByteArray& encoding)
{
    return encoding == "UTF-8" || encoding == "UTF-16LE" || encoding == "UTF-16BE";
}

void check(QByteArrayView bytes, qsizetype pieceBytes)
{
    const platform::DecodedText decoded = platform::decodeText(bytes);
    if (decoded.text.contains(QLatin1Char('\r')))
        fail("a CR is left in the decoded text");

    platform::TextFormat format = platform::detectEncoding(bytes);
    bool piecesOk = false;
    const QString pieces = decodedInPieces(bytes, format, pieceBytes, piecesOk);
    if (format.encoding == decoded.format.encoding) {
        // Where a piece ends inside invalid bytes, Qt's UTF-8 decoder may drop a U+FFFD or the
        // byte after them (a CR, say), so only clean text must come out the same.
        if (piecesOk == decoded.hadErrors)
            fail("decoding in pieces finds other errors than decoding at once");
        if (piecesOk && (pieces != decoded.text || format.lineEnd != decoded.format.lineEnd ||
                         format.mixedLineEnds != decoded.format.mixedLineEnds))
            fail("decoding in pieces differs from decoding at once");
    }

    QByteArray saved;
    const bool encoded = platform::encodeText(decoded.text, decoded.format, saved);
    if (decoded.hadErrors || decoded.format.mixedLineEnds)
        return;
    if (isUnicode(decoded.format.encoding)) {
        // Nothing was lost or changed on the way in, so nothing changes on the way out.
        if (!encoded || saved != bytes)
            fail("a text read without errors is not saved back to the same bytes");
        return;
    }
    if (encoded) {
        platform::TextFormat again = decoded.format;
        bool ok = false;
        const QString reread = decodedInPieces(saved, again, 1 << 20, ok);
        if (!ok || reread != decoded.text)
            fail("a saved text does not read back as the same text");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 512 * 1024)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype pieceBytes = 16 + static_cast<qsizetype>(size % 61);
    if (size % 509 == 508) {
        QByteArray padded;
        padded.reserve(kSampleBytes + bytes.size());
        while (padded.size() < kSampleBytes)
            padded += "plain text line\r\n";
        padded += bytes;
        check(padded, 4096);
    } else {
        check(bytes, pieceBytes);
    }
    static const int codePages[] = {932,  936,  949,  950, 1250, 1251,  1252, 1253, 1254,  1255,
                                    1256, 1257, 1258, 437, 874,  10000, 1361, 0,    65001, 99999};
    const int codePage = codePages[size % (sizeof codePages / sizeof codePages[0])];
    const QString text = platform::decodeWindowsCodePage(bytes, codePage);
    if (text.size() > bytes.size())
        fail("a code page gave more characters than bytes");
    return 0;
}
