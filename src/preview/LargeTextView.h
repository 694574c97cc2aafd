#pragma once

#include "preview/LargeTextFile.h"
#include "preview/LargeTextSearch.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace platform
{
class Prompts;
}

namespace preview
{

// A read-only view of a text file of any size. The file is read by position, a screen at a
// time; its row index is built by a worker thread a piece at a time while the first screen is
// already shown, and the rows known so far can be scrolled to at once. Searching runs on a
// worker as well, over the whole file. Every worker is stopped, and its late results
// dropped, when another file is opened, the encoding changes or the view is closed.
class LargeTextView final : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit LargeTextView(QWidget* parent = nullptr);
    ~LargeTextView() override;

    // Shows the file in the encoding its first bytes suggest, or in `encoding` when given.
    // Returns false when the file cannot be opened (the view is then empty).
    bool open(const QString& path, const QByteArray& encoding = {});
    // Stops the workers and empties the view.
    void close();
    // Stops the workers; what is shown stays.
    void abandon();

    QString path() const { return m_path; }
    // The ICU name of the encoding the text is decoded from.
    QByteArray encoding() const { return m_encoding; }
    // Decodes the file again in another encoding; the rows are counted again.
    void setEncoding(const QByteArray& encoding);

    qint64 rowCount() const { return m_index.rows; }
    bool indexComplete() const { return m_index.complete; }
    bool indexing() const { return m_indexThread.joinable() && !m_index.complete; }
    QString rowText(qint64 row);
    qint64 firstVisibleRow() const;
    int visibleRowCount() const;
    void scrollToRow(qint64 row);

    TextPos selectionStart() const { return std::min(m_anchor, m_caret); }
    TextPos selectionEnd() const { return std::max(m_anchor, m_caret); }
    void setSelection(const TextPos& anchor, const TextPos& caret);
    QString selectedText();
    void copy();

    // Where the not-found box goes (none: no box).
    void setPrompts(platform::Prompts* prompts) { m_prompts = prompts; }
    // Searches from the request's caret on a worker once the index is complete; a match is
    // selected and scrolled to, otherwise the not-found box is shown.
    void startFind(const FindRequest& request);
    // The same from the selection start, continuing when the selection start is where the
    // last search left it and the pattern was not edited since (restart).
    void findNext(const QString& pattern, bool matchCase, bool down, bool restart);
    bool searching() const { return m_searchThread.joinable() && !m_searchDone; }

Q_SIGNALS:
    void indexProgress(qint64 rows, bool complete);
    void encodingChanged(const QByteArray& encoding);
    void findFinished(bool found);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void startIndexing();
    void addPiece(quint64 generation, const IndexPiece& piece);
    void finishFind(quint64 generation, std::optional<TextPos> found);
    void runFind(const FindRequest& request);
    void stopWorkers();
    void updateScrollBars();
    const std::vector<Row>& cachedRows(qint64 first, qint64 count);
    int lineHeight() const;
    TextPos posAt(const QPoint& point);
    void moveCaret(const TextPos& to, bool extend);
    void ensureVisible(const TextPos& pos);
    qint64 rowLength(qint64 row);

    QString m_path;
    QByteArray m_encoding;
    std::unique_ptr<LargeTextReader> m_reader;
    RowIndex m_index;
    // Bumped whenever the file or encoding changes: results of older workers are dropped.
    quint64 m_generation = 0;
    std::thread m_indexThread;
    std::shared_ptr<std::atomic<bool>> m_indexCancel;
    std::thread m_searchThread;
    std::shared_ptr<std::atomic<bool>> m_searchCancel;
    bool m_searchDone = true;
    std::optional<FindRequest> m_pendingFind;
    FindRequest m_activeFind;
    std::optional<TextPos> m_lastFindPos;
    platform::Prompts* m_prompts = nullptr;
    qint64 m_cacheFirst = -1;
    std::vector<Row> m_cache;
    TextPos m_anchor;
    TextPos m_caret;
    int m_widest = 0;
};

} // namespace preview
