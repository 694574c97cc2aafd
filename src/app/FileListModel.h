#pragma once

#include "app/FolderNames.h"

#include <QAbstractListModel>

namespace app
{

// The entries of the file list over a folder's names kept as bytes: the text of an entry is
// made only when the view asks for it. An entry shows its name as it is, or, for a name that is
// not valid UTF-8, its CP932 reading behind a mark, with a tooltip that says so; Qt::UserRole
// gives the name itself, which keeps the bytes.
class FileListModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Shows the given entries of the names in place of the ones shown (a reset of the model).
    void show(std::shared_ptr<const FolderNames> names, ShownRows rows);
    void clear() { show(nullptr, nullptr); }

    const std::shared_ptr<const FolderNames>& names() const { return m_names; }
    int count() const { return m_rows ? static_cast<int>(m_rows->size()) : 0; }
    // The name behind the entry in the row.
    QString nameAt(int row) const;
    QByteArrayView bytesAt(int row) const { return m_names->bytesOf((*m_rows)[row]); }
    // The row of the entry with that name, or -1.
    int rowOf(const QString& name) const;

private:
    std::shared_ptr<const FolderNames> m_names;
    ShownRows m_rows;
};

} // namespace app
