#include "platform/TextEncoding.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

namespace platform
{

namespace
{

constexpr qsizetype kSampleBytes = 256 * 1024;

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const QByteArray& name)
{
    UErrorCode error = U_ZERO_ERROR;
    Converter c(ucnv_open(name.constData(), &error));
    if (U_FAILURE(error))
        return nullptr;
    return c;
}

// Counts every illegal or unmapped byte sequence, then substitutes it as ICU would.
void U_CALLCONV countingToUnicode(const void* context, UConverterToUnicodeArgs* args,
                                  const char* codeUnits, int32_t length,
                                  UConverterCallbackReason reason, UErrorCode* error)
{
    if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR)
        ++*static_cast<qsizetype*>(const_cast<void*>(context));
    UCNV_TO_U_CALLBACK_SUBSTITUTE(nullptr, args, codeUnits, length, reason, error);
}

// A decoder that also tells whether its input ended inside a character: Qt keeps such bytes
// for the next piece and reports no error when none comes.
class EndCheckingDecoder final : public QStringDecoder
{
public:
    using QStringDecoder::QStringDecoder;
    bool endedInsideCharacter() const { return state.remainingChars != 0; }
};

// Offset of the first byte that is not part of a valid UTF-8 sequence, or -1 when all are.
qsizetype firstInvalidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    constexpr qsizetype step = 64 * 1024;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        const QByteArrayView piece = bytes.sliced(at, std::min(step, bytes.size() - at));
        const QString decoded = decoder.decode(piece); // decode() itself is lazy
        if (decoder.hasError())
            return at;
    }
    return -1;
}

bool isUtf8(QByteArrayView bytes, bool truncatedSample)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        unsigned lowest;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            lowest = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            lowest = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            lowest = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= n) {
            // The sequence runs past the end: fine only where the sample was cut.
            if (!truncatedSample)
                return false;
            for (qsizetype k = i + 1; k < n; ++k) {
                if ((p[k] & 0xC0) != 0x80)
                    return false;
            }
            return true;
        }
        unsigned cp = c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

bool hasIso2022JpEscapes(QByteArrayView bytes)
{
    for (qsizetype i = 0; i + 2 < bytes.size(); ++i) {
        const char c = bytes[i];
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
        if (c != '\x1b')
            continue;
        const char a = bytes[i + 1], b = bytes[i + 2];
        if ((a == '$' && (b == 'B' || b == '@' || b == '(')) ||
            (a == '(' && (b == 'J' || b == 'I')))
            return true;
    }
    return false;
}

// How Japanese the decoded text looks: kana and kanji score, half-width katakana and private
// use characters (what the other encoding's bytes usually turn into) cost, errors cost most.
qsizetype japaneseScore(const QByteArray& converter, QByteArrayView sample, qsizetype& errors)
{
    errors = 0;
    Converter c = openConverter(converter);
    if (!c)
        return std::numeric_limits<qsizetype>::min() / 2;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setToUCallBack(c.get(), countingToUnicode, &errors, nullptr, nullptr, &error);
    std::u16string out(static_cast<size_t>(sample.size()) + 16, u'\0');
    UChar* target = reinterpret_cast<UChar*>(out.data());
    const char* source = sample.data();
    error = U_ZERO_ERROR;
    ucnv_toUnicode(c.get(), &target, target + out.size(), &source, source + sample.size(), nullptr,
                   false, &error);
    const qsizetype produced = target - reinterpret_cast<UChar*>(out.data());
    qsizetype score = -20 * errors;
    for (qsizetype i = 0; i < produced; ++i) {
        const char16_t u = out[static_cast<size_t>(i)];
        if (u < 0x80)
            continue;
        if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0x3000 && u <= 0x303F))
            score += 3;
        else if (u >= 0x4E00 && u <= 0x9FFF)
            score += 2;
        else if (u >= 0xFF01 && u <= 0xFF5E)
            score += 1;
        else if (u >= 0xFF61 && u <= 0xFF9F)
            score -= 1;
        else if ((u >= 0xE000 && u <= 0xF8FF) || u == 0xFFFD)
            score -= 5;
    }
    return score;
}

