#include "app/FileListBox.h"

#include "platform/FolderListing.h"
#include "platform/NameMasks.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QSignalBlocker>

#include <algorithm>

namespace app
{

bool matchesPattern(const QString& name, const QString& pattern)
{
    return platform::NameMasks(pattern).matches(name);
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

void FileListBox::setPath(const QString& path)
{
    m_path = path;
    refresh();
}

void FileListBox::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileListBox::refresh()
{
    // Files that are still there stay selected, and the current one stays current. A refresh
    // is no selection by the user: the list tells nobody that its current entry changed, so
    // the preview of the selected file is left as it is.
    const QSignalBlocker quiet(this);
    const QStringList selected = selectedNames();
    const QString current = fileName();
    const bool sameFolder = m_listedPath == m_path;
    m_listedPath = m_path;
    clear();
    m_readFailed = false;
    if (m_path.isEmpty())
        return;
    const platform::NameMasks masks(m_pattern);
    QStringList shown;
    bool read = false;
    QStringList names = platform::fileNamesIn(m_path, &read);
    m_readFailed = !read;
    for (QString& name : names) {
        if (masks.matches(name))
            shown.append(std::move(name));
    }
    std::sort(shown.begin(), shown.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    for (const QString& name : shown) {
        auto* entry = new QListWidgetItem(platform::displayName(name), this);
        if (platform::hasForeignBytes(name)) {
            entry->setData(Qt::UserRole, name);
            entry->setToolTip(
                QStringLiteral("この名前は UTF-8 ではありません（CP932 として表示）"));
        }
    }
    if (!sameFolder)
        return;
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem* entry = item(i);
        if (nameOf(entry) == current)
            setCurrentItem(entry, QItemSelectionModel::NoUpdate);
        if (selected.contains(nameOf(entry)))
            entry->setSelected(true);
    }
}

QString FileListBox::nameOf(const QListWidgetItem* entry)
{
    if (!entry)
        return QString();
    const QVariant name = entry->data(Qt::UserRole);
    return name.isValid() ? name.toString() : entry->text();
}

QString FileListBox::fileName() const
{
    return nameOf(currentItem());
}

QStringList FileListBox::selectedNames() const
{
    QStringList names;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected())
            names.append(nameOf(item(i)));
    }
    return names;
}

QStringList FileListBox::names() const
{
    QStringList all;
    for (int i = 0; i < count(); ++i)
        all.append(nameOf(item(i)));
    return all;
}

} // namespace app
