// The RTF reader on arbitrary bytes, into a QTextDocument; then the writer on what was read.
// Reading the written RTF must give back the same text, the alignment of every paragraph that
// shows text and the character styles, and bytes that do not start like RTF leave the
// document untouched. (An empty last paragraph comes back left-aligned: \pard\qc with no
// text and no \par after it is not kept by the reader.)
#include "QtOnce.h"

#include "base/RtfWriter.h"
#include "platform/RtfReader.h"

#include <QByteArray>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void fail(const char* why)
{
    std::fprintf(stderr, "fuzz_rtf_reader: %s\n", why);
    std::abort();
}

// The writer keeps every character but the C0 controls other than tab, which are no text a
// reader shows.
bool isShown(QChar c)
{
    return c.unicode() >= 0x20 || c == u'\t' || c == u'\n';
}

QString shownText(const QString& text)
{
    QString shown = text;
    shown.removeIf([](QChar c) { return !isShown(c); });
    return shown;
}

struct Styled {
    QString text;
    QList<int> alignments;
    QList<int> styles; // bold, italic, underline, strike-through of each kept character
};

Styled styled(const QTextDocument& document)
{
    Styled out;
    out.text = shownText(document.toPlainText());
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!shownText(block.text()).isEmpty())
            out.alignments.append(
                static_cast<int>(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask));
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat f = fragment.charFormat();
            const int style = (f.fontWeight() >= QFont::DemiBold ? 1 : 0) |
                              (f.fontItalic() ? 2 : 0) | (f.fontUnderline() ? 4 : 0) |
                              (f.fontStrikeOut() ? 8 : 0);
            for (const QChar c : fragment.text()) {
                if (isShown(c))
                    out.styles.append(style);
            }
        }
    }
    return out;
}

void roundTrip(QByteArrayView rtf)
{
    QTextDocument document;
    if (!preview::RtfReader::read(rtf, &document))
        std::abort();
    const QByteArray written = preview::RtfWriter::write(&document);
    QTextDocument again;
    if (!preview::RtfReader::read(written, &again))
        std::abort();
    const Styled first = styled(document);
    const Styled second = styled(again);
    if (first.text != second.text)
        fail("the text read back differs");
    if (first.alignments != second.alignments)
        fail("a paragraph's alignment read back differs");
    if (first.styles != second.styles)
        fail("a character's bold, italic, underline or strike-through read back differs");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 256 * 1024)
        return 0;
    ensureQtApplication();
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (preview::RtfReader::isRtf(bytes)) {
        roundTrip(bytes);
        return 0;
    }
    QTextDocument untouched;
    untouched.setPlainText(QStringLiteral("kept"));
    if (preview::RtfReader::read(bytes, &untouched) || untouched.toPlainText() != u"kept")
        std::abort();
    // The rest of the input as the body of a document.
    QByteArray wrapped("{\\rtf1\\ansi ");
    wrapped.append(bytes);
    roundTrip(wrapped);
    return 0;
}
