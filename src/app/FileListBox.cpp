#include "app/FileListBox.h"

#include "app/EarlyFolderRead.h"
#include "app/FileListModel.h"
#include "app/FolderNames.h"
#include "base/NameMasks.h"
#include "base/NativePath.h"

#include <QEventLoop>
#include <QItemSelection>
#include <QMutex>
#include <QSet>
#include <QSignalBlocker>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace app
{

namespace
{
// A new pattern over at most this many names is matched at once, on the window's thread.
constexpr qsizetype kMatchedAtOnce = 50000;
} // namespace

bool matchesPattern(const QString& name, const QString& pattern)
{
    return platform::NameMasks(pattern).matches(name);
}

// What a worker shares with the list: the list itself, for as long as it lives.
struct FileListBox::Channel {
    QMutex mutex;
    FileListBox* box = nullptr;

    // Hands the result to the list on the window's thread, unless the list is gone.
    void deliver(const std::shared_ptr<Result>& result)
    {
        const QMutexLocker lock(&mutex);
        if (FileListBox* list = box)
            QMetaObject::invokeMethod(
                list, [list, result] { list->take(result); }, Qt::QueuedConnection);
    }
};

struct FileListBox::Result {
    bool reading = false; // else a new pattern's entries
    quint64 generation = 0;
    bool keepSelection = false;
    QString pattern;
    std::shared_ptr<const FolderNames> names;
    ShownRows rows;

    // On a worker: keeps the names read and picks the entries of the pattern from them; false
    // when the reading was stopped meanwhile.
    bool pick(std::shared_ptr<const FolderNames> read, const std::atomic<bool>* stop)
    {
        if (!read || stop->load())
            return false;
        names = std::move(read);
        rows = matchingRows(names, pattern, stop);
        return !stop->load();
    }
};

FileListBox::FileListBox(QWidget* parent)
    : QListView(parent), m_model(new FileListModel(this)), m_channel(std::make_shared<Channel>())
{
    m_channel->box = this;
    setModel(m_model);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { Q_EMIT currentEntryChanged(); });
}

FileListBox::~FileListBox()
{
    {
        const QMutexLocker lock(&m_channel->mutex);
        m_channel->box = nullptr;
    }
    stopReading();
    stopMatching();
}

void FileListBox::stopReading()
{
    if (m_readStop)
        m_readStop->store(true);
    m_readStop.reset();
}

void FileListBox::stopMatching()
{
    ++m_matchGeneration; // entries picked before are not shown any more
    if (m_matchStop)
        m_matchStop->store(true);
    m_matchStop.reset();
}

void FileListBox::setPath(const QString& path)
{
    m_path = path;
    startReading();
}

void FileListBox::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    // The names kept are picked from again; a reading under way picks by the new pattern when
    // it ends.
    startMatching();
}

void FileListBox::refresh()
{
    startReading();
}

void FileListBox::startReading()
{
    const bool sameFolder = m_listedPath == m_path && m_kept;
    m_listedPath = m_path;
    ++m_readGeneration;
    stopReading();
    m_readFailed = false;
    if (!sameFolder) {
        // Nothing of another folder stays, not even a new pattern's entries still to come.
        stopMatching();
        m_kept.reset();
        m_model->clear();
    }
    if (m_path.isEmpty())
        return;
    const std::shared_ptr<EarlyFolderRead> early = EarlyFolderRead::take(m_path);
    if (early && takeEarlyRead(*early, sameFolder))
        return;
    auto reader = std::make_shared<FolderReader>(m_path);
    if (!reader->opened()) {
        m_readFailed = true;
        m_kept.reset();
        m_model->clear();
        return;
    }
    if (reader->read(kListedAtOnce)) {
        showRead(reader->finish(), sameFolder);
        return;
    }
    // A large folder: the rest is read, and all of it ordered, on a worker.
    auto stop = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<Result> result = awaitReading(stop, sameFolder);
    QThreadPool::globalInstance()->start([channel = m_channel, reader, stop, result] {
        reader->orderWhileReading();
        while (!reader->read(1 << 16, stop.get())) {
            if (stop->load())
                return;
        }
        if (!stop->load() && result->pick(reader->finish(), stop.get()))
            channel->deliver(result);
    });
}

void FileListBox::showRead(std::shared_ptr<const FolderNames> names, bool sameFolder)
{
    m_kept = std::move(names);
    showEntries(m_kept, matchingRows(m_kept, m_pattern), sameFolder);
    Q_EMIT listed();
}

std::shared_ptr<FileListBox::Result>
FileListBox::awaitReading(std::shared_ptr<std::atomic<bool>> stop, bool sameFolder)
{
    m_readStop = std::move(stop);
    auto result = std::make_shared<Result>();
    result->reading = true;
    result->generation = m_readGeneration;
    result->keepSelection = sameFolder;
    result->pattern = m_pattern;
    return result;
}

bool FileListBox::takeEarlyRead(EarlyFolderRead& early, bool sameFolder)
{
    switch (early.waitForSize()) {
    case EarlyFolderRead::Size::Unreadable:
        // Maybe made or opened to us since: the folder is tried again.
        return false;
    case EarlyFolderRead::Size::Small:
        showRead(early.names(), sameFolder);
        return true;
    case EarlyFolderRead::Size::Large:
        break;
    }
    // The rest is still being read: it is picked from and shown as a worker's reading is.
    const std::shared_ptr<std::atomic<bool>> stop = early.stopFlag();
    const std::shared_ptr<Result> result = awaitReading(stop, sameFolder);
    early.whenRead([channel = m_channel, stop, result](std::shared_ptr<const FolderNames> names) {
        if (result->pick(std::move(names), stop.get()))
            channel->deliver(result);
    });
    return true;
}

