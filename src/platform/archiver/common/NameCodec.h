#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace archiver
{

// Names in archives made on Japanese Windows are CP932 (Microsoft Shift-JIS).
// Decodes CP932 bytes to UTF-8; undecodable bytes become U+FFFD.
std::string cp932ToUtf8(std::string_view bytes);
// Encodes UTF-8 as CP932; false (out empty) when a character has no CP932 form.
bool utf8ToCp932(std::string_view utf8, std::string& out);

// Appends one code point (below 0x110000) as UTF-8.
void appendUtf8(std::string& out, uint32_t cp);
// True when the bytes are valid UTF-8.
bool isValidUtf8(std::string_view bytes);
// Plain ASCII (valid in every encoding concerned).
bool isAscii(std::string_view bytes);

} // namespace archiver
