#include "preview/LargeTextView.h"

#include "desktop/Prompts.h"
#include "platform/TextEncoding.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace preview
{

namespace
{
// The first piece is small so that the scroll bar moves at once; later ones are larger so
// that the user-interface thread hears from the worker a few hundred times for a gigabyte.
constexpr qint64 kFirstPieceBytes = 256 * 1024;
constexpr qint64 kPieceBytes = 4 * 1024 * 1024;
constexpr qint64 kSampleBytes = 256 * 1024;
// A copy is refused beyond this many rows rather than cut short without a word.
constexpr qint64 kMaxCopyRows = 200000;
} // namespace

LargeTextView::LargeTextView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
}

LargeTextView::~LargeTextView()
{
    stopWorkers();
}

void LargeTextView::stopWorkers()
{
    ++m_generation;
    for (auto* pair : {&m_indexCancel, &m_searchCancel}) {
        if (*pair)
            (*pair)->store(true);
    }
    // Each worker looks at its flag between pieces of a few megabytes.
    if (m_indexThread.joinable())
        m_indexThread.join();
    if (m_searchThread.joinable())
        m_searchThread.join();
    m_searchDone = true;
    m_pendingFind.reset();
}

void LargeTextView::abandon()
{
    stopWorkers();
}

void LargeTextView::close()
{
    stopWorkers();
    m_reader.reset();
    m_path.clear();
    m_index = RowIndex();
    m_cache.clear();
    m_cacheFirst = -1;
    m_anchor = m_caret = TextPos();
    m_lastFindPos.reset();
    m_widest = 0;
    updateScrollBars();
    viewport()->update();
}

bool LargeTextView::open(const QString& path, const QByteArray& encoding)
{
    close();
    QByteArray chosen = encoding;
    if (chosen.isEmpty()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        // One byte more than the detector looks at tells it that the sample was cut, so that a
        // character cut off at the sample's end does not count against UTF-8.
        chosen = platform::detectEncoding(file.read(kSampleBytes + 1)).encoding;
    }
    m_path = path;
    m_encoding = chosen;
    m_reader = std::make_unique<LargeTextReader>(path, chosen);
    if (!m_reader->isOpen()) {
        close();
        return false;
    }
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    startIndexing();
    viewport()->update();
    Q_EMIT encodingChanged(m_encoding);
    return true;
}

void LargeTextView::setEncoding(const QByteArray& encoding)
{
    if (m_path.isEmpty() || encoding == m_encoding)
        return;
    const qint64 top = firstVisibleRow();
    const QString path = m_path;
    open(path, encoding);
    // The same row number, once the index reaches it.
    scrollToRow(top);
}

void LargeTextView::startIndexing()
{
    m_index = RowIndex();
    m_index.scannedTo = m_reader->textStart();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_indexCancel = cancel;
    const quint64 generation = m_generation;
    m_indexThread = std::thread([this, cancel, generation, path = m_path, enc = m_encoding] {
        LargeTextReader reader(path, enc);
        qint64 offset = reader.textStart();
        qint64 row = 0;
        qint64 pieceBytes = kFirstPieceBytes;
        while (!cancel->load()) {
            const QByteArray bytes = reader.read(offset, pieceBytes);
            const bool atEnd = bytes.size() < pieceBytes || offset + bytes.size() >= reader.size();
            IndexPiece piece =
                scanPiece(reader.scanner(), bytes.constData(), bytes.size(), offset, row, atEnd);
            row += piece.rows;
            offset = piece.nextStart;
            const bool complete = piece.complete;
            QMetaObject::invokeMethod(
                this, [this, generation, piece = std::move(piece)] { addPiece(generation, piece); },
                Qt::QueuedConnection);
            if (complete)
                break;
            pieceBytes = kPieceBytes;
        }
    });
}

