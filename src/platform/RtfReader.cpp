#include "platform/RtfReader.h"

#include "platform/RtfParser.h"

#include "platform/TextEncoding.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QMap>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace preview
{

namespace rtf
{

// Windows code page of an RTF font charset; 0 when the charset says nothing of its own.
int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    default:
        return 0;
    }
}

bool isDoubleByteLead(int codePage, unsigned char byte)
{
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
    case 1361:
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return false;
    }
}

GroupState& top(std::vector<GroupState>& stack)
{
    return stack.back();
}

void Parser::run()
{
    m_cursor.beginEditBlock();
    while (m_pos < m_in.size()) {
        const char c = m_in[m_pos];
        if (c == '{') {
            ++m_pos;
            openGroup();
        } else if (c == '}') {
            ++m_pos;
            closeGroup();
        } else if (c == '\\') {
            parseControl();
        } else if (c == '\r' || c == '\n') {
            ++m_pos;
        } else {
            ++m_pos;
            literalByte(static_cast<unsigned char>(c));
        }
    }
    // A truncated file: whatever was read is kept.
    flushBytes();
    flushRun();
    applyParagraph(m_paragraphHasText ? m_textAlignment : top(m_stack).alignment);
    m_cursor.endEditBlock();
}

void Parser::openGroup()
{
    flushBytes();
    m_skipRemaining = 0;
    if (m_stack.size() >= kMaxDepth) {
        ++m_overflowDepth;
        return;
    }
    m_stack.push_back(m_stack.back());
}

void Parser::closeGroup()
{
    flushBytes();
    m_skipRemaining = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (m_stack.size() <= 1)
        return; // an unbalanced '}' closes nothing
    if (m_stack.back().destination == Destination::FontTable)
        finishFontEntry(); // an entry without its ';'
    m_stack.pop_back();
}

void Parser::finishFontEntry()
{
    if (m_fontBeingRead >= 0) {
        FontEntry entry;
        entry.codePage = m_cpgBeingRead ? m_cpgBeingRead : codePageOfCharset(m_charsetBeingRead);
        const QString name =
            m_fontName +
            decode(m_fontNameBytes, entry.codePage ? entry.codePage : m_documentCodePage);
        entry.name = name.trimmed();
        m_fonts.insert(m_fontBeingRead, entry);
    }
    m_fontBeingRead = -1;
    m_fontNameBytes.clear();
    m_fontName.clear();
}

bool Parser::consumeSkip()
{
    if (m_skipRemaining > 0) {
        --m_skipRemaining;
        return true;
    }
    return false;
}

void Parser::parseControl()
{
    ++m_pos; // the backslash
    if (m_pos >= m_in.size())
        return;
    const char c = m_in[m_pos];
    const auto isLetter = [](char ch) {
        return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    };
    if (!isLetter(c)) {
        ++m_pos;
        if (c == '\'') {
            int value = 0;
            int digits = 0;
            while (digits < 2 && m_pos < m_in.size()) {
                const char h = m_in[m_pos];
                int v;
                if (h >= '0' && h <= '9')
                    v = h - '0';
                else if (h >= 'a' && h <= 'f')
                    v = h - 'a' + 10;
                else if (h >= 'A' && h <= 'F')
                    v = h - 'A' + 10;
                else
                    break;
                value = value * 16 + v;
                ++digits;
                ++m_pos;
            }
            if (digits == 2 && !consumeSkip())
                escapedByte(static_cast<unsigned char>(value));
            return;
        }
        if (consumeSkip())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            literalByte(static_cast<unsigned char>(c));
            break;
        case '~':
            appendText(u"\u00A0");
            break;
        case '-':
            appendText(u"\u00AD");
            break;
        case '_':
            appendText(u"\u2011");
            break;
        case '*':
            flushBytes();
            top(m_stack).destination = Destination::Skip;
            break;
        case '\r':
        case '\n':
            endParagraph();
            break;
        default:
            break;
        }
        return;
    }
    const qsizetype start = m_pos;
    while (m_pos < m_in.size() && isLetter(m_in[m_pos]))
        ++m_pos;
    // Control words are at most 32 letters; a longer run is nothing this reader knows.
    const QByteArray word =
        m_in.sliced(start, std::min<qsizetype>(m_pos - start, 32)).toByteArray();
    bool negative = false;
    bool hasParam = false;
    qint64 value = 0;
    if (m_pos < m_in.size() && m_in[m_pos] == '-') {
        negative = true;
        ++m_pos;
    }
    while (m_pos < m_in.size() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9') {
        hasParam = true;
        if (value < 100000000000LL)
            value = value * 10 + (m_in[m_pos] - '0');
        ++m_pos;
    }
    if (m_pos < m_in.size() && m_in[m_pos] == ' ')
        ++m_pos;
    value = std::min<qint64>(value, std::numeric_limits<int>::max());
    const int param = static_cast<int>(negative ? -value : value);

    if (word == "bin") {
        // Binary data is skipped whole, whatever it holds; it counts as one skipped character.
        const qint64 n = std::max(0, param);
        m_pos += static_cast<qsizetype>(std::min<qint64>(n, m_in.size() - m_pos));
        consumeSkip();
        return;
    }
    if (consumeSkip())
        return;
    // Bytes read so far belong to the state before this word.
    flushBytes();
    controlWord(word, hasParam, param);
}

