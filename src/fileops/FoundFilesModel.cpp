#include "fileops/FoundFilesModel.h"

#include "base/NativePath.h"

namespace fileops
{

FoundFilesModel::FoundFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

int FoundFilesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_files.size());
}

int FoundFilesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FoundFilesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_files.size())
        return {};
    const platform::FoundFile& f = m_files.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Name:
            return platform::displayName(f.name);
        case Folder:
            return platform::displayPath(f.folder);
        case Size:
            // A link to a folder has no size of its own to show; it says what it is.
            return f.folderLink ? QStringLiteral("フォルダへのリンク") : groupedSize(f.size);
        case Modified:
            return f.modified.toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        default:
            return {};
        }
    }
    if (role == Qt::ToolTipRole)
        return platform::displayPath(f.path());
    if (role == Qt::TextAlignmentRole && index.column() == Size)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FoundFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name:
        return QStringLiteral("名前");
    case Folder:
        return QStringLiteral("フォルダ");
    case Size:
        return QStringLiteral("サイズ(ﾊﾞｲﾄ)");
    case Modified:
        return QStringLiteral("更新日時");
    default:
        return {};
    }
}

void FoundFilesModel::append(QList<platform::FoundFile>&& files)
{
    if (files.isEmpty())
        return;
    const int first = int(m_files.size());
    beginInsertRows(QModelIndex(), first, first + int(files.size()) - 1);
    m_files.append(std::move(files));
    endInsertRows();
}

void FoundFilesModel::clear()
{
    beginResetModel();
    m_files.clear();
    endResetModel();
}

QString groupedSize(qint64 bytes)
{
    QString digits = QString::number(bytes);
    for (qsizetype at = digits.size() - 3; at > 0 && digits.at(at - 1).isDigit(); at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

} // namespace fileops
