#include "app/FileListBox.h"

#include <QDir>
#include <QRegularExpression>

namespace app {

namespace {
QList<QRegularExpression> masksOf(const QString& pattern)
{
    QList<QRegularExpression> masks;
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QString mask = part.trimmed();
        if (mask == QLatin1String("*.*"))
            mask = QStringLiteral("*");
        masks.append(QRegularExpression(QRegularExpression::wildcardToRegularExpression(mask),
                                        QRegularExpression::CaseInsensitiveOption));
    }
    return masks;
}
} // namespace

bool matchesPattern(const QString& name, const QString& pattern)
{
    for (const QRegularExpression& mask : masksOf(pattern)) {
        if (mask.match(name).hasMatch())
            return true;
    }
    return false;
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
    // Files that are still there stay selected, and the current one stays current.
    const QStringList selected = selectedNames();
    const QString current = fileName();
    const bool sameFolder = m_listedPath == m_path;
    m_listedPath = m_path;
    clear();
    if (m_path.isEmpty())
        return;
    const QList<QRegularExpression> masks = masksOf(m_pattern);
    QDir dir(m_path);
    const QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::System,
                                            QDir::Name | QDir::IgnoreCase);
    QStringList shown;
    shown.reserve(names.size());
    for (const QString& name : names) {
        for (const QRegularExpression& mask : masks) {
            if (mask.match(name).hasMatch()) {
                shown.append(name);
                break;
            }
        }
    }
    addItems(shown);
    if (!sameFolder)
        return;
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem* entry = item(i);
        if (entry->text() == current)
            setCurrentItem(entry, QItemSelectionModel::NoUpdate);
        if (selected.contains(entry->text()))
            entry->setSelected(true);
    }
}

QString FileListBox::fileName() const
{
    const QListWidgetItem* item = currentItem();
    return item ? item->text() : QString();
}

QStringList FileListBox::selectedNames() const
{
    QStringList names;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected())
            names.append(item(i)->text());
    }
    return names;
}

} // namespace app