void Parser::literalByte(unsigned char byte)
{
    if (consumeSkip())
        return;
    GroupState& state = top(m_stack);
    switch (state.destination) {
    case Destination::Skip:
        return;
    case Destination::ColorTable:
        if (byte == ';') {
            if (m_red < 0 && m_green < 0 && m_blue < 0)
                m_colors.append(QColor()); // "auto"
            else
                m_colors.append(
                    QColor(std::max(m_red, 0), std::max(m_green, 0), std::max(m_blue, 0)));
            m_red = m_green = m_blue = -1;
        }
        return;
    case Destination::FontTable:
        if (byte == ';') {
            finishFontEntry();
        } else {
            m_fontNameBytes.append(static_cast<char>(byte));
        }
        return;
    case Destination::Text:
        break;
    }
    if (byte >= 0x80) {
        escapedByte(byte);
        return;
    }
    // A trail byte written plainly after a lead byte that came as \'xx.
    if (!m_pendingBytes.isEmpty() && byte >= 0x40) {
        qsizetype i = 0;
        while (i < m_pendingBytes.size())
            i += isDoubleByteLead(m_pendingCodePage, static_cast<unsigned char>(m_pendingBytes[i]))
                     ? 2
                     : 1;
        if (i > m_pendingBytes.size()) {
            m_pendingBytes.append(static_cast<char>(byte));
            return;
        }
    }
    const char16_t unit = byte;
    appendText(QStringView(&unit, 1));
}

void Parser::escapedByte(unsigned char byte)
{
    GroupState& state = top(m_stack);
    if (state.destination == Destination::FontTable) {
        m_fontNameBytes.append(static_cast<char>(byte));
        return;
    }
    if (state.destination != Destination::Text)
        return;
    const int codePage = currentCodePage();
    if (!m_pendingBytes.isEmpty() && codePage != m_pendingCodePage)
        flushBytes();
    m_pendingCodePage = codePage;
    m_pendingBytes.append(static_cast<char>(byte));
}

int Parser::effectiveFont(const CharState& s) const
{
    if (s.doubleByte && s.assocFont >= 0 && m_fonts.contains(s.assocFont))
        return s.assocFont;
    return s.font;
}

int Parser::currentCodePage() const
{
    const int font = effectiveFont(m_stack.back().chars);
    const auto it = m_fonts.constFind(font);
    if (it != m_fonts.constEnd() && it->codePage > 0)
        return it->codePage;
    return m_documentCodePage;
}

QString Parser::decode(const QByteArray& bytes, int codePage)
{
    return platform::decodeWindowsCodePage(bytes, codePage);
}

void Parser::flushBytes()
{
    if (m_pendingBytes.isEmpty())
        return;
    const QString text = decode(m_pendingBytes, m_pendingCodePage);
    m_pendingBytes.clear();
    appendText(text);
}

void Parser::appendText(QStringView text)
{
    GroupState& state = top(m_stack);
    if (state.destination != Destination::Text || state.chars.hidden)
        return;
    if (!m_pendingBytes.isEmpty()) {
        // Keep the order: bytes that came first are text that comes first.
        const QString bytes = decode(m_pendingBytes, m_pendingCodePage);
        m_pendingBytes.clear();
        appendText(bytes);
    }
    m_textAlignment = state.alignment;
    m_paragraphHasText = true;
    if (!(state.chars == m_runState)) {
        flushRun();
        m_runState = state.chars;
    }
    m_run.append(text);
}

QTextCharFormat Parser::charFormat(const CharState& s) const
{
    QTextCharFormat format;
    const auto font = m_fonts.constFind(effectiveFont(s));
    if (font != m_fonts.constEnd() && !font->name.isEmpty())
        format.setFontFamilies(QStringList{font->name});
    format.setFontPointSize(s.effectiveHalfPoints() / 2.0);
    format.setFontWeight(s.effectiveBold() ? QFont::Bold : QFont::Normal);
    format.setFontItalic(s.effectiveItalic());
    format.setFontUnderline(s.underline);
    format.setFontStrikeOut(s.strike);
    if (s.foreground > 0 && s.foreground < m_colors.size() && m_colors[s.foreground].isValid())
        format.setForeground(m_colors[s.foreground]);
    if (s.background > 0 && s.background < m_colors.size() && m_colors[s.background].isValid())
        format.setBackground(m_colors[s.background]);
    return format;
}

void Parser::flushRun()
{
    if (m_run.isEmpty())
        return;
    m_cursor.insertText(m_run, charFormat(m_runState));
    m_run.clear();
}

void Parser::applyParagraph(Qt::Alignment alignment)
{
    QTextBlockFormat format = m_cursor.blockFormat();
    format.setAlignment(alignment);
    m_cursor.setBlockFormat(format);
}

void Parser::endParagraph()
{
    if (top(m_stack).destination != Destination::Text)
        return;
    flushBytes();
    flushRun();
    applyParagraph(top(m_stack).alignment);
    m_paragraphHasText = false;
    m_cursor.insertBlock(QTextBlockFormat(), charFormat(top(m_stack).chars));
}

} // namespace rtf

using rtf::Parser;

bool RtfReader::isRtf(QByteArrayView bytes)
{
    return bytes.startsWith("{\\rtf");
}

bool RtfReader::read(QByteArrayView rtf, QTextDocument* document)
{
    if (!isRtf(rtf) || !document)
        return false;
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    Parser parser(rtf, document);
    parser.run();
    document->setUndoRedoEnabled(undo);
    document->setModified(false);
    return true;
}

} // namespace preview
