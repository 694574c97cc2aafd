#include "settings/Holders.h"

#include "platform/DriveList.h"
#include "settings/Conversions.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace settings {

const Entry& Holders::rowOf(const QWidget* widget, Control control) const
{
    const Entry* row = entryOfWidget(m_holder, widget->objectName());
    Q_ASSERT_X(row && row->control == control, "settings::Holders::bind",
               "a control the settings table does not name on this dialog");
    return *row;
}

void Holders::bind(QCheckBox* box)
{
    m_boxes.insert(rowOf(box, Control::Check).key, box);
}

void Holders::bind(QLineEdit* box)
{
    m_texts.insert(rowOf(box, Control::Text).key, box);
}

void Holders::bind(platform::DriveList* drive)
{
    m_driveKey = rowOf(drive, Control::Drive).key;
    m_drive = drive;
}

void Holders::bind(QLabel* modeLabel, const std::array<QRadioButton*, 3>& options)
{
    m_modes.insert(rowOf(modeLabel, Control::Mode).key, Mode{modeLabel, options});
}

void Holders::clear()
{
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        applyCheckValue(it.value(), QString::fromLatin1(entry(it.key()).fallback));
    for (auto it = m_texts.cbegin(); it != m_texts.cend(); ++it)
        it.value()->setText(QString::fromLatin1(entry(it.key()).fallback));
    for (auto it = m_modes.cbegin(); it != m_modes.cend(); ++it)
        it.value().label->setText(QString::fromLatin1(entry(it.key()).fallback));
}

bool Holders::load(Key key, const QString& text)
{
    switch (entry(key).control) {
    case Control::Check:
        return applyCheckValue(m_boxes.value(key), text);
    case Control::Text:
        m_texts.value(key)->setText(text);
        return true;
    case Control::Drive:
        m_drive->setDrive(text);
        return true;
    case Control::Mode: {
        // The option with the stored index is chosen; the label keeps the text as stored.
        const Mode mode = m_modes.value(key);
        const std::optional<int> index = toInteger16(text);
        const bool known = index && *index >= 0 && *index <= 2;
        if (known)
            mode.options.at(static_cast<std::size_t>(*index))->setChecked(true);
        mode.label->setText(text);
        return index.has_value();
    }
    case Control::None:
        break;
    }
    return false;
}

QString Holders::value(Key key) const
{
    switch (entry(key).control) {
    case Control::Check:
        return checkValueText(m_boxes.value(key));
    case Control::Text:
        return m_texts.value(key)->text();
    case Control::Drive:
        return m_drive->drive();
    case Control::Mode:
        return m_modes.value(key).label->text();
    case Control::None:
        break;
    }
    return QString();
}

} // namespace settings
