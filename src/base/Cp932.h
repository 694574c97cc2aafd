#pragma once

#include <QByteArray>
#include <QString>

namespace platform
{

// Microsoft's code page 932 (Shift-JIS with the NEC and IBM extensions, 0x5C as the
// backslash), the encoding of text that comes from or goes to data made on a Japanese
// Windows.
QString fromCp932(const QByteArray& bytes);

// Encodes the text; returns false (and leaves out empty) when a character has no CP932 form,
// so that no caller ever stores a silently substituted character.
bool toCp932(const QString& text, QByteArray& out);

// The CP932 code of one UTF-16 unit (a byte up to 0xFF, lead and trail byte above), or -1 when
// CP932 has no form for it.
int cp932Code(char16_t unit);

} // namespace platform
