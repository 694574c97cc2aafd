#pragma once

#include <string>
#include <string_view>

namespace archiver
{

// Names in archives made on Japanese Windows are CP932 (Microsoft Shift-JIS).
// Decodes CP932 bytes to UTF-8; undecodable bytes become U+FFFD.
std::string cp932ToUtf8(std::string_view bytes);
// Encodes UTF-8 as CP932; false (out empty) when a character has no CP932 form.
bool utf8ToCp932(std::string_view utf8, std::string& out);
// True when the bytes are valid UTF-8.
bool isValidUtf8(std::string_view bytes);
// Plain ASCII (valid in every encoding concerned).
bool isAscii(std::string_view bytes);

// The encodings a user may choose for names stored without a UTF-8 mark: "CP932", "UTF-8",
// "EUC-JP", "GBK", "Big5", "EUC-KR" (compared without regard to case).
bool isNameEncoding(std::string_view encoding);
// A stored name as UTF-8 in composed form (NFC). With no encoding given, valid UTF-8 is
// taken as it is and anything else as CP932; otherwise the bytes are decoded from the named
// encoding. Undecodable bytes become U+FFFD. Decomposed names (as macOS writes them) come out
// composed, so that they show and match as typed.
std::string decodeStoredName(std::string_view bytes, std::string_view encoding = {});
// Valid UTF-8 in composed form (NFC); invalid sequences become U+FFFD.
std::string toNfc(std::string_view utf8);

} // namespace archiver
