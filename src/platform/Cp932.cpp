#include "platform/Cp932.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace platform
{

namespace
{
struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openCp932(bool strictFromUnicode)
{
    UErrorCode error = U_ZERO_ERROR;
    Converter converter(ucnv_open("windows-31j", &error));
    if (U_FAILURE(error))
        return nullptr;
    if (strictFromUnicode) {
        ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                              &error);
    }
    return converter;
}
} // namespace

QString fromCp932(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QString();
    Converter converter = openCp932(false);
    if (!converter)
        return QString::fromLatin1(bytes);
    // Each byte gives at most one UTF-16 unit (a lead and trail byte give one).
    QString out(bytes.size() + 1, Qt::Uninitialized);
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(out.data()),
                                    static_cast<int32_t>(out.size()), bytes.constData(),
                                    static_cast<int32_t>(bytes.size()), &error);
    if (U_FAILURE(error))
        return QString::fromLatin1(bytes);
    out.truncate(n);
    return out;
}

bool toCp932(const QString& text, QByteArray& out)
{
    out.clear();
    if (text.isEmpty())
        return true;
    Converter converter = openCp932(true);
    if (!converter)
        return false;
    QByteArray buffer(text.size() * 2 + 2, Qt::Uninitialized);
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n =
        ucnv_fromUChars(converter.get(), buffer.data(), static_cast<int32_t>(buffer.size()),
                        reinterpret_cast<const UChar*>(text.constData()),
                        static_cast<int32_t>(text.size()), &error);
    if (U_FAILURE(error))
        return false;
    buffer.truncate(n);
    // ICU leaves out characters that are default-ignorable (U+FEFF, zero-width joiners,
    // variation selectors, …) instead of reporting them; such text has no CP932 form either.
    if (fromCp932(buffer) != text)
        return false;
    out = buffer;
    return true;
}

} // namespace platform
