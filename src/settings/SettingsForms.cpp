#include "settings/SettingsForms.h"

#include "settings/GeneralSettingsDialog.h"
#include "settings/PreviewSettingsDialog.h"

namespace settings
{

SettingsForms::SettingsForms(const ExpIni& ini, platform::Prompts& prompts, QWidget* owner)
    : m_ini(ini), m_prompts(prompts), m_owner(owner)
{
}

SettingsForms::~SettingsForms()
{
    unloadPreview(true);
    unloadGeneral(true);
}

GeneralSettingsDialog* SettingsForms::general()
{
    if (!m_general) {
        m_general = new GeneralSettingsDialog(m_ini, m_prompts, m_owner, m_owner);
        m_general->setPreviewOpener([this] { showPreview(); });
        m_general->setFolderPicker(m_pickFolder);
        connect(m_general, &GeneralSettingsDialog::confirmed, this,
                &SettingsForms::generalConfirmed);
        // Unloaded once the cancelled dialog has left its event loop.
        connect(m_general, &GeneralSettingsDialog::unloadRequested, this,
                [this] { unloadGeneral(); });
    }
    return m_general;
}

PreviewSettingsDialog* SettingsForms::preview()
{
    if (!m_preview)
        m_preview = new PreviewSettingsDialog(m_ini, m_prompts, m_owner);
    return m_preview;
}

void SettingsForms::unloadGeneral(bool now)
{
    if (m_general) {
        GeneralSettingsDialog* dialog = m_general;
        m_general = nullptr;
        dialog->hide();
        if (now)
            delete dialog;
        else
            dialog->deleteLater();
    }
}

void SettingsForms::unloadPreview(bool now)
{
    if (m_preview) {
        PreviewSettingsDialog* dialog = m_preview;
        m_preview = nullptr;
        dialog->hide();
        if (now)
            delete dialog;
        else
            dialog->deleteLater();
    }
}

void SettingsForms::showGeneral()
{
    general()->exec();
}

void SettingsForms::showPreview()
{
    preview()->exec();
}

void SettingsForms::setFolderPicker(FolderPicker picker)
{
    m_pickFolder = std::move(picker);
    if (m_general)
        m_general->setFolderPicker(m_pickFolder);
}

} // namespace settings
