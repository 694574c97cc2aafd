#include "base/Id3Tag.h"

#include "base/Cp932.h"
#include "base/FileKind.h"

#include <QFile>

namespace preview
{

int Id3Tag::read(const QString& path)
{
    const platform::FileKind kind = platform::fileKind(path);
    if (kind == platform::FileKind::Missing || kind == platform::FileKind::Folder)
        return 0;
    m_record.clear();
    // FIFOs, sockets and devices are never opened: they have no tag to read.
    QFile file;
    if (!platform::openRegularFile(path, file) || file.size() < kRecordSize ||
        !file.seek(file.size() - kRecordSize))
        return -1;
    const QByteArray record = file.read(kRecordSize);
    if (record.size() != kRecordSize)
        return -1;
    m_record = record;
    return hasTag() ? 1 : -1;
}

QByteArray Id3Tag::field(int offset, int size) const
{
    return m_record.size() == kRecordSize && hasTag() ? m_record.mid(offset, size) : QByteArray();
}

QString Id3Tag::text(const QByteArray& field)
{
    const qsizetype end = field.indexOf('\0');
    return platform::fromCp932(end < 0 ? field : field.left(end));
}

} // namespace preview
