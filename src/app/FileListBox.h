#pragma once

#include <QListWidget>
#include <QString>
#include <QStringList>

namespace app
{

// The file list: the files of one folder whose names match a pattern, a list of wildcard
// masks separated by ";" ("*.txt;*.log"), compared without regard to case. Several files
// may be selected.
class FileListBox final : public QListWidget
{
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    QString pattern() const { return m_pattern; }
    void setPath(const QString& path);
    void setPattern(const QString& pattern);
    // Re-reads the folder.
    void refresh();
    // True when the last reading of the folder failed (missing, or no permission to read).
    bool readFailed() const { return m_readFailed; }
    // The name of the current entry, or empty.
    QString fileName() const;
    // The names of the selected entries in list order.
    QStringList selectedNames() const;
    // The name of every entry in list order.
    QStringList names() const;
    // The file's name behind an entry. An entry shows the name as it is, or, for a name that
    // is not valid UTF-8, its CP932 reading behind a mark; the name itself keeps the bytes.
    static QString nameOf(const QListWidgetItem* entry);

private:
    // Selects again the names that were selected and makes the current one current again.
    void restoreSelection(const QStringList& shown, const QStringList& selected,
                          const QString& current);

    QString m_path;
    QString m_listedPath;
    QString m_pattern = QStringLiteral("*.*");
    bool m_readFailed = false;
};

// True when the name matches one of the masks of the pattern. "*.*" matches every name, also
// one without a dot, as on the platform the masks come from.
bool matchesPattern(const QString& name, const QString& pattern);

} // namespace app
