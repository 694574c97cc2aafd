#pragma once

#include "settings/ExpIni.h"
#include "settings/Holders.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;

namespace platform
{
class DriveList;
class Prompts;
} // namespace platform

namespace settings
{

// The general settings dialog. Its check boxes and text boxes are the live settings the rest
// of the program reads. Loading reads them from the settings file; "ＯＫ" writes every key and
// hides the dialog; "キャンセル" (or closing the window) unloads it, so the next use reads the
// file again.
class GeneralSettingsDialog final : public QDialog
{
    Q_OBJECT
public:
    GeneralSettingsDialog(const ExpIni& ini, platform::Prompts& prompts, QWidget* pickerOwner,
                          QWidget* parent = nullptr);

    // Reads every control from the settings file; a missing or non-numeric value leaves its
    // control as it is.
    void load();

    // The check box that holds a setting.
    QCheckBox* box(Key key) const { return m_holders.box(key); }
    // Sets the control of a setting from its stored text (false: not a number, left as it was).
    bool load(Key key, const QString& text) { return m_holders.load(key, text); }
    // The text the control of a setting stores.
    QString value(Key key) const { return m_holders.value(key); }
    // Text1 … Text5, the favourite folders.
    QLineEdit* folderBox(int number) const;
    platform::DriveList* driveList() const { return m_drive; }

    // What "プレビューの設定" does: set by the owner of both dialogs.
    void setPreviewOpener(std::function<void()> opener) { m_openPreview = std::move(opener); }
    // What the browse buttons ask for a folder with (owner window, prompt → folder or ""):
    // set by the owner to the program's folder picker.
    void setFolderPicker(std::function<QString(QWidget*, const QString&)> picker)
    {
        m_pickFolder = std::move(picker);
    }

    void confirm();         // "ＯＫ"
    void reject() override; // "キャンセル" and the close box

Q_SIGNALS:
    // "ＯＫ" wrote the settings; the main window takes the favourites and the network item.
    void confirmed();
    // "キャンセル": the dialog is to be unloaded.
    void unloadRequested();

private:
    ExpIni m_ini;
    platform::Prompts& m_prompts;
    QWidget* m_pickerOwner;
    platform::DriveList* m_drive;
    QList<QLineEdit*> m_folders;
    Holders m_holders{Holder::General};
    std::function<void()> m_openPreview;
    std::function<QString(QWidget*, const QString&)> m_pickFolder;
};

} // namespace settings
