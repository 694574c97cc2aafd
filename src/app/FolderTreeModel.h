#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

namespace app
{

// The folders of the file system as a tree below "/", read a folder at a time when the tree
// needs it. Names are kept as the system gives them (bytes that are not UTF-8 included, see
// platform/NativePath.h), so every folder can be entered and its path goes back to the system
// unchanged; a name that is not UTF-8 is shown as CP932 behind its mark. Each folder is read on
// a thread of its own: a folder on a mount that does not answer leaves the tree usable, and
// its rows come in when the read returns (or never). The thread also sorts the names and works
// out which rows come and go, so that a folder of a hundred thousand folders reaches the window
// as a few ranges of rows.
class FolderTreeModel final : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit FolderTreeModel(const QIcon& folderIcon, QObject* parent = nullptr);
    ~FolderTreeModel() override;

    // The entry of an absolute, clean path, or an invalid index while a folder on the way to it
    // is not read yet (reading it is started) or the folder is not in the tree.
    QModelIndex indexOf(const QString& path);
    QString filePath(const QModelIndex& index) const;
    QString fileName(const QModelIndex& index) const;
    // Reads the folder's entries again (rows come and go to match).
    void reread(const QString& path);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

Q_SIGNALS:
    // A folder's entries were read (path as filePath gives it).
    void directoryLoaded(const QString& path);

private:
    struct Node;
    struct Mailbox;
    struct Found;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOfNode(Node* node) const;
    QString pathOf(const Node* node) const;
    Node* nodeAt(const QString& path) const;
    void read(Node* node);
    void apply(const std::shared_ptr<Found>& found);
    // A read under way below rows first..last of `node`, which are about to go, is forgotten.
    void forgetReadsBelow(const Node* node, int first, int last);

    std::unique_ptr<Node> m_root;
    std::shared_ptr<Mailbox> m_mailbox;
    QIcon m_icon;
    // The folders being read; a result counts only for a node still here with its ticket.
    std::unordered_set<const Node*> m_reading;
    std::uint64_t m_tickets = 0;
};

} // namespace app
