#pragma once

#include "platform/shell/FileSearch.h"

#include <QAbstractTableModel>
#include <QList>

namespace fileops
{

// The files a search has found, in the order they were found: name, folder, size and date.
// Names that are not UTF-8 are shown as the file list shows them; the real name stays behind.
class FoundFilesModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Folder, Size, Modified, ColumnCount };

    explicit FoundFilesModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void append(QList<platform::FoundFile>&& files);
    void clear();
    const platform::FoundFile& file(int row) const { return m_files.at(row); }

private:
    QList<platform::FoundFile> m_files;
};

// "1,234,567": a size in bytes with a separator every three digits.
QString groupedSize(qint64 bytes);

} // namespace fileops
