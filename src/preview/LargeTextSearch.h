#pragma once

#include "preview/LargeTextFile.h"

#include <QString>
#include <QStringView>

#include <atomic>
#include <optional>

namespace preview
{

// One "find next" over a text: the pattern, whether case must match, the direction, the
// caret (the selection start) and whether this continues from the last match.
// Positions are counted from 1 by the rules, from 0 by the caret:
// - without matching case, pattern and text are compared in upper case;
// - down starts at caret + 1 (one more when continuing) and takes the first match there or
//   after; up starts at caret when continuing, caret - 1 otherwise, and takes the first match
//   found going back, down to position 1;
// - there is no wrap-around: past the end or the start nothing is found.
struct FindRequest {
    QString pattern;
    bool matchCase = false;
    bool down = true;
    TextPos caret;
    bool continuing = false;
};

// The rules over a text in memory: the position (from 1) of the match, or 0.
qsizetype findInText(QStringView text, QStringView pattern, bool matchCase, bool down,
                     qsizetype caret, bool continuing);

// Upper case as the search compares it: each UTF-16 unit on its own, so that positions in the
// folded text are those of the text.
void foldCase(QString& text);

// The rules over a whole file whose row index is complete; the rows are joined by '\n'. Reads
// the file a piece at a time, skipping pieces that cannot hold a match without decoding them.
// A match must lie within one piece of about four megabytes (only a pattern holding a line
// feed could cross one). Stops with no result when cancel becomes true.
std::optional<TextPos> findInFile(LargeTextReader& reader, const RowIndex& index,
                                  const QByteArray& encoding, const FindRequest& request,
                                  const std::atomic<bool>& cancel);

} // namespace preview