void FileListBox::startMatching()
{
    if (!m_kept)
        return;
    stopMatching();
    if (m_kept->size() <= kMatchedAtOnce) {
        showEntries(m_kept, matchingRows(m_kept, m_pattern), true);
        Q_EMIT listed();
        return;
    }
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_matchStop = stop;
    auto result = std::make_shared<Result>();
    result->generation = m_matchGeneration;
    result->keepSelection = true;
    result->pattern = m_pattern;
    result->names = m_kept;
    QThreadPool::globalInstance()->start([channel = m_channel, stop, result] {
        result->rows = matchingRows(result->names, result->pattern, stop.get());
        if (!stop->load())
            channel->deliver(result);
    });
}

void FileListBox::take(const std::shared_ptr<Result>& result)
{
    if (result->reading) {
        if (result->generation != m_readGeneration)
            return; // another reading was asked for since
        m_readStop.reset();
        m_kept = result->names;
        if (result->pattern != m_pattern) {
            startMatching();
            return;
        }
        stopMatching(); // entries of the names read before are not shown any more
    } else {
        if (result->generation != m_matchGeneration || result->names != m_kept)
            return;
        m_matchStop.reset();
    }
    showEntries(result->names, result->rows, result->keepSelection);
    Q_EMIT listed();
}

void FileListBox::finishListing()
{
    if (!isListing())
        return;
    // Looked at after each listing, and now and then: a reading may also end without one (a
    // folder asked for meanwhile that cannot be read).
    QEventLoop loop;
    QTimer check;
    const auto ended = [&] {
        if (!isListing())
            loop.quit();
    };
    const QMetaObject::Connection done = connect(this, &FileListBox::listed, &loop, ended);
    connect(&check, &QTimer::timeout, &loop, ended);
    check.start(20);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(done);
}

void FileListBox::showEntries(std::shared_ptr<const FolderNames> names, ShownRows rows,
                              bool keepSelection)
{
    // A new listing is no selection by the user: the list tells nobody that its current entry
    // changed, so the preview of the selected file is left as it is.
    QStringList selected;
    QString current;
    if (keepSelection) {
        selected = selectedNames();
        current = fileName();
    }
    const QSignalBlocker quiet(this);
    m_model->show(std::move(names), std::move(rows));
    if (keepSelection)
        restoreSelection(selected, current);
}

void FileListBox::restoreSelection(const QStringList& selected, const QString& current)
{
    if (selected.isEmpty() && current.isEmpty())
        return;
    QSet<QByteArray> wanted;
    wanted.reserve(selected.size());
    for (const QString& name : selected)
        wanted.insert(platform::toNativePath(name));
    const QByteArray currentBytes = platform::toNativePath(current);
    QItemSelection selection;
    int first = -1;
    auto close = [&](int end) {
        if (first >= 0)
            selection.select(m_model->index(first, 0), m_model->index(end - 1, 0));
        first = -1;
    };
    const int rows = m_model->count();
    for (int i = 0; i < rows; ++i) {
        const QByteArrayView bytes = m_model->bytesAt(i);
        if (!current.isEmpty() && bytes == QByteArrayView(currentBytes))
            selectionModel()->setCurrentIndex(m_model->index(i, 0), QItemSelectionModel::NoUpdate);
        if (!wanted.isEmpty() &&
            wanted.contains(QByteArray::fromRawData(bytes.data(), bytes.size()))) {
            if (first < 0)
                first = i;
        } else {
            close(i);
        }
    }
    close(rows);
    if (!selection.isEmpty())
        selectionModel()->select(selection, QItemSelectionModel::Select);
}

int FileListBox::count() const
{
    return m_model->count();
}

QString FileListBox::nameAt(int row) const
{
    return m_model->nameAt(row);
}

QString FileListBox::textAt(int row) const
{
    return m_model->data(m_model->index(row, 0)).toString();
}

int FileListBox::rowOf(const QString& name) const
{
    return m_model->rowOf(name);
}

int FileListBox::rowShowing(const QString& text) const
{
    // A name shows itself unless it is not UTF-8; only then is the shown text compared.
    const int row = m_model->rowOf(text);
    if (row >= 0 && !platform::hasForeignBytes(text))
        return row;
    const int rows = m_model->count();
    for (int i = 0; i < rows; ++i) {
        if (textAt(i) == text)
            return i;
    }
    return -1;
}

void FileListBox::setCurrentRow(int row)
{
    setCurrentRow(row, QItemSelectionModel::SelectCurrent);
}

void FileListBox::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command)
{
    selectionModel()->setCurrentIndex(m_model->index(row, 0), command);
}

bool FileListBox::isRowSelected(int row) const
{
    return selectionModel()->isSelected(m_model->index(row, 0));
}

void FileListBox::setRowSelected(int row, bool selected)
{
    selectionModel()->select(m_model->index(row, 0), selected ? QItemSelectionModel::Select
                                                              : QItemSelectionModel::Deselect);
}

QString FileListBox::fileName() const
{
    return m_model->nameAt(currentIndex().row());
}

QList<bool> FileListBox::selectionFlags() const
{
    QList<bool> flags(m_model->count(), false);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (row >= 0 && row < flags.size())
                flags[row] = true;
        }
    }
    return flags;
}

QStringList FileListBox::selectedNames() const
{
    QStringList names;
    const QList<bool> flags = selectionFlags();
    for (int row = 0; row < flags.size(); ++row) {
        if (flags.at(row))
            names.append(m_model->nameAt(row));
    }
    return names;
}

QStringList FileListBox::names() const
{
    QStringList all;
    const int rows = m_model->count();
    all.reserve(rows);
    for (int row = 0; row < rows; ++row)
        all.append(m_model->nameAt(row));
    return all;
}

} // namespace app
