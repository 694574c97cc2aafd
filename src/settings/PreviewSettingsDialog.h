#pragma once

#include "settings/ExpIni.h"
#include "settings/Holders.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace settings
{

// The preview settings dialog: a ticked box turns the preview of that kind of file off, and
// two custom rules preview one more extension each in a chosen mode. Its controls are the
// live settings; they are filled when the main window starts. "OK" writes the file and hides
// the dialog; "キャンセル" only hides it, so changes stay in force until the program exits.
class PreviewSettingsDialog final : public QDialog
{
    Q_OBJECT
public:
    PreviewSettingsDialog(const ExpIni& ini, platform::Prompts& prompts, QWidget* parent = nullptr);

    // The check box that holds a setting (a kind of preview, or a rule in force).
    QCheckBox* box(Key key) const { return m_holders.box(key); }
    // Sets the control of a setting from its stored text (false: not a number, left as it was).
    bool load(Key key, const QString& text) { return m_holders.load(key, text); }
    // The text the control of a setting stores.
    QString value(Key key) const { return m_holders.value(key); }
    // Text1, Text2: the custom extensions.
    QLineEdit* extensionBox(int rule) const;
    // The option button of a rule (1 or 2) with index 0 "テキスト", 1 "HTML", 2 "絵".
    QRadioButton* option(int rule, int index) const;
    // Label4, Label5: the chosen mode of each rule as text.
    QLabel* modeLabel(int rule) const;

    // The nine kind boxes that "すべて" disables.
    QList<QCheckBox*> kindBoxes() const;
    // The boxes of the document kinds (PDF, the further pictures, Markdown, video, sound), in
    // a column after the design's controls; "すべて" disables them too.
    QList<QCheckBox*> documentBoxes() const;

    void confirm();         // "OK"
    void reject() override; // "キャンセル" and the close box

private:
    ExpIni m_ini;
    platform::Prompts& m_prompts;
    Holders m_holders{Holder::Preview};
    QCheckBox* m_all = nullptr;
    QList<QCheckBox*> m_kinds;
    QList<QCheckBox*> m_documents;
    QLineEdit* m_extensions[2] = {};
    QRadioButton* m_options[2][3] = {};
    QLabel* m_modes[2] = {};
};

// What the dialog stores for an extension box: lower case, with a leading "." ("" → ".").
QString normalisedExtension(const QString& text);

} // namespace settings
