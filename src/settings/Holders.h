#pragma once

#include "settings/SettingsTable.h"

#include <QMap>
#include <QString>

#include <array>
#include <span>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace platform
{
class DriveList;
class Prompts;
} // namespace platform

namespace settings
{

class ExpIni;

// The controls of one settings dialog, each bound to its row of the settings table by the
// control's name. It gives a stored text to the control that holds it and takes the text back
// for writing, as the table's control kind says.
class Holders final
{
public:
    explicit Holders(Holder holder) : m_holder(holder) {}

    // Binds a control to the row of the same name on this dialog; every control the table
    // names on it must be bound once.
    void bind(QCheckBox* box);
    void bind(QLineEdit* box);
    void bind(platform::DriveList* drive);
    // A mode: the hidden label of the chosen index and the three option buttons.
    void bind(QLabel* modeLabel, const std::array<QRadioButton*, 3>& options);

    // Shows the table's fallback in every bound control.
    void clear();

    // Sets the control of key from a stored text. A check box or a mode index that is not a
    // number leaves the control as it is and gives false; a text always takes.
    bool load(Key key, const QString& text);
    // The text the control of key stores.
    QString value(Key key) const;

    // True when the user changed the control of key since it was last loaded or saved.
    bool changed(Key key) const { return value(key) != m_settled.value(key); }
    // The control's value is now the one the file holds.
    void settle(Key key) { m_settled.insert(key, value(key)); }

    // Writes the keys in their order in one locked save of the file. A key the user changed
    // is written; any other key the file holds is left as it is there and its control takes
    // the stored value (another instance may have saved it meanwhile); a missing key is
    // written with the control's value. False when the file could not be written: the user
    // has been told, and the changed keys stay changed.
    bool save(std::span<const Key> keys, const ExpIni& ini, platform::Prompts& prompts,
              QWidget* owner);

    QCheckBox* box(Key key) const { return m_boxes.value(key); }
    QLineEdit* textBox(Key key) const { return m_texts.value(key); }

private:
    bool apply(Key key, const QString& text);
    // The row that names the control on this dialog, or nullptr.
    const Entry* rowOf(const QWidget* widget, Control control) const;

    struct Mode {
        QLabel* label = nullptr;
        std::array<QRadioButton*, 3> options{};
    };

    Holder m_holder;
    QMap<Key, QCheckBox*> m_boxes;
    QMap<Key, QLineEdit*> m_texts;
    QMap<Key, Mode> m_modes;
    platform::DriveList* m_drive = nullptr;
    QMap<Key, QString> m_settled; // each control's value as last loaded or saved
};

} // namespace settings
