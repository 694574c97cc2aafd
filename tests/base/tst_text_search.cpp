// The rules of find next on plain strings: positions, overlapping matches, the two directions
// without wrap-around, the restart after an edit, and comparison in upper case.
#include "base/TextSearch.h"

#include <QRandomGenerator>
#include <QtTest>

using editor::SearchDirection;
using editor::SearchState;

namespace
{
SearchState typed(const QString& text, SearchDirection direction, bool matchCase = false)
{
    SearchState state;
    state.text = text;
    state.direction = direction;
    state.matchCase = matchCase;
    state.restart = true; // as after typing into the find dialog
    return state;
}

// Runs find next the way the preview does: the caret is the selection start the last search
// left (the match's start), or the given caret for the first search.
QList<qsizetype> positions(const QString& text, SearchState state, qsizetype caret, int times)
{
    QList<qsizetype> found;
    for (int i = 0; i < times; ++i) {
        const qsizetype position = editor::findNext(text, caret, state);
        found << position;
        if (position > 0)
            caret = position - 1;
    }
    return found;
}

// What the rules say, written the slow way: both sides upper-cased code point by code point.
QString slowUpper(const QString& s)
{
    QString out;
    const QList<uint> points = s.toUcs4();
    for (uint p : points) {
        const char32_t u = QChar::toUpper(char32_t(p));
        out += QString::fromUcs4(&u, 1);
    }
    return out;
}

qsizetype slowForward(const QString& text, const QString& pattern, qsizetype from, bool cs)
{
    const QString t = cs ? text : slowUpper(text);
    const QString p = cs ? pattern : slowUpper(pattern);
    for (qsizetype i = std::max<qsizetype>(from, 0); i + p.size() <= t.size(); ++i) {
        if (QStringView(t).mid(i, p.size()) == p)
            return i;
    }
    return -1;
}

qsizetype slowBackward(const QString& text, const QString& pattern, qsizetype from, bool cs)
{
    const QString t = cs ? text : slowUpper(text);
    const QString p = cs ? pattern : slowUpper(pattern);
    for (qsizetype i = from; i >= 0; --i) {
        if (i + p.size() <= t.size() && QStringView(t).mid(i, p.size()) == p)
            return i;
    }
    return -1;
}
} // namespace

class TextSearchTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void overlappingMatchesDown()
    {
        // "aa" in "aaa" from the start, text just typed: position 1, then 2, then none.
        const SearchState state = typed(QStringLiteral("aa"), SearchDirection::Down);
        QCOMPARE(positions(QStringLiteral("aaa"), state, 0, 4), (QList<qsizetype>{1, 2, 0, 0}));
    }

    void overlappingMatchesUp()
    {
        // From the end: not continuing looks from two before the caret, then one before the last
        // match, so both matches are found and nothing wraps around.
        const SearchState state = typed(QStringLiteral("aa"), SearchDirection::Up);
        QCOMPARE(positions(QStringLiteral("aaa"), state, 3, 3), (QList<qsizetype>{2, 1, 0}));
        const SearchState word = typed(QStringLiteral("ab"), SearchDirection::Up);
        QCOMPARE(positions(QStringLiteral("ab ab ab"), word, 8, 4), (QList<qsizetype>{7, 4, 1, 0}));
    }

    void upFromTheStartFindsNothingAtOnce()
    {
        for (bool restart : {true, false}) {
            SearchState state = typed(QStringLiteral("abc"), SearchDirection::Up);
            state.restart = restart;
            state.lastPos = 0;
            QCOMPARE(editor::findNext(QStringLiteral("abc abc"), 0, state), 0);
            QCOMPARE(state.lastPos, 0);
            QVERIFY(!state.restart);
        }
    }

    void editedTextStartsAtTheCaret()
    {
        // Continuing from a match at the caret skips it; after an edit it is found again.
        SearchState state = typed(QStringLiteral("abc"), SearchDirection::Down);
        state.restart = false;
        state.lastPos = 3;
        QCOMPARE(editor::findNext(QStringLiteral("abcabc"), 3, state), 0);
        state.lastPos = 3;
        state.restart = true;
        QCOMPARE(editor::findNext(QStringLiteral("abcabc"), 3, state), 4);
        // A caret moved away from the last match is not continuing either.
        state.lastPos = 0;
        QVERIFY(!editor::isContinuing(3, state));
        QCOMPARE(editor::searchFrom(3, state), 3);
        QCOMPARE(editor::findNext(QStringLiteral("abcabc"), 3, state), 4);
        // Now the caret is where the match left it: one past its start.
        QVERIFY(editor::isContinuing(3, state));
        QCOMPARE(editor::searchFrom(3, state), 4);
    }

    void notFoundLeavesTheCaretAsLastPosition()
    {
        SearchState state = typed(QStringLiteral("zz"), SearchDirection::Down);
        QCOMPARE(editor::findNext(QStringLiteral("abcabc"), 2, state), 0);
        QCOMPARE(state.lastPos, 2);
        QVERIFY(!state.restart);
        // An empty search text finds nothing, in both directions.
        state.text.clear();
        QCOMPARE(editor::findNext(QStringLiteral("abc"), 0, state), 0);
        state.direction = SearchDirection::Up;
        QCOMPARE(editor::findNext(QStringLiteral("abc"), 3, state), 0);
    }

    void upperAndLowerCase()
    {
        const QString text = QStringLiteral("ABC abc aBc");
        QCOMPARE(positions(text, typed(QStringLiteral("abc"), SearchDirection::Down), 0, 4),
                 (QList<qsizetype>{1, 5, 9, 0}));
        QCOMPARE(positions(text, typed(QStringLiteral("abc"), SearchDirection::Down, true), 0, 2),
                 (QList<qsizetype>{5, 0}));
        QCOMPARE(positions(text, typed(QStringLiteral("aBc"), SearchDirection::Up, true), 11, 2),
                 (QList<qsizetype>{9, 0}));
        // Full-width Latin letters and Greek have cases too; kana have none.
        QCOMPARE(
            editor::findForward(QStringLiteral("ｘＡＢＣ"), QStringLiteral("ａｂｃ"), 0, false), 1);
        QCOMPARE(editor::findForward(QStringLiteral("αβΓ"), QStringLiteral("ΑΒγ"), 0, false), 0);
        QCOMPARE(editor::findForward(QStringLiteral("あいう"), QStringLiteral("イ"), 0, false), -1);
    }

    void upperCaseKeepsPositions()
    {
        // "ß" upper-cases to "SS" as a whole string; one character for one keeps the match's
        // position and length those of the text.
        QCOMPARE(editor::upperCaseSameLength(QStringLiteral("straße ﬁx")),
                 QStringLiteral("STRAßE ﬁX"));
        QCOMPARE(editor::findForward(QStringLiteral("ßßx"), QStringLiteral("X"), 0, false), 2);
        SearchState state = typed(QStringLiteral("Straße"), SearchDirection::Down);
        QCOMPARE(editor::findNext(QStringLiteral("die STRAßE"), 0, state), 5);
        // Outside the Basic Multilingual Plane: Deseret small and capital letters match.
        const QString small = QString::fromUcs4(U"\U00010428x");
        const QString capital = QString::fromUcs4(U"a\U00010400X");
        QCOMPARE(editor::findForward(capital, small, 0, false), 1);
        QCOMPARE(editor::findForward(capital, small, 0, true), -1);
        QCOMPARE(editor::findBackward(capital, small, 3, false), 1);
    }

    void agreesWithTheSlowWay()
    {
        // Random texts over a few letters in both cases, a Japanese character and a surrogate
        // pair: every start, every direction, both case options.
        const QStringList pieces = {QStringLiteral("a"),
                                    QStringLiteral("A"),
                                    QStringLiteral("b"),
                                    QStringLiteral("B"),
                                    QStringLiteral("あ"),
                                    QString::fromUcs4(U"\U00010428"),
                                    QString::fromUcs4(U"\U00010400")};
        QRandomGenerator random(20261208);
        auto make = [&](int maximum) {
            QString s;
            const int n = random.bounded(1, maximum + 1);
            for (int i = 0; i < n; ++i)
                s += pieces.at(random.bounded(int(pieces.size())));
            return s;
        };
        int compared = 0;
        for (int round = 0; round < 400; ++round) {
            const QString text = make(30);
            const QString pattern = make(4);
            for (bool cs : {true, false}) {
                for (qsizetype from = -1; from <= text.size() + 1; ++from) {
                    QCOMPARE(editor::findForward(text, pattern, from, cs),
                             from < 0 ? -1 : slowForward(text, pattern, from, cs));
                    QCOMPARE(editor::findBackward(text, pattern, from, cs),
                             from < 0 ? -1 : slowBackward(text, pattern, from, cs));
                    ++compared;
                }
            }
        }
        QVERIFY(compared > 10000);
    }

    void piecesFindWhatTheWholeTextFinds()
    {
        // Lines of a text given one at a time (as a document's blocks are) give the same
        // positions and the same state as the whole text, in both directions, from every caret.
        QRandomGenerator random(8122026);
        const QStringList pieces = {QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("\n"),
                                    QStringLiteral("b"), QStringLiteral("ab")};
        int found = 0;
        for (int round = 0; round < 300; ++round) {
            QString text;
            for (int i = random.bounded(0, 40); i > 0; --i)
                text += pieces.at(random.bounded(int(pieces.size())));
            const QStringList lines = text.split(QLatin1Char('\n'));
            const editor::PieceAt pieceAt = [&lines](qsizetype index, QString& piece,
                                                     qsizetype& start) {
                qsizetype at = 0;
                for (const QString& line : lines) {
                    if (index <= at + line.size()) {
                        piece = line;
                        start = at;
                        return index >= 0;
                    }
                    at += line.size() + 1;
                }
                return false;
            };
            const QString pattern = random.bounded(2) ? QStringLiteral("ab") : QStringLiteral("B");
            for (qsizetype caret = 0; caret <= text.size(); ++caret) {
                for (SearchDirection direction : {SearchDirection::Down, SearchDirection::Up}) {
                    SearchState whole = typed(pattern, direction, random.bounded(2) == 1);
                    whole.restart = random.bounded(2) == 1;
                    whole.lastPos = random.bounded(2) ? caret : 0;
                    SearchState inPieces = whole;
                    const qsizetype expected = editor::findNext(text, caret, whole);
                    QCOMPARE(editor::findNext(pieceAt, caret, inPieces), expected);
                    QCOMPARE(inPieces.lastPos, whole.lastPos);
                    found += expected > 0;
                }
            }
        }
        QVERIFY(found > 1000);
    }

    void notFoundText()
    {
        QCOMPARE(editor::notFoundText(QStringLiteral("検索")),
                 QStringLiteral("\"検索\" が見つかりません。"));
    }

    // Hostile search texts: empty finds nothing and moves nothing; one longer than the text
    // finds nothing at once; a very long one is shown by its beginning, never half a pair.
    void hostileSearchTexts()
    {
        SearchState empty = typed(QString(), SearchDirection::Down);
        QCOMPARE(editor::findNext(QStringLiteral("abc"), 1, empty), 0);
        QCOMPARE(empty.lastPos, 1);
        const QString text = QString(1000, QLatin1Char('a'));
        SearchState longer = typed(QString(100000, QLatin1Char('a')), SearchDirection::Down);
        QCOMPARE(editor::findNext(text, 0, longer), 0);
        longer.direction = SearchDirection::Up;
        longer.restart = true;
        QCOMPARE(editor::findNext(text, 1000, longer), 0);

        const QString pasted = QString(30000, QLatin1Char('x'));
        const QString box = editor::notFoundText(pasted);
        QVERIFY2(box.size() < 120, qPrintable(QString::number(box.size())));
        QVERIFY(box.startsWith(QStringLiteral("\"xxxxxxxx")));
        QVERIFY(box.endsWith(QStringLiteral("…\" が見つかりません。")));
        // 79 letters, then pairs: the cut falls between a pair's halves and is moved before it.
        QString pairs = QString(79, QLatin1Char('y'));
        for (int i = 0; i < 10; ++i)
            pairs += QString::fromUcs4(U"\U0001F600");
        const QString cut = editor::notFoundText(pairs);
        for (qsizetype i = 0; i < cut.size(); ++i) {
            if (cut[i].isHighSurrogate())
                QVERIFY(i + 1 < cut.size() && cut[i + 1].isLowSurrogate());
            if (cut[i].isLowSurrogate())
                QVERIFY(i > 0 && cut[i - 1].isHighSurrogate());
        }
        QVERIFY(!cut.contains(QString::fromUcs4(U"\U0001F600")));
    }
};

QTEST_GUILESS_MAIN(TextSearchTest)
#include "tst_text_search.moc"
