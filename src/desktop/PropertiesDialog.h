#pragma once

#include <QDialog>

#include <memory>

class QFormLayout;
class QLabel;

namespace platform
{

class FolderSizeCounter;

// The properties window of a file or folder: name, type, location, size (a folder's counted
// in the background), times, owner and permissions. Not modal; deletes itself when closed.
class PropertiesDialog final : public QDialog
{
    Q_OBJECT
public:
    PropertiesDialog(QWidget* owner, const QString& path);
    ~PropertiesDialog() override;

    // The size text as the window shows it now.
    QString sizeText() const;

private:
    QLabel* addRow(const QString& name, const QString& objectName, const QString& value);
    void showFolderTotals(qint64 bytes, qint64 files, qint64 folders, bool finished);

    QFormLayout* m_form = nullptr;
    QLabel* m_size = nullptr;
    std::unique_ptr<FolderSizeCounter> m_counter;
};

} // namespace platform
