#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QTextDocument;

namespace preview
{

// Reads Rich Text Format into a QTextDocument: code pages (\ansicpg, font charsets, \cpg),
// \'xx bytes (a double-byte character may come as two escapes), \u with \uc, the font and
// colour tables, bold, italic, underline, strike-through, font and size, colours and highlight,
// paragraph alignment, paragraph and line breaks, tabs and the special characters. Pictures,
// objects, style sheets, document information, headers and footers and every destination it
// does not know are skipped. Broken input (unbalanced braces, truncated files, huge numbers)
// gives whatever text was readable; it never fails.
class RtfReader
{
public:
    // True when the bytes start like an RTF document ("{\rtf").
    static bool isRtf(QByteArrayView bytes);

    // Replaces the document's content with the RTF's. Returns false (document untouched) when
    // the bytes are not RTF.
    static bool read(QByteArrayView rtf, QTextDocument* document);
};

} // namespace preview
