#include "app/FileListBox.h"

#include "platform/FolderListing.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <algorithm>

namespace app {

namespace {

// One mask of a pattern. "*" and "*.*" match every name; "*.ext" is a case-insensitive
// suffix test; anything else goes through a wildcard expression.
struct Mask {
    enum Kind { All, Suffix, Wildcard } kind = All;
    QString suffix;
    QRegularExpression expression;

    bool matches(const QString& name) const
    {
        switch (kind) {
        case All: return true;
        case Suffix: return name.endsWith(suffix, Qt::CaseInsensitive);
        case Wildcard: return expression.match(name).hasMatch();
        }
        return false;
    }
};

QList<Mask> masksOf(const QString& pattern)
{
    static const QRegularExpression plainSuffix(QStringLiteral("^\\*(\\.[^*?\\[\\]]+)$"));
    QList<Mask> masks;
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString mask = part.trimmed();
        Mask m;
        if (mask == QLatin1String("*.*") || mask == QLatin1String("*")) {
            m.kind = Mask::All;
        } else if (const QRegularExpressionMatch suffix = plainSuffix.match(mask); suffix.hasMatch()) {
            m.kind = Mask::Suffix;
            m.suffix = suffix.captured(1);
        } else {
            m.kind = Mask::Wildcard;
            m.expression = QRegularExpression(QRegularExpression::wildcardToRegularExpression(mask),
                                              QRegularExpression::CaseInsensitiveOption);
        }
        masks.append(m);
    }
    return masks;
}

bool anyMatches(const QList<Mask>& masks, const QString& name)
{
    for (const Mask& mask : masks) {
        if (mask.matches(name))
            return true;
    }
    return false;
}

} // namespace

bool matchesPattern(const QString& name, const QString& pattern)
{
    return anyMatches(masksOf(pattern), name);
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
    const QList<Mask> masks = masksOf(m_pattern);
    QStringList shown;
    bool read = false;
    QStringList names = platform::fileNamesIn(m_path, &read);
    m_readFailed = !read;
    for (QString& name : names) {
        if (anyMatches(masks, name))
            shown.append(std::move(name));
    }
    std::sort(shown.begin(), shown.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
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
