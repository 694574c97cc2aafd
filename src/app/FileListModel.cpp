#include "app/FileListModel.h"

#include "base/NativePath.h"

#include <cstring>

namespace app
{

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole: {
        const QString name = nameAt(index.row());
        return platform::hasForeignBytes(name) ? platform::displayName(name) : name;
    }
    case Qt::ToolTipRole:
        if (platform::hasForeignBytes(nameAt(index.row())))
            return QStringLiteral("この名前は UTF-8 ではありません（CP932 として表示）");
        return QVariant();
    case Qt::UserRole:
        return nameAt(index.row());
    default:
        return QVariant();
    }
}

void FileListModel::show(std::shared_ptr<const FolderNames> names, ShownRows rows)
{
    beginResetModel();
    m_names = std::move(names);
    m_rows = m_names ? std::move(rows) : nullptr;
    endResetModel();
}

QString FileListModel::nameAt(int row) const
{
    if (row < 0 || row >= count())
        return QString();
    return m_names->nameOf((*m_rows)[row]);
}

int FileListModel::rowOf(const QString& name) const
{
    const QByteArray wanted = platform::toNativePath(name);
    for (int row = 0; row < count(); ++row) {
        const QByteArrayView bytes = bytesAt(row);
        if (bytes.size() == wanted.size() &&
            std::memcmp(bytes.data(), wanted.constData(), static_cast<size_t>(bytes.size())) == 0)
            return row;
    }
    return -1;
}

} // namespace app
