#pragma once

#include "settings/ExpIni.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace platform
{
class Prompts;
}

namespace settings
{

class GeneralSettingsDialog;
class PreviewSettingsDialog;

// Keeps the two settings dialogs, the live holders of every setting. A dialog that is not
// loaded is loaded on first use, as when the program starts; the general dialog's cancel
// unloads it, so its next use reads the settings file again.
class SettingsForms final : public QObject
{
    Q_OBJECT
public:
    SettingsForms(const ExpIni& ini, platform::Prompts& prompts, QWidget* owner);
    ~SettingsForms() override;

    GeneralSettingsDialog* general();
    PreviewSettingsDialog* preview();
    bool isGeneralLoaded() const { return !m_general.isNull(); }
    bool isPreviewLoaded() const { return !m_preview.isNull(); }
    // Where the settings' own messages go, and the window that owns them.
    platform::Prompts& prompts() const { return m_prompts; }
    QWidget* owner() const { return m_owner; }

    // Unloads a dialog. A dialog that may still be inside its own event loop (a cancel) is
    // released once that loop has ended; otherwise (at shutdown) at once.
    void unloadGeneral(bool now = false);
    void unloadPreview(bool now = false);

    // Shows a dialog modally (the general one from the menu, the preview one from the
    // general dialog's button).
    void showGeneral();
    void showPreview();

    // The program's folder picker (owner window, prompt → folder or ""), which the general
    // dialog's browse buttons use, so that they record the last picked folder as every other
    // pick does.
    using FolderPicker = std::function<QString(QWidget*, const QString&)>;
    void setFolderPicker(FolderPicker picker);

Q_SIGNALS:
    // The general dialog's "ＯＫ" wrote the settings.
    void generalConfirmed();

private:
    ExpIni m_ini;
    platform::Prompts& m_prompts;
    QWidget* m_owner;
    QPointer<GeneralSettingsDialog> m_general;
    QPointer<PreviewSettingsDialog> m_preview;
    FolderPicker m_pickFolder;
};

} // namespace settings
