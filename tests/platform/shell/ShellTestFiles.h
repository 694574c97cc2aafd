#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

// Small helpers for the shell's tests: files with known bytes, a snapshot of a tree, and a
// tmpfs mounted for the test's lifetime (when the test may mount).
namespace shelltest
{

void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Deterministic bytes of the given size (differing per seed).
QByteArray pattern(qsizetype size, int seed);
// Every entry under root by relative path: "F:<bytes>", "D", or "L:<link target>".
QMap<QString, QByteArray> snapshot(const QString& root);
bool isLink(const QString& path);
// The NUL-separated list of the program: each path and a NUL; two more NULs for several.
QString pathList(const QStringList& paths);

class TmpfsMount
{
public:
    explicit TmpfsMount(qint64 bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString why() const { return m_why; }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};

// A small ext4 file system in an image file, mounted through a loop device for the test's
// lifetime (when the test may mount and mkfs.ext4 is there).
class Ext4Image
{
public:
    explicit Ext4Image(qint64 bytes);
    ~Ext4Image();
    Ext4Image(const Ext4Image&) = delete;
    Ext4Image& operator=(const Ext4Image&) = delete;
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path() + QStringLiteral("/mnt"); }
    QString why() const { return m_why; }
    // KiB the file system has written to its device since it was mounted; -1 if unknown.
    qint64 writtenKiB() const;

private:
    QTemporaryDir m_dir;
    QString m_device; // "loop3"
    bool m_mounted = false;
    QString m_why;
};

} // namespace shelltest
