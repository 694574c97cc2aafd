#include "platform/RtfParser.h"

#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <limits>

namespace preview
{

namespace rtf
{

void Parser::controlWord(const QByteArray& word, bool hasParam, int param)
{
    GroupState& state = top(m_stack);
    const Destination dest = state.destination;

    static const QList<QByteArray> skipped = {"pict",
                                              "stylesheet",
                                              "info",
                                              "header",
                                              "headerl",
                                              "headerr",
                                              "headerf",
                                              "footer",
                                              "footerl",
                                              "footerr",
                                              "footerf",
                                              "footnote",
                                              "annotation",
                                              "object",
                                              "fldinst",
                                              "themedata",
                                              "colorschememapping",
                                              "latentstyles",
                                              "datastore",
                                              "xmlnstbl",
                                              "listtable",
                                              "listoverridetable",
                                              "rsidtbl",
                                              "generator",
                                              "revtbl",
                                              "filetbl",
                                              "shpinst",
                                              "nonshppict",
                                              "pgdsctbl",
                                              "bkmkstart",
                                              "bkmkend",
                                              "xe",
                                              "tc",
                                              "txe",
                                              "atnid",
                                              "atnauthor",
                                              "template",
                                              "userprops",
                                              "docvar",
                                              "fchars",
                                              "lchars",
                                              "pnseclvl",
                                              "pntxta",
                                              "pntxtb",
                                              "objdata",
                                              "result",
                                              "private",
                                              "mmathPr",
                                              "ftnsep",
                                              "ftnsepc",
                                              "ftncn",
                                              "aftnsep",
                                              "aftnsepc",
                                              "aftncn",
                                              "protusertbl",
                                              "wgrffmtfilter"};

    if (dest == Destination::Skip)
        return;

    if (word == "fonttbl") {
        flushBytes();
        state.destination = Destination::FontTable;
        m_fontBeingRead = -1;
        return;
    }
    if (word == "colortbl") {
        flushBytes();
        state.destination = Destination::ColorTable;
        m_red = m_green = m_blue = -1;
        return;
    }
    if (skipped.contains(word)) {
        flushBytes();
        state.destination = Destination::Skip;
        return;
    }

    if (dest == Destination::FontTable) {
        if (word == "f") {
            flushBytes();
            finishFontEntry();
            m_fontBeingRead = param;
            m_charsetBeingRead = -1;
            m_cpgBeingRead = 0;
            m_fontNameBytes.clear();
            m_fontName.clear();
        } else if (word == "fcharset") {
            m_charsetBeingRead = param;
        } else if (word == "cpg") {
            m_cpgBeingRead = param;
        } else if (word == "u") {
            m_fontName +=
                decode(m_fontNameBytes, m_cpgBeingRead ? m_cpgBeingRead : m_documentCodePage);
            m_fontNameBytes.clear();
            m_fontName += QChar(static_cast<char16_t>(param & 0xFFFF));
            m_skipRemaining = state.unicodeSkip;
        } else if (word == "uc") {
            state.unicodeSkip = std::clamp(param, 0, 16);
        }
        return;
    }
    if (dest == Destination::ColorTable) {
        const int v = std::clamp(param, 0, 255);
        if (word == "red")
            m_red = v;
        else if (word == "green")
            m_green = v;
        else if (word == "blue")
            m_blue = v;
        return;
    }

    // Text, character and paragraph formatting, character sets and special characters.
    bodyControl(state, word, hasParam, param);
}

void Parser::bodyControl(GroupState& state, const QByteArray& word, bool hasParam, int param)
{
    const bool on = !hasParam || param != 0;
    CharState& chars = state.chars;
    if (word == "u") {
        // Values are signed 16-bit; anything outside is no character.
        const char16_t unit = param >= -32768 && param <= 65535
                                  ? static_cast<char16_t>(param & 0xFFFF)
                                  : char16_t(0xFFFD);
        appendText(QStringView(&unit, 1));
        m_skipRemaining = state.unicodeSkip;
    } else if (word == "uc") {
        state.unicodeSkip = std::clamp(param, 0, 16);
    } else if (word == "par" || word == "sect" || word == "page" || word == "row" ||
               word == "nestrow") {
        endParagraph();
    } else if (word == "line") {
        appendText(u"\u2028");
    } else if (word == "tab" || word == "cell" || word == "nestcell") {
        appendText(u"\t");
    } else if (word == "b") {
        chars.bold = on;
    } else if (word == "i") {
        chars.italic = on;
    } else if (word == "ul" || word == "uld" || word == "uldb" || word == "uldash" ||
               word == "ulth" || word == "ulw" || word == "ulwave" || word == "uldashd" ||
               word == "uldashdd" || word == "ulhwave" || word == "ulldash" || word == "ulthd" ||
               word == "ulthdash" || word == "ululdbwave") {
        chars.underline = on;
    } else if (word == "ab") {
        chars.assocBold = on;
    } else if (word == "ai") {
        chars.assocItalic = on;
    } else if (word == "af") {
        flushBytes();
        chars.assocFont = param;
    } else if (word == "afs") {
        if (hasParam && param > 0)
            chars.assocHalfPoints = std::min(param, 3276);
    } else if (word == "dbch") {
        flushBytes();
        chars.doubleByte = true;
    } else if (word == "loch" || word == "hich") {
        flushBytes();
        chars.doubleByte = false;
    } else if (word == "ulnone") {
        chars.underline = false;
    } else if (word == "strike" || word == "striked") {
        chars.strike = on;
    } else if (word == "v") {
        chars.hidden = on;
    } else if (word == "f") {
        flushBytes();
        chars.font = param;
    } else if (word == "fs") {
        if (hasParam && param > 0)
            chars.halfPoints = std::min(param, 3276);
    } else if (word == "cf") {
        chars.foreground = std::max(0, param);
    } else if (word == "highlight" || word == "cb" || word == "chcbpat") {
        chars.background = std::max(0, param);
    } else if (word == "plain") {
        flushBytes();
        chars = CharState{};
        chars.font = m_defaultFont;
    } else if (word == "pard") {
        state.alignment = Qt::AlignLeft;
    } else if (word == "ql") {
        state.alignment = Qt::AlignLeft;
    } else if (word == "qc") {
        state.alignment = Qt::AlignHCenter;
    } else if (word == "qr") {
        state.alignment = Qt::AlignRight;
    } else if (word == "qj" || word == "qd") {
        state.alignment = Qt::AlignJustify;
    } else if (word == "ansicpg") {
        if (param > 0)
            m_documentCodePage = param;
    } else if (word == "ansi") {
        m_documentCodePage = 1252;
    } else if (word == "mac") {
        m_documentCodePage = 10000;
    } else if (word == "pc") {
        m_documentCodePage = 437;
    } else if (word == "pca") {
        m_documentCodePage = 850;
    } else if (word == "deff") {
        m_defaultFont = param;
        if (chars.font < 0)
            chars.font = param;
    } else if (word == "emdash") {
        appendText(u"\u2014");
    } else if (word == "endash") {
        appendText(u"\u2013");
    } else if (word == "bullet") {
        appendText(u"\u2022");
    } else if (word == "lquote") {
        appendText(u"\u2018");
    } else if (word == "rquote") {
        appendText(u"\u2019");
    } else if (word == "ldblquote") {
        appendText(u"\u201C");
    } else if (word == "rdblquote") {
        appendText(u"\u201D");
    } else if (word == "emspace") {
        appendText(u"\u2003");
    } else if (word == "enspace") {
        appendText(u"\u2002");
    }
}

} // namespace rtf

} // namespace preview
