#pragma once

#include <QString>
#include <QStringView>

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

// One find next over the text from the view's selection start (caret): the match's position,
// counted from 1, or 0 when there is none. state.lastPos becomes the selection start the view
// shows afterwards (the match's start, or the caret when nothing was found) and state.restart
// false. Down searches start at the caret (one further when continuing from the last match); up
// searches look at starts one before the caret (continuing) or two before it (otherwise), never
// wrapping around. An empty search text finds nothing.
qsizetype findNext(QStringView text, qsizetype caret, SearchState& state);

// True when this find next continues from the last match (the caret is still where the last
// search left it and the search text has not been edited since).
bool isContinuing(qsizetype caret, const SearchState& state);

// Where this find next looks, from 0: for a down search the first index a match may start at,
// for an up search the last one (below 0: nowhere). A view that does not hold its whole text in
// one string searches from here with findForward / findBackward over its own pieces.
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
