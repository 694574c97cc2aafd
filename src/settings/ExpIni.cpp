#include "settings/ExpIni.h"

#include "settings/IniFile.h"

#include <QLabel>

namespace settings
{

ExpIni::ExpIni(QLabel* pathLabel) : m_pathLabel(pathLabel) {}

QString ExpIni::path() const
{
    return m_pathLabel ? m_pathLabel->text() : QString();
}

QString ExpIni::read(const QString& section, const QString& key) const
{
    const QString file = path();
    if (file.isEmpty())
        return QString();
    return readProfileString(file, section, key);
}

void ExpIni::write(const QString& section, const QString& key, const QString& value) const
{
    const QString file = path();
    if (file.isEmpty())
        return;
    writeProfileString(file, section, key, value);
}

} // namespace settings
