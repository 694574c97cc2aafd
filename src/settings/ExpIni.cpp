#include "settings/ExpIni.h"

#include "desktop/Prompts.h"

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

bool ExpIni::save(QList<ProfileEntry>& entries, platform::Prompts& prompts, QWidget* owner) const
{
    const QString file = path();
    if (file.isEmpty())
        return false;
    const ProfileError error = writeProfileStrings(file, entries);
    if (error == ProfileError::None)
        return true;
    prompts.message(owner, unsavedSettingsText(file, error), {}, platform::Prompts::Exclamation);
    return false;
}

QString unsavedSettingsText(const QString& path, ProfileError error)
{
    QString reason;
    switch (error) {
    case ProfileError::BadText:
        reason = QStringLiteral("改行を含む値は保存できません。");
        break;
    case ProfileError::Unreadable:
        reason = QStringLiteral("設定ファイルを読み込めません。");
        break;
    case ProfileError::Unwritable:
        reason = QStringLiteral("設定ファイルまたはそのフォルダに書き込めません。");
        break;
    case ProfileError::Encoding:
        reason = QStringLiteral("設定ファイルに保存できない文字が含まれています。");
        break;
    case ProfileError::None:
        break;
    }
    return path + QStringLiteral(" に設定を保存できませんでした。\n") + reason +
           QStringLiteral("\n変更した設定は終了するまで有効です。");
}

} // namespace settings
