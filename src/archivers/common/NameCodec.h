#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace archiver
{

// Names in archives made on Japanese Windows are CP932 (Microsoft Shift-JIS). The tables are
// generated once for the program, the archivers and the self-extracting stub, so that all of
// them read and write the same bytes.

// Decodes CP932 bytes to UTF-8; undecodable bytes become U+FFFD. A lead byte without a byte
// that can follow it is replaced on its own and the next byte is read by itself.
std::string cp932ToUtf8(std::string_view bytes);
// Encodes UTF-8 as CP932; false (out empty) when a character has no CP932 form or the text is
// not valid UTF-8. Only forms that decode back to the same character are written.
bool utf8ToCp932(std::string_view utf8, std::string& out);
// Bytes that carry no mark of their encoding: valid UTF-8 is kept, anything else is CP932.
std::string utf8OrCp932ToUtf8(std::string_view bytes);

// Appends one code point (below 0x110000) as UTF-8.
void appendUtf8(std::string& out, uint32_t cp);
// The code point that starts at i in UTF-8; i moves past it. A malformed or cut-off sequence
// gives U+FFFD and is never read past the end.
uint32_t nextCodePoint(std::string_view utf8, size_t& i);
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
