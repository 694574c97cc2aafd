#pragma once

#include "base/IniFile.h"

#include <QList>
#include <QPointer>
#include <QString>

class QLabel;
class QWidget;

namespace platform
{
class Prompts;
}

namespace settings
{

// The settings file as the program uses it: its path is held in a (hidden) label of the main
// window, and every read or write goes to the file at that path. Reads give "" for anything
// missing.
class ExpIni final
{
public:
    explicit ExpIni(QLabel* pathLabel = nullptr);

    QString path() const;
    QString read(const QString& section, const QString& key) const;
    // Writes the keys in one locked read-modify-write of the file (see writeProfileStrings):
    // a keepStored entry comes back with the value the file holds. When the file cannot be
    // written the user is told, with its path, and false comes back.
    bool save(QList<ProfileEntry>& entries, platform::Prompts& prompts, QWidget* owner) const;

private:
    QPointer<QLabel> m_pathLabel;
};

// The text that tells the user why the settings file at path was not written.
QString unsavedSettingsText(const QString& path, ProfileError error);

} // namespace settings