void LargeTextView::addPiece(quint64 generation, const IndexPiece& piece)
{
    if (generation != m_generation)
        return; // a late result of a file no longer shown
    m_index.checkpoints.insert(m_index.checkpoints.end(), piece.checkpoints.begin(),
                               piece.checkpoints.end());
    const qint64 before = m_index.rows;
    m_index.rows += piece.rows;
    m_index.scannedTo = piece.nextStart;
    m_index.complete = piece.complete;
    updateScrollBars();
    if (before < firstVisibleRow() + visibleRowCount() + 1)
        viewport()->update();
    Q_EMIT indexProgress(m_index.rows, m_index.complete);
    if (m_index.complete && m_pendingFind) {
        const FindRequest request = *m_pendingFind;
        m_pendingFind.reset();
        runFind(request);
    }
}

int LargeTextView::lineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int LargeTextView::visibleRowCount() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

qint64 LargeTextView::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

void LargeTextView::updateScrollBars()
{
    const qint64 rows = std::max<qint64>(m_index.rows, 1);
    const qint64 max = std::max<qint64>(rows - visibleRowCount(), 0);
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<qint64>(max, INT_MAX)));
    verticalScrollBar()->setPageStep(visibleRowCount());
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(0, m_widest - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 4);
}

void LargeTextView::scrollToRow(qint64 row)
{
    verticalScrollBar()->setValue(static_cast<int>(std::clamp<qint64>(row, 0, INT_MAX)));
    viewport()->update();
}

const std::vector<Row>& LargeTextView::cachedRows(qint64 first, qint64 count)
{
    const qint64 cacheEnd = m_cacheFirst + static_cast<qint64>(m_cache.size());
    const bool reachesEnd = m_index.complete && cacheEnd >= m_index.rows;
    if (m_cacheFirst >= 0 && first >= m_cacheFirst && (first + count <= cacheEnd || reachesEnd))
        return m_cache;
    m_cache.clear();
    m_cacheFirst = first;
    if (m_reader) {
        // A screen above and below as well, so that scrolling by lines reads nothing.
        const qint64 from = std::max<qint64>(0, first - count);
        m_cache = m_reader->rows(m_index, from, count * 3);
        m_cacheFirst = from;
        const QFontMetrics fm = fontMetrics();
        for (const Row& r : m_cache)
            m_widest = std::max(m_widest, fm.horizontalAdvance(r.text.left(2048)) + 8);
        updateScrollBars();
    }
    return m_cache;
}

QString LargeTextView::rowText(qint64 row)
{
    const std::vector<Row>& rows = cachedRows(row, 1);
    const qint64 i = row - m_cacheFirst;
    if (i < 0 || i >= static_cast<qint64>(rows.size()))
        return QString();
    return rows[static_cast<size_t>(i)].text;
}

qint64 LargeTextView::rowLength(qint64 row)
{
    return rowText(row).size();
}

void LargeTextView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    if (!m_reader)
        return;
    const int h = lineHeight();
    const int ascent = fontMetrics().ascent();
    const int dx = -horizontalScrollBar()->value() + 4;
    const qint64 first = firstVisibleRow();
    const int count = visibleRowCount() + 1;
    const std::vector<Row>& rows = cachedRows(first, count);
    const TextPos selStart = selectionStart(), selEnd = selectionEnd();
    const QFontMetrics fm = fontMetrics();
    const QPalette& pal = palette();
    for (int i = 0; i < count; ++i) {
        const qint64 row = first + i;
        const qint64 at = row - m_cacheFirst;
        if (at < 0 || at >= static_cast<qint64>(rows.size()))
            break;
        const QString& text = rows[static_cast<size_t>(at)].text;
        const int y = i * h;
        if (selStart != selEnd && row >= selStart.row && row <= selEnd.row) {
            const qint64 c1 = row == selStart.row ? selStart.column : 0;
            const qint64 c2 = row == selEnd.row ? selEnd.column : text.size() + 1;
            const int x1 = fm.horizontalAdvance(text.left(c1));
            const int x2 = c2 > text.size() ? fm.horizontalAdvance(text) + fm.averageCharWidth()
                                            : fm.horizontalAdvance(text.left(c2));
            painter.fillRect(QRect(dx + x1, y, x2 - x1, h), pal.highlight());
        }
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(dx, y + ascent, text);
        if (row == m_caret.row && hasFocus()) {
            const int x = dx + fm.horizontalAdvance(text.left(m_caret.column));
            painter.drawLine(x, y, x, y + h - 1);
        }
    }
}

