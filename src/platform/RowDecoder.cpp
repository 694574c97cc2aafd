#include "platform/RowDecoder.h"

#include <QStringDecoder>

#include <unicode/ucnv.h>

#include <optional>

namespace platform
{

namespace
{
// Tells whether the input ended inside a character: Qt keeps such bytes for a next piece.
class EndCheckingDecoder final : public QStringDecoder
{
public:
    using QStringDecoder::QStringDecoder;
    bool endedInsideCharacter() const { return state.remainingChars != 0; }
};
} // namespace

struct RowDecoder::Impl {
    std::optional<QStringConverter::Encoding> qt;
    UConverter* icu = nullptr;
};

RowDecoder::RowDecoder(const QByteArray& encoding) : m_impl(std::make_unique<Impl>())
{
    if (encoding == "UTF-8") {
        m_impl->qt = QStringConverter::Utf8;
    } else if (encoding == "UTF-16LE") {
        m_impl->qt = QStringConverter::Utf16LE;
    } else if (encoding == "UTF-16BE") {
        m_impl->qt = QStringConverter::Utf16BE;
    } else {
        UErrorCode error = U_ZERO_ERROR;
        m_impl->icu = ucnv_open(encoding.constData(), &error);
        if (U_FAILURE(error))
            m_impl->icu = nullptr;
    }
}

RowDecoder::~RowDecoder()
{
    if (m_impl->icu)
        ucnv_close(m_impl->icu);
}

QString RowDecoder::decode(QByteArrayView bytes)
{
    QString out;
    decodeAppend(bytes, out);
    return out;
}

void RowDecoder::decodeAppend(QByteArrayView bytes, QString& out)
{
    if (bytes.isEmpty())
        return;
    if (m_impl->qt) {
        // A U+FEFF at the start of a piece is text, not a byte order mark.
        EndCheckingDecoder decoder(*m_impl->qt, QStringConverter::Flag::ConvertInitialBom);
        out += decoder.decode(bytes);
        // A sequence cut off at the end of the piece shows as one replacement character.
        if (decoder.endedInsideCharacter())
            out += QChar(QChar::ReplacementCharacter);
        return;
    }
    if (!m_impl->icu) {
        // Not a converter ICU knows: the bytes as Latin-1 rather than nothing.
        out += QString::fromLatin1(bytes);
        return;
    }
    ucnv_resetToUnicode(m_impl->icu);
    const qsizetype before = out.size();
    // Decoding never gives more UTF-16 units than bytes plus a few for a cut-off sequence.
    out.resize(before + bytes.size() + 8);
    UChar* target = reinterpret_cast<UChar*>(out.data()) + before;
    UChar* targetEnd = reinterpret_cast<UChar*>(out.data()) + out.size();
    const char* source = bytes.data();
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(m_impl->icu, &target, targetEnd, &source, source + bytes.size(), nullptr, true,
                   &error);
    out.truncate(target - reinterpret_cast<UChar*>(out.data()));
}

} // namespace platform
