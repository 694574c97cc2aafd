#include "app/FileListBox.h"

#include "base/NameMasks.h"
#include "base/NativePath.h"
#include "platform/FolderListing.h"

#include <QDir>
#include <QItemSelection>
#include <QSet>
#include <QSignalBlocker>

#include <algorithm>
#include <cstring>
#include <vector>

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

namespace
{

// Every name's sort key, one after the other in one buffer: each character folded as a
// comparison without regard to case folds it, in a byte code that keeps the order of the
// characters (one byte for ASCII, three bytes, from 0x80 up, for any other UTF-16 unit), so
// that comparing two keys byte by byte orders their names as that comparison does. The first
// sixteen bytes are also kept with the key, where most comparisons are decided.
class SortKeys final
{
public:
    struct Key {
        quint64 head[2];
        quint32 offset;
        quint32 length;  // in bytes
        qsizetype index; // of the name
    };

    void add(const QString& name, qsizetype index)
    {
        const size_t offset = m_bytes.size();
        const char16_t* in = reinterpret_cast<const char16_t*>(name.constData());
        const qsizetype size = name.size();
        // At most three bytes a unit; the buffer is cut back to what was written.
        m_bytes.resize(offset + static_cast<size_t>(size) * 3 + 16);
        unsigned char* const start = m_bytes.data() + offset;
        unsigned char* out = start;
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t unit = in[i];
            if (unit < 0x80) {
                *out++ = static_cast<unsigned char>(
                    static_cast<unsigned>(unit - u'A') < 26u ? unit + 32 : unit);
            } else if (QChar::isHighSurrogate(unit) && i + 1 < size &&
                       QChar::isLowSurrogate(in[i + 1])) {
                const char32_t folded =
                    QChar::toCaseFolded(QChar::surrogateToUcs4(unit, in[i + 1]));
                out = put(out, QChar::highSurrogate(folded));
                out = put(out, QChar::lowSurrogate(folded));
                ++i;
            } else {
                out = put(out, static_cast<char16_t>(QChar::toCaseFolded(char32_t(unit))));
            }
        }
        const size_t length = static_cast<size_t>(out - start);
        // The head is read with the bytes after the key as zeros.
        std::memset(out, 0, 16);
        Key key{{0, 0}, static_cast<quint32>(offset), static_cast<quint32>(length), index};
        for (int i = 0; i < 16; ++i)
            key.head[i / 8] = key.head[i / 8] << 8 | start[i];
        m_bytes.resize(offset + length);
        m_keys.push_back(key);
    }

    // The keys in order; equal keys in the order of the names themselves.
    const std::vector<Key>& sorted(const QStringList& names)
    {
        const unsigned char* bytes = m_bytes.data();
        std::sort(m_keys.begin(), m_keys.end(), [bytes, &names](const Key& a, const Key& b) {
            if (a.head[0] != b.head[0])
                return a.head[0] < b.head[0];
            if (a.head[1] != b.head[1])
                return a.head[1] < b.head[1];
            const quint32 common = std::min(a.length, b.length);
            if (common > 16) {
                const int c =
                    std::memcmp(bytes + a.offset + 16, bytes + b.offset + 16, common - 16);
                if (c != 0)
                    return c < 0;
            }
            if (a.length != b.length)
                return a.length < b.length;
            return names.at(a.index) < names.at(b.index);
        });
        return m_keys;
    }

    void reserve(qsizetype names)
    {
        m_keys.reserve(static_cast<size_t>(names));
        m_bytes.reserve(static_cast<size_t>(names) * 24 + 1024);
    }

private:
    static unsigned char* put(unsigned char* out, char16_t unit)
    {
        *out++ = static_cast<unsigned char>(0x80 | (unit >> 9));
        *out++ = static_cast<unsigned char>((unit >> 1) & 0xFF);
        *out++ = static_cast<unsigned char>(unit & 1);
        return out;
    }

    std::vector<Key> m_keys;
    std::vector<unsigned char> m_bytes;
};

QStringList sortedListing(const QStringList& names, const QString& pattern)
{
    const platform::NameMasks masks(pattern);
    SortKeys keys;
    keys.reserve(names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (masks.matches(names.at(i)))
            keys.add(names.at(i), i);
    }
    const std::vector<SortKeys::Key>& order = keys.sorted(names);
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(order.size()));
    for (const SortKeys::Key& key : order)
        shown.append(names.at(key.index));
    return shown;
}

} // namespace

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
    bool read = false;
    const QStringList names = platform::fileNamesIn(m_path, &read);
    m_readFailed = !read;
    const QStringList shown = sortedListing(names, m_pattern);
    // All entries go in at once (one insertion for the whole list rather than one per entry);
    // only names that are not UTF-8 get their shown text and the name behind it afterwards.
    addItems(shown);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (!platform::hasForeignBytes(shown.at(i)))
            continue;
        QListWidgetItem* entry = item(static_cast<int>(i));
        entry->setText(platform::displayName(shown.at(i)));
        entry->setData(Qt::UserRole, shown.at(i));
        entry->setToolTip(QStringLiteral("この名前は UTF-8 ではありません（CP932 として表示）"));
    }
    if (sameFolder)
        restoreSelection(shown, selected, current);
}

void FileListBox::restoreSelection(const QStringList& shown, const QStringList& selected,
                                   const QString& current)
{
    if (selected.isEmpty() && current.isEmpty())
        return;
    const QSet<QString> wanted(selected.begin(), selected.end());
    QItemSelection selection;
    int first = -1;
    auto close = [&](int end) {
        if (first >= 0)
            selection.select(model()->index(first, 0), model()->index(end - 1, 0));
        first = -1;
    };
    for (int i = 0; i < shown.size(); ++i) {
        const QString& name = shown.at(i);
        if (name == current)
            selectionModel()->setCurrentIndex(model()->index(i, 0), QItemSelectionModel::NoUpdate);
        if (wanted.contains(name)) {
            if (first < 0)
                first = i;
        } else {
            close(i);
        }
    }
    close(static_cast<int>(shown.size()));
    if (!selection.isEmpty())
        selectionModel()->select(selection, QItemSelectionModel::Select);
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