QByteArray detectorGuess(QByteArrayView sample)
{
    UErrorCode error = U_ZERO_ERROR;
    UCharsetDetector* detector = ucsdet_open(&error);
    if (U_FAILURE(error))
        return QByteArrayLiteral("windows-1252");
    ucsdet_setText(detector, sample.data(), static_cast<int32_t>(sample.size()), &error);
    const UCharsetMatch* match = ucsdet_detect(detector, &error);
    QByteArray name;
    if (U_SUCCESS(error) && match) {
        const char* n = ucsdet_getName(match, &error);
        if (U_SUCCESS(error) && n)
            name = QByteArray(n);
    }
    ucsdet_close(detector);
    // The 8-bit Latin guesses are all read as windows-1252, its superset; UTF names are out
    // (strict checks already refused them).
    if (name.isEmpty() || name.startsWith("UTF") || name.startsWith("ISO-8859-1") ||
        name == "ISO-8859-1" || name.startsWith("windows-1252"))
        return QByteArrayLiteral("windows-1252");
    if (name == "Shift_JIS")
        return QByteArrayLiteral("windows-31j");
    if (!openConverter(name))
        return QByteArrayLiteral("windows-1252");
    return name;
}

// UTF-16 without a BOM: many zero bytes on one side of the code units only.
QByteArray utf16WithoutBom(QByteArrayView sample)
{
    const qsizetype pairs = sample.size() / 2;
    if (pairs < 4)
        return QByteArray();
    qsizetype evenZero = 0, oddZero = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        evenZero += sample[2 * i] == '\0';
        oddZero += sample[2 * i + 1] == '\0';
    }
    if (oddZero * 10 >= pairs * 4 && evenZero * 50 < pairs)
        return QByteArrayLiteral("UTF-16LE");
    if (evenZero * 10 >= pairs * 4 && oddZero * 50 < pairs)
        return QByteArrayLiteral("UTF-16BE");
    return QByteArray();
}

qsizetype bomLength(const TextFormat& format)
{
    if (!format.bom)
        return 0;
    return format.encoding == "UTF-8" ? 3 : 2;
}

// Turns CRLF and CR into '\n' in place and counts the line ends; a CR that ends one piece
// and an LF that begins the next are one line end.
struct LineEndFolder {
    qsizetype lf = 0, crlf = 0, cr = 0;
    bool pendingCr = false;

    void fold(QString& s)
    {
        if (s.isEmpty())
            return;
        const qsizetype n = s.size();
        if (!pendingCr && QStringView(s).indexOf(u'\r') < 0) {
            lf += std::count(s.constData(), s.constData() + n, QLatin1Char('\n'));
            return;
        }
        QChar* p = s.data();
        qsizetype w = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const QChar c = p[i];
            if (pendingCr) {
                pendingCr = false;
                if (c == u'\n') {
                    ++crlf;
                    continue;
                }
                ++cr;
            }
            if (c == u'\r') {
                p[w++] = QLatin1Char('\n');
                pendingCr = true;
                continue;
            }
            if (c == u'\n')
                ++lf;
            p[w++] = c;
        }
        s.truncate(w);
    }

    void finish(TextFormat& format)
    {
        if (pendingCr)
            ++cr;
        pendingCr = false;
        format.lineEnd = LineEnd::Lf;
        if (crlf > lf && crlf >= cr)
            format.lineEnd = LineEnd::CrLf;
        else if (cr > lf && cr > crlf)
            format.lineEnd = LineEnd::Cr;
        format.mixedLineEnds = (lf > 0) + (crlf > 0) + (cr > 0) > 1;
    }
};

// True when the bytes decode to exactly the text.
bool readsBackAs(UConverter* c, const QByteArray& bytes, const QString& text)
{
    ucnv_resetToUnicode(c);
    QString back(2 * bytes.size() + 16, Qt::Uninitialized);
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n =
        ucnv_toUChars(c, reinterpret_cast<UChar*>(back.data()), static_cast<int32_t>(back.size()),
                      bytes.constData(), static_cast<int32_t>(bytes.size()), &error);
    if (U_FAILURE(error))
        return false;
    back.truncate(n);
    return back == text;
}

} // namespace

TextFormat detectEncoding(QByteArrayView bytes)
{
    TextFormat format;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        format.bom = true;
        return format;
    }
    if (bytes.startsWith("\xFF\xFE")) {
        format.encoding = QByteArrayLiteral("UTF-16LE");
        format.bom = true;
        return format;
    }
    if (bytes.startsWith("\xFE\xFF")) {
        format.encoding = QByteArrayLiteral("UTF-16BE");
        format.bom = true;
        return format;
    }
    const bool cut = bytes.size() > kSampleBytes;
    const QByteArrayView sample = bytes.first(std::min(bytes.size(), kSampleBytes));
    const QByteArray utf16 = utf16WithoutBom(sample);
    if (!utf16.isEmpty()) {
        format.encoding = utf16;
        return format;
    }
    if (hasIso2022JpEscapes(sample)) {
        format.encoding = QByteArrayLiteral("ISO-2022-JP");
        return format;
    }
    if (isUtf8(sample, cut))
        return format;

    qsizetype sjisErrors = 0, eucErrors = 0;
    const qsizetype sjis = japaneseScore(QByteArrayLiteral("windows-31j"), sample, sjisErrors);
    const qsizetype euc = japaneseScore(QByteArrayLiteral("EUC-JP"), sample, eucErrors);
    const bool sjisBetter = sjis >= euc;
    const qsizetype bestScore = sjisBetter ? sjis : euc;
    const qsizetype bestErrors = sjisBetter ? sjisErrors : eucErrors;
    qsizetype highBytes = 0;
    for (const char c : sample)
        highBytes += static_cast<unsigned char>(c) >= 0x80;
    // Japanese when the better reading is nearly free of errors and looks like Japanese.
    if (bestScore > 0 && bestErrors * 40 <= highBytes) {
        format.encoding =
            sjisBetter ? QByteArrayLiteral("windows-31j") : QByteArrayLiteral("EUC-JP");
        return format;
    }
    format.encoding = detectorGuess(sample);
    return format;
}

