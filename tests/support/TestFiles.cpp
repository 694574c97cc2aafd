#include "TestFiles.h"

#include <QFile>

QString previewDataPath(const QString& name)
{
    return QString::fromLocal8Bit(qgetenv("KORAMO_SOURCE_DIR")) +
           QStringLiteral("/tests/preview/data/") + name;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
