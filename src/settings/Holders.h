#pragma once

#include "settings/SettingsTable.h"

#include <QMap>
#include <QString>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace platform
{
class DriveList;
}

namespace settings
{

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

    QCheckBox* box(Key key) const { return m_boxes.value(key); }
    QLineEdit* textBox(Key key) const { return m_texts.value(key); }

private:
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
};

} // namespace settings