void LargeTextView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void LargeTextView::scrollContentsBy(int, int)
{
    viewport()->update();
}

TextPos LargeTextView::posAt(const QPoint& point)
{
    const qint64 maxRow = std::max<qint64>(m_index.rows - 1, 0);
    const qint64 row = std::clamp<qint64>(firstVisibleRow() + point.y() / lineHeight(), 0, maxRow);
    const QString text = rowText(row);
    const int x = point.x() + horizontalScrollBar()->value() - 4;
    // The column whose left edge is nearest to x.
    const QFontMetrics fm = fontMetrics();
    qsizetype lo = 0, hi = text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        const int left = fm.horizontalAdvance(text.left(mid - 1));
        const int right = fm.horizontalAdvance(text.left(mid));
        if ((left + right) / 2 <= x)
            lo = mid;
        else
            hi = mid - 1;
    }
    return TextPos{row, lo};
}

void LargeTextView::setSelection(const TextPos& anchor, const TextPos& caret)
{
    m_anchor = anchor;
    m_caret = caret;
    viewport()->update();
}

void LargeTextView::moveCaret(const TextPos& to, bool extend)
{
    m_caret = to;
    if (!extend)
        m_anchor = to;
    ensureVisible(to);
    viewport()->update();
}

void LargeTextView::ensureVisible(const TextPos& pos)
{
    const qint64 first = firstVisibleRow();
    const int count = visibleRowCount();
    if (pos.row < first)
        scrollToRow(pos.row);
    else if (pos.row >= first + count)
        scrollToRow(pos.row - count + 1);
    const QFontMetrics fm = fontMetrics();
    const int x = fm.horizontalAdvance(rowText(pos.row).left(pos.column));
    QScrollBar* hbar = horizontalScrollBar();
    if (x < hbar->value() || x > hbar->value() + viewport()->width() - 16) {
        m_widest = std::max(m_widest, x + viewport()->width() / 2);
        updateScrollBars();
        hbar->setValue(std::max(0, x - viewport()->width() / 2));
    }
}

void LargeTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_reader)
        return;
    moveCaret(posAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void LargeTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_reader)
        return;
    moveCaret(posAt(event->position().toPoint()), true);
}

void LargeTextView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (!m_reader) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const qint64 last = std::max<qint64>(m_index.rows - 1, 0);
    TextPos to = m_caret;
    switch (event->key()) {
    case Qt::Key_Up:
        to.row = std::max<qint64>(to.row - 1, 0);
        break;
    case Qt::Key_Down:
        to.row = std::min(to.row + 1, last);
        break;
    case Qt::Key_PageUp:
        to.row = std::max<qint64>(to.row - visibleRowCount(), 0);
        break;
    case Qt::Key_PageDown:
        to.row = std::min(to.row + visibleRowCount(), last);
        break;
    case Qt::Key_Home:
        to = ctrl ? TextPos{} : TextPos{to.row, 0};
        break;
    case Qt::Key_End:
        to.row = ctrl ? last : to.row;
        to.column = rowLength(to.row);
        break;
    case Qt::Key_Left:
        if (to.column > 0)
            --to.column;
        else if (to.row > 0)
            to = TextPos{to.row - 1, rowLength(to.row - 1)};
        break;
    case Qt::Key_Right:
        if (to.column < rowLength(to.row))
            ++to.column;
        else if (to.row < last)
            to = TextPos{to.row + 1, 0};
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    to.column = std::min(to.column, rowLength(to.row));
    moveCaret(to, extend);
}

