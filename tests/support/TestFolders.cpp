#include "TestFolders.h"

#include "base/Cp932.h"
#include "base/Paths.h"

#include <QFile>
#include <QStringList>

TestProgramFolder::TestProgramFolder()
{
    platform::setProgramFolder(m_dir.path());
}

TestProgramFolder::~TestProgramFolder()
{
    platform::setProgramFolder(QString());
}

void TestProgramFolder::writeIni(const QByteArray& bytes) const
{
    QFile file(iniPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray TestProgramFolder::readIni() const
{
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray cp932Lines(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines) {
        QByteArray encoded;
        platform::toCp932(line, encoded);
        out += encoded + "\r\n";
    }
    return out;
}
