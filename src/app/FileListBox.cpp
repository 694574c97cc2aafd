#include "app/FileListBox.h"

#include "platform/FolderListing.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <algorithm>

namespace app
{

namespace
{

// One mask of a pattern. "*" and "*.*" match every name; "*.ext" is a case-insensitive
// suffix test; anything else goes through a wildcard expression.
struct Mask {
    enum Kind { All, Suffix, Wildcard } kind = All;
    QString suffix;
    QRegularExpression expression;

    bool matches(const QString& name) const
    {
        switch (kind) {
        case All:
            return true;
        case Suffix:
            return name.endsWith(suffix, Qt::CaseInsensitive);
        case Wildcard:
            return expression.match(name).hasMatch();
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
        } else if (const QRegularExpressionMatch suffix = plainSuffix.match(mask);
                   suffix.hasMatch()) {
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