QString LargeTextView::selectedText()
{
    const TextPos a = selectionStart(), b = selectionEnd();
    if (a == b || !m_reader || b.row - a.row >= kMaxCopyRows)
        return QString();
    const std::vector<Row> rows = m_reader->rows(m_index, a.row, b.row - a.row + 1);
    QString out;
    for (size_t i = 0; i < rows.size(); ++i) {
        const qint64 row = a.row + static_cast<qint64>(i);
        const QString& text = rows[i].text;
        const qint64 from = row == a.row ? a.column : 0;
        if (row == b.row) {
            out += QStringView(text).mid(from, b.column - from);
            break;
        }
        out += QStringView(text).mid(from);
        out += QLatin1Char('\n');
    }
    return out;
}

void LargeTextView::copy()
{
    const TextPos a = selectionStart(), b = selectionEnd();
    if (a == b)
        return;
    if (b.row - a.row >= kMaxCopyRows) {
        QApplication::beep();
        return;
    }
    QApplication::clipboard()->setText(selectedText());
}

void LargeTextView::startFind(const FindRequest& request)
{
    if (!m_reader || request.pattern.isEmpty())
        return;
    if (m_searchThread.joinable()) {
        m_searchCancel->store(true);
        m_searchThread.join();
    }
    if (!m_index.complete) {
        // The whole file is searched once its rows are all known.
        m_pendingFind = request;
        return;
    }
    runFind(request);
}

void LargeTextView::findNext(const QString& pattern, bool matchCase, bool down, bool restart)
{
    FindRequest request;
    request.pattern = pattern;
    request.matchCase = matchCase;
    request.down = down;
    request.caret = selectionStart();
    request.continuing = m_lastFindPos && *m_lastFindPos == request.caret && !restart;
    startFind(request);
}

void LargeTextView::runFind(const FindRequest& request)
{
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_searchCancel = cancel;
    m_searchDone = false;
    m_activeFind = request;
    const quint64 generation = m_generation;
    m_searchThread = std::thread(
        [this, cancel, generation, request, index = m_index, path = m_path, enc = m_encoding] {
            LargeTextReader reader(path, enc);
            const std::optional<TextPos> found = findInFile(reader, index, enc, request, *cancel);
            if (cancel->load())
                return;
            QMetaObject::invokeMethod(
                this, [this, generation, found] { finishFind(generation, found); },
                Qt::QueuedConnection);
        });
}

void LargeTextView::finishFind(quint64 generation, std::optional<TextPos> found)
{
    if (generation != m_generation || m_searchDone)
        return;
    if (m_searchThread.joinable())
        m_searchThread.join();
    m_searchDone = true;
    const QString& pattern = m_activeFind.pattern;
    if (found) {
        // The match is selected: as many units as the pattern has, over line ends too.
        TextPos end = *found;
        qint64 left = pattern.size();
        while (left > 0) {
            const qint64 len = rowLength(end.row);
            if (end.column + left <= len || end.row + 1 >= m_index.rows) {
                end.column = std::min(end.column + left, len);
                break;
            }
            left -= len - end.column + 1;
            end = TextPos{end.row + 1, 0};
        }
        m_anchor = *found;
        m_caret = end;
        // The match's row in the middle of the screen.
        scrollToRow(found->row - visibleRowCount() / 2);
        ensureVisible(*found);
        viewport()->update();
    } else if (m_prompts) {
        m_prompts->message(window(),
                           QStringLiteral("\"") + pattern + QStringLiteral("\" が見つかりません。"),
                           QString(), platform::Prompts::Information);
    }
    m_lastFindPos = selectionStart();
    Q_EMIT findFinished(found.has_value());
}

} // namespace preview
