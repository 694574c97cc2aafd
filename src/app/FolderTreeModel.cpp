#include "app/FolderTreeModel.h"

#include "base/NativePath.h"
#include "platform/FolderListing.h"

#include <QCollator>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>

namespace app
{

struct FolderTreeModel::Node {
    enum class State { Unread, Reading, Read };
    QString name;  // as the system gives it; empty for "/"
    QString shown; // the name as shown, when it differs from `name` (not UTF-8)
    Node* parent = nullptr;
    int row = 0; // among its parent's children
    std::vector<std::unique_ptr<Node>> children;
    State state = State::Unread;
    bool readAgain = false;   // asked to read again while a read was under way
    std::uint64_t ticket = 0; // of the read under way
};

// Where the readers' results go: the model while it lives, nowhere afterwards. A reader that
// returns after the model is gone (a stalled mount) drops its result.
struct FolderTreeModel::Mailbox {
    std::mutex mutex;
    FolderTreeModel* model = nullptr;
};

// What a read found, as changes to the rows the folder had when the read started: ranges of
// rows that go (first, last; in ascending order) and runs of new rows, each at the row it has
// in the new order (ascending, so that each lands where it belongs once those before it are in).
struct FolderTreeModel::Found {
    Node* node = nullptr;
    std::uint64_t ticket = 0;
    QString path;
    bool ok = false;
    std::vector<std::pair<int, int>> gone;
    std::vector<std::pair<int, std::vector<std::unique_ptr<Node>>>> runs;
};

namespace
{

// More ranges than this and the folder's rows are all taken out and put in again in one go:
// each range moves the rows after it.
constexpr size_t kMostRanges = 64;

struct Entry {
    QString name;
    QString shown;
};

// Sorted as file managers sort: numbers in names by their value, case ignored, namesakes in the
// display by their bytes. Runs on the reading thread, with a collator of its own.
std::vector<Entry> sortedEntries(const QStringList& names)
{
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(names.size()));
    for (const QString& name : names) {
        Entry entry;
        entry.name = name;
        const QString shown = platform::displayName(name);
        if (shown != name)
            entry.shown = shown;
        entries.push_back(std::move(entry));
    }
    // ICU's sort keys compare as bytes, with the collator's own order.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(entries.size());
    for (const Entry& entry : entries)
        keys.push_back(collator.sortKey(entry.shown.isNull() ? entry.name : entry.shown));
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int byKey = keys[a].compare(keys[b]);
        return byKey != 0 ? byKey < 0 : entries[a].name < entries[b].name;
    });
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (size_t i : order)
        sorted.push_back(std::move(entries[i]));
    return sorted;
}

// Fills in what changed between the rows the folder had (`had`, in their order) and the names
// read now (in the new order).
template <typename NodePtr, typename MakeNode>
void compare(const QStringList& had, std::vector<Entry>& now,
             std::vector<std::pair<int, int>>& gone,
             std::vector<std::pair<int, std::vector<NodePtr>>>& runs, const MakeNode& makeNode)
{
    QSet<QString> nowNames;
    nowNames.reserve(static_cast<qsizetype>(now.size()));
    for (const Entry& entry : now)
        nowNames.insert(entry.name);
    QSet<QString> kept;
    QStringList keptInOrder;
    for (int row = 0; row < had.size(); ++row) {
        if (nowNames.contains(had[row])) {
            kept.insert(had[row]);
            keptInOrder.append(had[row]);
        } else if (!gone.empty() && gone.back().second == row - 1) {
            gone.back().second = row;
        } else {
            gone.emplace_back(row, row);
        }
    }
    qsizetype next = 0; // the next kept row that must come in the new order
    bool inOrder = true;
    for (size_t i = 0; i < now.size() && inOrder; ++i) {
        if (kept.contains(now[i].name)) {
            inOrder = keptInOrder[next++] == now[i].name;
            continue;
        }
        const int row = static_cast<int>(i);
        if (runs.empty() || runs.back().first + static_cast<int>(runs.back().second.size()) != row)
            runs.emplace_back(row, std::vector<NodePtr>());
        runs.back().second.push_back(makeNode(now[i]));
    }
    if (inOrder && gone.size() + runs.size() <= kMostRanges)
        return;
    // Too many scattered changes (or an order that differs from the one the rows were put in
    // with): every row goes and the new ones come in one range.
    gone.clear();
    runs.clear();
    if (!had.isEmpty())
        gone.emplace_back(0, static_cast<int>(had.size()) - 1);
    std::vector<NodePtr> all;
    all.reserve(now.size());
    for (const Entry& entry : now)
        all.push_back(makeNode(entry));
    if (!all.empty())
        runs.emplace_back(0, std::move(all));
}

template <typename Children> void renumber(Children& children, size_t from)
{
    for (size_t i = from; i < children.size(); ++i)
        children[i]->row = static_cast<int>(i);
}

} // namespace

FolderTreeModel::FolderTreeModel(const QIcon& folderIcon, QObject* parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<Node>()),
      m_mailbox(std::make_shared<Mailbox>()), m_icon(folderIcon)
{
    m_mailbox->model = this;
}

FolderTreeModel::~FolderTreeModel()
{
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->model = nullptr;
}

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_root.get();
}

QModelIndex FolderTreeModel::indexOfNode(Node* node) const
{
    if (!node || node == m_root.get())
        return {};
    return createIndex(node->row, 0, node);
}

