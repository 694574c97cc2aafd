#pragma once

// The rich-text reader's parser, shared by its two source files; not for other code.

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QList>
#include <QMap>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include <vector>

class QTextDocument;

namespace preview
{

namespace rtf
{

// Windows code page of an RTF font charset; 0 when the charset says nothing of its own.
int codePageOfCharset(int charset);
// Whether the byte starts a two-byte character in the code page.
bool isDoubleByteLead(int codePage, unsigned char byte);

enum class Destination { Text, FontTable, ColorTable, Skip };

struct CharState {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    int font = -1;
    int halfPoints = 24;
    int foreground = 0;
    int background = 0;
    // Associated properties (\ab, \ai, \af, \afs): they apply to double-byte text, which
    // \dbch starts and \loch or \hich end. -1 or 0: not given.
    bool doubleByte = false;
    int assocBold = -1;
    int assocItalic = -1;
    int assocFont = -1;
    int assocHalfPoints = 0;

    bool effectiveBold() const { return doubleByte && assocBold >= 0 ? assocBold : bold; }
    bool effectiveItalic() const { return doubleByte && assocItalic >= 0 ? assocItalic : italic; }
    int effectiveHalfPoints() const
    {
        return doubleByte && assocHalfPoints > 0 ? assocHalfPoints : halfPoints;
    }

    bool operator==(const CharState&) const = default;
};

struct GroupState {
    CharState chars;
    Qt::Alignment alignment = Qt::AlignLeft;
    int unicodeSkip = 1;
    Destination destination = Destination::Text;
};

struct FontEntry {
    QString name;
    int codePage = 0;
};

// Deeper nesting than this is counted but not given its own state; no real document nests
// anywhere near as deep, and a hostile one cannot make the reader use more memory for it.
constexpr int kMaxDepth = 4096;

class Parser
{
public:
    Parser(QByteArrayView input, QTextDocument* document)
        : m_in(input), m_document(document), m_cursor(document)
    {
    }

    void run();

private:
    void parseControl();
    void controlWord(const QByteArray& word, bool hasParam, int param);
    void bodyControl(GroupState& state, const QByteArray& word, bool hasParam, int param);
    void openGroup();
    void closeGroup();
    void literalByte(unsigned char byte);
    void escapedByte(unsigned char byte);
    void appendText(QStringView text);
    void flushBytes();
    void flushRun();
    void endParagraph();
    void finishFontEntry();
    void applyParagraph(Qt::Alignment alignment);
    QString decode(const QByteArray& bytes, int codePage);
    int currentCodePage() const;
    int effectiveFont(const CharState& s) const;
    QTextCharFormat charFormat(const CharState& s) const;
    bool consumeSkip();

    QByteArrayView m_in;
    qsizetype m_pos = 0;
    QTextDocument* m_document;
    QTextCursor m_cursor;

    std::vector<GroupState> m_stack{GroupState{}};
    int m_overflowDepth = 0;
    int m_skipRemaining = 0;

    int m_documentCodePage = 1252;
    int m_defaultFont = -1;
    QMap<int, FontEntry> m_fonts;
    int m_fontBeingRead = -1;
    int m_charsetBeingRead = -1;
    int m_cpgBeingRead = 0;
    QByteArray m_fontNameBytes;
    QString m_fontName;

    QList<QColor> m_colors;
    int m_red = -1, m_green = -1, m_blue = -1;

    QByteArray m_pendingBytes;
    int m_pendingCodePage = 0;
    QString m_run;
    CharState m_runState;
    // The alignment in force when the current paragraph last got text: a document that ends
    // without \par (or inside a closed group) keeps it for its last paragraph.
    Qt::Alignment m_textAlignment = Qt::AlignLeft;
    bool m_paragraphHasText = false;
};

// The innermost open group.
GroupState& top(std::vector<GroupState>& stack);

} // namespace rtf

} // namespace preview