TextFormat detectEncodingAfterUtf8Failure(QByteArrayView bytes)
{
    const qsizetype bad = firstInvalidUtf8(bytes);
    if (bad < 0)
        return detectEncoding(bytes);
    // Start at a line start: a line feed byte is never part of a CP932 or EUC-JP character.
    const qsizetype lineStart = bytes.first(bad).lastIndexOf('\n') + 1;
    TextFormat format = detectEncoding(bytes.sliced(lineStart));
    format.bom = false;
    return format;
}

bool decodeChunks(QByteArrayView bytes, TextFormat& format, qsizetype chunkBytes,
                  const std::function<void(QString&)>& sink)
{
    bytes = bytes.sliced(std::min(bytes.size(), bomLength(format)));
    chunkBytes = std::max<qsizetype>(chunkBytes, 16);
    LineEndFolder folder;
    bool ok = true;

    std::optional<QStringConverter::Encoding> qtEncoding;
    if (format.encoding == "UTF-8")
        qtEncoding = QStringConverter::Utf8;
    else if (format.encoding == "UTF-16LE")
        qtEncoding = QStringConverter::Utf16LE;
    else if (format.encoding == "UTF-16BE")
        qtEncoding = QStringConverter::Utf16BE;

    if (qtEncoding) {
        // A U+FEFF right after the BOM is text, not a second BOM.
        EndCheckingDecoder decoder(*qtEncoding, QStringConverter::Flag::ConvertInitialBom);
        for (qsizetype at = 0; at < bytes.size(); at += chunkBytes) {
            QString piece =
                decoder.decode(bytes.sliced(at, std::min(chunkBytes, bytes.size() - at)));
            folder.fold(piece);
            sink(piece);
        }
        // A sequence cut off by the end of the file (an odd byte of UTF-16, part of a UTF-8
        // character) is an error shown as U+FFFD, not bytes silently left out.
        QString tail = decoder.decode(QByteArrayView());
        const bool cut = decoder.endedInsideCharacter();
        if (cut)
            tail += QChar(QChar::ReplacementCharacter);
        ok = !decoder.hasError() && !cut;
        if (!tail.isEmpty()) {
            folder.fold(tail);
            sink(tail);
        }
        folder.finish(format);
        return ok;
    }

    Converter c = openConverter(format.encoding);
    if (!c) {
        // Not a converter ICU knows: show the bytes as Latin-1 rather than nothing.
        for (qsizetype at = 0; at < bytes.size(); at += chunkBytes) {
            QString piece =
                QString::fromLatin1(bytes.sliced(at, std::min(chunkBytes, bytes.size() - at)));
            folder.fold(piece);
            sink(piece);
        }
        folder.finish(format);
        return false;
    }
    qsizetype errors = 0;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setToUCallBack(c.get(), countingToUnicode, &errors, nullptr, nullptr, &error);
    QString piece;
    qsizetype at = 0;
    do {
        const qsizetype n = std::min(chunkBytes, bytes.size() - at);
        const bool last = at + n >= bytes.size();
        const char* source = bytes.data() + at;
        const char* sourceEnd = source + n;
        piece.resize(n + 16);
        qsizetype produced = 0;
        for (;;) {
            UChar* target = reinterpret_cast<UChar*>(piece.data()) + produced;
            UChar* targetEnd = reinterpret_cast<UChar*>(piece.data()) + piece.size();
            error = U_ZERO_ERROR;
            ucnv_toUnicode(c.get(), &target, targetEnd, &source, sourceEnd, nullptr, last, &error);
            produced = target - reinterpret_cast<UChar*>(piece.data());
            if (error != U_BUFFER_OVERFLOW_ERROR)
                break;
            piece.resize(piece.size() * 2);
        }
        if (U_FAILURE(error))
            ok = false;
        piece.truncate(produced);
        folder.fold(piece);
        sink(piece);
        at += n;
    } while (at < bytes.size());
    folder.finish(format);
    return ok && errors == 0;
}

