#include "app/FolderTreeModel.h"

#include "base/NativePath.h"
#include "platform/FolderListing.h"

#include <QCollator>
#include <QStringList>

#include <algorithm>
#include <mutex>
#include <thread>

namespace app
{

struct FolderTreeModel::Node {
    enum class State { Unread, Reading, Read };
    QString name; // as the system gives it; empty for "/"
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    State state = State::Unread;
    bool readAgain = false; // asked to read again while a read was under way
};

// Where the readers' results go: the model while it lives, nowhere afterwards. A reader that
// returns after the model is gone (a stalled mount) drops its result.
struct FolderTreeModel::Mailbox {
    std::mutex mutex;
    FolderTreeModel* model = nullptr;
};

namespace
{

QCollator& nameOrder()
{
    // Numbers in names by their value, case ignored, as file managers sort.
    static QCollator collator = [] {
        QCollator c;
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

bool before(const QString& a, const QString& b)
{
    const int order = nameOrder().compare(platform::displayName(a), platform::displayName(b));
    return order != 0 ? order < 0 : a < b;
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
    const auto& siblings = node->parent->children;
    const auto at = std::find_if(siblings.begin(), siblings.end(),
                                 [node](const auto& sibling) { return sibling.get() == node; });
    return createIndex(static_cast<int>(at - siblings.begin()), 0, node);
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
    std::thread([mailbox = m_mailbox, path = pathOf(node)] {
        bool ok = false;
        const QStringList names = platform::folderNamesIn(path, &ok);
        const std::lock_guard lock(mailbox->mutex);
        if (FolderTreeModel* model = mailbox->model) {
            QMetaObject::invokeMethod(
                model, [model, path, names, ok] { model->apply(path, names, ok); },
                Qt::QueuedConnection);
        }
    }).detach();
}

void FolderTreeModel::reread(const QString& path)
{
    if (Node* node = nodeAt(path); node && node->state != Node::State::Unread)
        read(node);
}

void FolderTreeModel::apply(const QString& path, const QStringList& found, bool ok)
{
    Node* node = nodeAt(path);
    if (!node)
        return; // its parent was read again without it
    const QModelIndex parent = indexOfNode(node);
    QStringList names = found;
    std::sort(names.begin(), names.end(), before);
    // A folder that could not be read keeps what it showed.
    if (ok) {
        // Folders that went are taken out, from the last row up.
        for (int row = static_cast<int>(node->children.size()) - 1; row >= 0; --row) {
            if (names.contains(node->children[static_cast<size_t>(row)]->name))
                continue;
            beginRemoveRows(parent, row, row);
            node->children.erase(node->children.begin() + row);
            endRemoveRows();
        }
        // New ones go in at their place in the order.
        for (const QString& name : names) {
            auto& children = node->children;
            const auto at = std::lower_bound(
                children.begin(), children.end(), name,
                [](const auto& child, const QString& n) { return before(child->name, n); });
            if (at != children.end() && (*at)->name == name)
                continue;
            const int row = static_cast<int>(at - children.begin());
            beginInsertRows(parent, row, row);
            auto child = std::make_unique<Node>();
            child->name = name;
            child->parent = node;
            children.insert(children.begin() + row, std::move(child));
            endInsertRows();
        }
    }
    const bool again = node->readAgain;
    node->readAgain = false;
    node->state = Node::State::Read;
    if (parent.isValid())
        Q_EMIT dataChanged(parent, parent); // its expand mark follows what it holds
    Q_EMIT directoryLoaded(path);
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
    case Qt::ToolTipRole:
        return platform::displayName(nodeOf(index)->name);
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
