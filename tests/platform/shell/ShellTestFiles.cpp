#include "ShellTestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace shelltest
{

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray pattern(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 2166136261u ^ quint32(seed);
    for (qsizetype i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString relative = QDir(root).relativeFilePath(path);
        if (info.isSymLink()) {
            char target[4096];
            const ssize_t n =
                ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
            entries[relative] = "L:" + QByteArray(target, n > 0 ? n : 0);
        } else if (info.isDir())
            entries[relative] = "D";
        else
            entries[relative] = "F:" + readFile(path);
    }
    return entries;
}

bool isLink(const QString& path)
{
    return QFileInfo(path).isSymLink();
}

QString pathList(const QStringList& paths)
{
    QString list;
    for (const QString& path : paths)
        list += path + QChar(u'\0');
    if (paths.size() >= 2)
        list += QStringLiteral("%1%1").arg(QChar(u'\0'));
    return list;
}

TmpfsMount::TmpfsMount(qint64 bytes)
{
    const QByteArray options = "size=" + QByteArray::number(bytes);
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                options.constData()) == 0)
        m_mounted = true;
    else
        m_why = QString::fromLocal8Bit(std::strerror(errno));
}

TmpfsMount::~TmpfsMount()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

Ext4Image::Ext4Image(qint64 bytes)
{
    const QString image = m_dir.path() + QStringLiteral("/fs.img");
    QDir().mkpath(path());
    {
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(bytes)) {
            m_why = file.errorString();
            return;
        }
    }
    const auto runs = [this](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0)
            return true;
        m_why = program + QStringLiteral(": ") + process.errorString() + u' ' +
                QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return false;
    };
    if (!runs(QStringLiteral("mkfs.ext4"), {QStringLiteral("-q"), QStringLiteral("-F"), image}) ||
        !runs(QStringLiteral("mount"),
              {QStringLiteral("-o"), QStringLiteral("loop"), image, path()}))
        return;
    m_mounted = true;
    m_device = QFileInfo(QString::fromLocal8Bit(QStorageInfo(path()).device())).fileName();
}

Ext4Image::~Ext4Image()
{
    if (m_mounted && ::umount2(QFile::encodeName(path()).constData(), 0) != 0)
        ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
}

qint64 Ext4Image::writtenKiB() const
{
    QFile counter(QStringLiteral("/sys/fs/ext4/%1/session_write_kbytes").arg(m_device));
    if (m_device.isEmpty() || !counter.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const qint64 kib = counter.readAll().trimmed().toLongLong(&ok);
    return ok ? kib : -1;
}

} // namespace shelltest
