#include "NameCodec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

// The name encodings a user may choose for an archive, and composition to NFC: through ICU, in
// a unit of its own so that code which only needs CP932 (the self-extracting stub) does not
// carry ICU.
namespace archiver
{

namespace
{

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// The names a user chooses from and ICU's names for them.
struct NameEncoding {
    const char* shown;
    const char* icu;
};
constexpr NameEncoding kNameEncodings[] = {
    {"CP932", "windows-31j"}, {"UTF-8", "UTF-8"}, {"EUC-JP", "EUC-JP"},
    {"GBK", "GBK"},           {"Big5", "Big5"},   {"EUC-KR", "EUC-KR"},
};

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

const char* icuNameOf(std::string_view encoding)
{
    for (const NameEncoding& e : kNameEncodings) {
        if (sameIgnoringCase(encoding, e.shown))
            return e.icu;
    }
    return nullptr;
}

// A decoding converter for the ICU name, one per thread; undecodable bytes become U+FFFD.
UConverter* decoder(const char* icuName)
{
    thread_local std::map<std::string, Converter> converters;
    Converter& c = converters[icuName];
    if (!c) {
        UErrorCode error = U_ZERO_ERROR;
        c.reset(ucnv_open(icuName, &error));
        if (U_FAILURE(error)) {
            c.reset();
            return nullptr;
        }
    }
    ucnv_reset(c.get());
    return c.get();
}

std::u16string toUtf16(std::string_view bytes, const char* icuName)
{
    UConverter* from = decoder(icuName);
    if (!from)
        return {};
    std::u16string u(bytes.size() * 2 + 1, u'\0');
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(from, u.data(), static_cast<int32_t>(u.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &error);
    if (U_FAILURE(error))
        return {};
    u.resize(static_cast<size_t>(n));
    return u;
}

// NFC of UTF-16 text, as UTF-8.
std::string composedUtf8(const std::u16string& text)
{
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&error);
    std::u16string composed;
    if (U_SUCCESS(error)) {
        composed.resize(text.size() * 3 + 1);
        const int32_t n =
            unorm2_normalize(nfc, text.data(), static_cast<int32_t>(text.size()), composed.data(),
                             static_cast<int32_t>(composed.size()), &error);
        composed.resize(U_SUCCESS(error) ? static_cast<size_t>(n) : 0);
    }
    if (U_FAILURE(error))
        composed = text;
    std::string out(composed.size() * 3 + 1, '\0');
    int32_t length = 0;
    error = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, composed.data(),
                       static_cast<int32_t>(composed.size()), 0xFFFD, nullptr, &error);
    if (U_FAILURE(error))
        return {};
    out.resize(static_cast<size_t>(length));
    return out;
}

// Whether text is valid UTF-8 already in NFC, as nearly every stored name is: it then stays as
// it is, without the way through a converter and back.
bool isComposedUtf8(std::string_view utf8)
{
    UChar text[256];
    if (utf8.size() >= std::size(text)) // UTF-16 never needs more units than UTF-8 has bytes
        return false;
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    int32_t substitutions = 0;
    u_strFromUTF8WithSub(text, static_cast<int32_t>(std::size(text)), &length, utf8.data(),
                         static_cast<int32_t>(utf8.size()), 0xFFFD, &substitutions, &error);
    if (U_FAILURE(error) || substitutions != 0)
        return false;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&error);
    if (U_FAILURE(error))
        return false;
    const UBool composed = unorm2_isNormalized(nfc, text, length, &error);
    return U_SUCCESS(error) && composed;
}

} // namespace

bool isNameEncoding(std::string_view encoding)
{
    return icuNameOf(encoding) != nullptr;
}

std::string toNfc(std::string_view utf8)
{
    if (isAscii(utf8) || isComposedUtf8(utf8))
        return std::string(utf8);
    return composedUtf8(toUtf16(utf8, "UTF-8"));
}

std::string decodeStoredName(std::string_view bytes, std::string_view encoding)
{
    if (isAscii(bytes))
        return std::string(bytes);
    const char* icu = encoding.empty() ? nullptr : icuNameOf(encoding);
    if (!icu)
        icu = isValidUtf8(bytes) ? "UTF-8" : "windows-31j";
    // CP932 through the program's own table, as every other CP932 name is read.
    if (std::string_view(icu) == "windows-31j")
        return toNfc(cp932ToUtf8(bytes));
    return composedUtf8(toUtf16(bytes, icu));
}

} // namespace archiver