QString FolderTreeModel::pathOf(const Node* node) const
{
    if (node == m_root.get())
        return QStringLiteral("/");
    QString path;
    for (const Node* up = node; up != m_root.get(); up = up->parent)
        path.prepend(QLatin1Char('/') + up->name);
    return path;
}

FolderTreeModel::Node* FolderTreeModel::nodeAt(const QString& path) const
{
    Node* node = m_root.get();
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const auto at = std::find_if(node->children.begin(), node->children.end(),
                                     [&part](const auto& child) { return child->name == part; });
        if (at == node->children.end())
            return nullptr;
        node = at->get();
    }
    return node;
}

QModelIndex FolderTreeModel::indexOf(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    Node* node = m_root.get();
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (node->state != Node::State::Read) {
            // Asked again while the read is under way, it is not read once more.
            if (node->state == Node::State::Unread)
                read(node);
            return {};
        }
        const auto at = std::find_if(node->children.begin(), node->children.end(),
                                     [&part](const auto& child) { return child->name == part; });
        if (at == node->children.end())
            return {};
        node = at->get();
    }
    return indexOfNode(node);
}

QString FolderTreeModel::filePath(const QModelIndex& index) const
{
    return index.isValid() ? pathOf(nodeOf(index)) : QString();
}

QString FolderTreeModel::fileName(const QModelIndex& index) const
{
    return index.isValid() ? nodeOf(index)->name : QString();
}

void FolderTreeModel::read(Node* node)
{
    if (node->state == Node::State::Reading) {
        node->readAgain = true;
        return;
    }
    node->state = Node::State::Reading;
    node->ticket = ++m_tickets;
    m_reading.insert(node);
    auto found = std::make_shared<Found>();
    found->node = node;
    found->ticket = node->ticket;
    found->path = pathOf(node);
    // The rows as they are now: only this folder's own result changes them until it is in.
    QStringList had;
    had.reserve(static_cast<qsizetype>(node->children.size()));
    for (const auto& child : node->children)
        had.append(child->name);
    std::thread([mailbox = m_mailbox, found, had = std::move(had)] {
        const QStringList names = platform::folderNamesIn(found->path, &found->ok);
        if (found->ok) {
            std::vector<Entry> entries = sortedEntries(names);
            compare(had, entries, found->gone, found->runs, [](const Entry& entry) {
                auto made = std::make_unique<Node>();
                made->name = entry.name;
                made->shown = entry.shown;
                return made;
            });
        }
        const std::lock_guard lock(mailbox->mutex);
        if (FolderTreeModel* model = mailbox->model) {
            QMetaObject::invokeMethod(
                model, [model, found] { model->apply(found); }, Qt::QueuedConnection);
        }
    }).detach();
}

void FolderTreeModel::reread(const QString& path)
{
    if (Node* node = nodeAt(path); node && node->state != Node::State::Unread)
        read(node);
}

void FolderTreeModel::forgetReadsBelow(const Node* node, int first, int last)
{
    for (auto it = m_reading.begin(); it != m_reading.end();) {
        const Node* up = *it;
        while (up->parent && up->parent != node)
            up = up->parent;
        if (up->parent == node && up->row >= first && up->row <= last)
            it = m_reading.erase(it);
        else
            ++it;
    }
}

void FolderTreeModel::apply(const std::shared_ptr<Found>& found)
{
    Node* node = found->node;
    // A folder taken out of the tree while it was read (its parent read again without it, or
    // its node gone and another made in its place) drops the result.
    if (!m_reading.count(node) || node->ticket != found->ticket)
        return;
    m_reading.erase(node);
    const QModelIndex parent = indexOfNode(node);
    auto& children = node->children;
    // A folder that could not be read keeps what it showed.
    if (found->ok) {
        // Ranges that went are taken out from the last up, so that the rows above keep theirs.
        for (auto range = found->gone.rbegin(); range != found->gone.rend(); ++range) {
            beginRemoveRows(parent, range->first, range->second);
            forgetReadsBelow(node, range->first, range->second);
            children.erase(children.begin() + range->first, children.begin() + range->second + 1);
            renumber(children, static_cast<size_t>(range->first));
            endRemoveRows();
        }
        for (auto& [row, nodes] : found->runs) {
            beginInsertRows(parent, row, row + static_cast<int>(nodes.size()) - 1);
            for (auto& child : nodes)
                child->parent = node;
            children.insert(children.begin() + row, std::make_move_iterator(nodes.begin()),
                            std::make_move_iterator(nodes.end()));
            renumber(children, static_cast<size_t>(row));
            endInsertRows();
        }
    }
    const bool again = node->readAgain;
    node->readAgain = false;
    node->state = Node::State::Read;
    if (parent.isValid())
        Q_EMIT dataChanged(parent, parent); // its expand mark follows what it holds
    Q_EMIT directoryLoaded(found->path);
    if (again)
        this->read(node);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* node = nodeOf(parent);
    if (column != 0 || row < 0 || row >= static_cast<int>(node->children.size()))
        return {};
    return createIndex(row, column, node->children[static_cast<size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    return indexOfNode(nodeOf(child)->parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        const Node* node = nodeOf(index);
        return node->shown.isNull() ? node->name : node->shown;
    }
    case Qt::DecorationRole:
        return m_icon;
    default:
        return {};
    }
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    // A folder not read yet may hold folders: it can be opened, and is read then.
    const Node* node = nodeOf(parent);
    return node->state != Node::State::Read || !node->children.empty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const
{
    return nodeOf(parent)->state == Node::State::Unread;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent)
{
    Node* node = nodeOf(parent);
    if (node->state == Node::State::Unread)
        read(node);
}

} // namespace app