DecodedText decodeText(QByteArrayView bytes)
{
    DecodedText result;
    result.format = detectEncoding(bytes);
    const auto decodeAll = [&] {
        result.text.clear();
        // Decoding never gives more UTF-16 units than bytes (a BOM-less UTF-8 byte is at most
        // one unit), so one reservation serves every encoding.
        result.text.reserve(bytes.size());
        return decodeChunks(bytes, result.format, 1 << 20,
                            [&](QString& piece) { result.text.append(piece); });
    };
    bool ok = decodeAll();
    if (!ok && result.format.encoding == "UTF-8" && !result.format.bom &&
        bytes.size() > kSampleBytes) {
        // The sample looked like UTF-8 but the rest is not: detect on the part that failed.
        const TextFormat other = detectEncodingAfterUtf8Failure(bytes);
        if (other.encoding != result.format.encoding) {
            result.format = other;
            ok = decodeAll();
        }
    }
    result.hadErrors = !ok;
    return result;
}

QString decodeWindowsCodePage(QByteArrayView bytes, int codePage)
{
    if (bytes.isEmpty())
        return QString();
    QList<QByteArray> names;
    if (codePage == 932)
        names << QByteArrayLiteral("windows-31j");
    else if (codePage == 10000)
        names << QByteArrayLiteral("macintosh");
    names << "windows-" + QByteArray::number(codePage) << "ibm-" + QByteArray::number(codePage)
          << "cp" + QByteArray::number(codePage) << QByteArrayLiteral("windows-1252");
    Converter c;
    for (const QByteArray& name : names) {
        c = openConverter(name);
        if (c)
            break;
    }
    if (!c)
        return QString::fromLatin1(bytes);
    QString out(bytes.size() + 1, Qt::Uninitialized);
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(c.get(), reinterpret_cast<UChar*>(out.data()),
                                    static_cast<int32_t>(out.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &error);
    if (U_FAILURE(error))
        return QString::fromLatin1(bytes);
    out.truncate(n);
    return out;
}

bool encodeText(const QString& text, const TextFormat& format, QByteArray& out)
{
    out.clear();
    QString withEnds = text;
    if (format.lineEnd == LineEnd::CrLf)
        withEnds.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    else if (format.lineEnd == LineEnd::Cr)
        withEnds.replace(QLatin1Char('\n'), QLatin1Char('\r'));

    QByteArray body;
    std::optional<QStringConverter::Encoding> qtEncoding;
    QByteArray bom;
    if (format.encoding == "UTF-8") {
        qtEncoding = QStringConverter::Utf8;
        bom = QByteArrayLiteral("\xEF\xBB\xBF");
    } else if (format.encoding == "UTF-16LE") {
        qtEncoding = QStringConverter::Utf16LE;
        bom = QByteArrayLiteral("\xFF\xFE");
    } else if (format.encoding == "UTF-16BE") {
        qtEncoding = QStringConverter::Utf16BE;
        bom = QByteArrayLiteral("\xFE\xFF");
    }
    if (qtEncoding) {
        QStringEncoder encoder(*qtEncoding, QStringConverter::Flag::Stateless);
        body = encoder.encode(withEnds);
        if (encoder.hasError())
            return false;
    } else {
        Converter c = openConverter(format.encoding);
        if (!c)
            return false;
        UErrorCode error = U_ZERO_ERROR;
        ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                              &error);
        body.resize(withEnds.size() * 2 + 16);
        for (int attempt = 0; attempt < 2; ++attempt) {
            error = U_ZERO_ERROR;
            ucnv_resetFromUnicode(c.get());
            const int32_t n =
                ucnv_fromUChars(c.get(), body.data(), static_cast<int32_t>(body.size()),
                                reinterpret_cast<const UChar*>(withEnds.constData()),
                                static_cast<int32_t>(withEnds.size()), &error);
            if (error == U_BUFFER_OVERFLOW_ERROR) {
                // Escape sequences (ISO-2022-JP) can make the bytes outgrow the guess.
                body.resize(n + 1);
                continue;
            }
            if (U_FAILURE(error))
                return false;
            body.truncate(n);
            break;
        }
        if (error == U_BUFFER_OVERFLOW_ERROR)
            return false;
        // ICU leaves out default-ignorable characters (U+FEFF, zero-width joiners, variation
        // selectors, …) that the encoding cannot hold instead of reporting them.
        if (!readsBackAs(c.get(), body, withEnds))
            return false;
    }
    out = format.bom ? bom + body : body;
    return true;
}

} // namespace platform
