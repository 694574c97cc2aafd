#include "NameCodec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace archiver
{

namespace
{
struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// One converter per thread and direction; ICU converters are not shareable across threads.
UConverter* converter(bool strict)
{
    thread_local Converter lenient, stopping;
    Converter& c = strict ? stopping : lenient;
    if (!c) {
        UErrorCode error = U_ZERO_ERROR;
        c.reset(ucnv_open("windows-31j", &error));
        if (U_FAILURE(error)) {
            c.reset();
            return nullptr;
        }
        if (strict) {
            ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                                  &error);
        }
    }
    ucnv_reset(c.get());
    return c.get();
}
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

} // namespace

bool isNameEncoding(std::string_view encoding)
{
    return icuNameOf(encoding) != nullptr;
}

std::string toNfc(std::string_view utf8)
{
    if (isAscii(utf8))
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
    return composedUtf8(toUtf16(bytes, icu));
}

bool isAscii(std::string_view bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool isValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size())
            return false;
        for (size_t k = 1; k <= n; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) ||
            cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

std::string cp932ToUtf8(std::string_view bytes)
{
    if (isAscii(bytes))
        return std::string(bytes);
    UConverter* from = converter(false);
    if (!from)
        return std::string(bytes);
    std::vector<UChar> u(bytes.size() + 1);
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(from, u.data(), static_cast<int32_t>(u.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &error);
    if (U_FAILURE(error))
        return std::string();
    std::string out;
    out.reserve(static_cast<size_t>(n) * 3);
    for (int32_t i = 0; i < n; ++i) {
        uint32_t cp = u[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool utf8ToCp932(std::string_view utf8, std::string& out)
{
    out.clear();
    if (isAscii(utf8)) {
        out.assign(utf8);
        return true;
    }
    if (!isValidUtf8(utf8))
        return false;
    UConverter* to = converter(true);
    if (!to)
        return false;
    // UTF-8 → UTF-16 by hand (validated above), then ICU to CP932.
    std::vector<UChar> u;
    u.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        size_t n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else {
            cp = c & 0x07;
            n = 4;
        }
        for (size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            u.push_back(static_cast<UChar>(0xD800 + (cp >> 10)));
            u.push_back(static_cast<UChar>(0xDC00 + (cp & 0x3FF)));
        } else {
            u.push_back(static_cast<UChar>(cp));
        }
    }
    std::string buffer(u.size() * 2 + 2, '\0');
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(to, buffer.data(), static_cast<int32_t>(buffer.size()),
                                      u.data(), static_cast<int32_t>(u.size()), &error);
    if (U_FAILURE(error))
        return false;
    buffer.resize(static_cast<size_t>(n));
    // A round trip must give the same text: no best-fit substitutions.
    if (cp932ToUtf8(buffer) != utf8)
        return false;
    out = std::move(buffer);
    return true;
}

} // namespace archiver
