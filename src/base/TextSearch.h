#pragma once

#include <QString>
#include <QStringView>

#include <functional>

namespace editor
{

// The direction of find next; the values are the indexes of the find dialog's option buttons.
enum class SearchDirection : qint16 { Up = 0, Down = 1 };

// What find next works from. It lives as long as the program, so that finding the next match
// goes on where the last search stopped after the find dialog has been closed.
struct SearchState {
    QString text;                                    // the text to find
    bool matchCase = false;                          // upper and lower case must match exactly
    SearchDirection direction = SearchDirection::Up; // the option buttons' first index
    qsizetype lastPos = 0;                           // selection start left by the last search
    bool restart = false; // the search text was edited: start at the caret, not past the match
};

// The rules of find next, apart from any widget, so that every view of a text searches the same
// way. Positions in the text count UTF-16 units; a caret or selection start counts from 0, a
// match position from 1 (0: no match).
//
// Without matchCase both the text and the search text are compared in upper case, one character
// for one (simple case mapping), so a match keeps the position and length it has in the text.

// A search text made ready for searching many texts or pieces of one.
class SearchPattern final
{
public:
    SearchPattern(QStringView text, bool matchCase);

    qsizetype size() const { return m_units.size(); }
    bool isEmpty() const { return m_units.isEmpty(); }
    // True when a match would hold a line end ('\n', U+2028 or U+2029).
    bool holdsLineEnd() const { return m_lineEnd; }

    // The first match that starts at or after from (from 0) in text, or -1.
    qsizetype findIn(QStringView text, qsizetype from) const;
    // The last match that starts at or before from and ends inside text, or -1.
    qsizetype findLastIn(QStringView text, qsizetype from) const;

private:
    bool matchesAt(QStringView text, qsizetype start) const;

    QString m_units; // the search text, in upper case unless the case must match
    bool m_matchCase;
    bool m_lineEnd = false;
    // The unit of the search text looked for first (one that is rare in most texts), and every
    // unit of a text that compares equal to it; none when no such short list exists.
    qsizetype m_anchor = 0;
    char16_t m_anchorUnits[4] = {};
    int m_anchorCount = 0;
};

// One find next over the text from the view's selection start (caret): the match's position,
// counted from 1, or 0 when there is none. state.lastPos becomes the selection start the view
// shows afterwards (the match's start, or the caret when nothing was found) and state.restart
// false. Down searches start at the caret (one further when continuing from the last match); up
// searches look at starts one before the caret (continuing) or two before it (otherwise), never
// wrapping around. An empty search text finds nothing.
qsizetype findNext(QStringView text, qsizetype caret, SearchState& state);

// A text held in pieces, such as the blocks of a document or the lines of a file: given an index
// of the whole text, the piece that holds it (or whose end follows it) and the index of the
// piece's first unit; false past the end. Between two pieces lies one line end.
using PieceAt = std::function<bool(qsizetype index, QString& piece, qsizetype& start)>;

// The same find next over a text held in pieces, which are asked for only as far as the search
// goes. The search text must hold no line end (see SearchPattern::holdsLineEnd).
qsizetype findNext(const PieceAt& pieceAt, qsizetype caret, SearchState& state);

// True when this find next continues from the last match (the caret is still where the last
// search left it and the search text has not been edited since).
bool isContinuing(qsizetype caret, const SearchState& state);

// Where this find next looks, from 0: for a down search the first index a match may start at,
// for an up search the last one (below 0: nowhere).
qsizetype searchFrom(qsizetype caret, const SearchState& state);

// The first match of pattern that starts at or after from (from 0), or -1.
qsizetype findForward(QStringView text, QStringView pattern, qsizetype from, bool matchCase);
// The last match of pattern that starts at or before from and ends inside the text, or -1.
qsizetype findBackward(QStringView text, QStringView pattern, qsizetype from, bool matchCase);

// The text in upper case, one UTF-16 unit for one (a surrogate pair maps to a pair).
QString upperCaseSameLength(QStringView text);

// The not-found notice: the search text in double quotes, then " が見つかりません。".
QString notFoundText(const QString& searchText);

} // namespace editor
