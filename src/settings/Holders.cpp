#include "settings/Holders.h"

#include "base/Conversions.h"
#include "desktop/DriveList.h"
#include "settings/CheckBoxValue.h"
#include "settings/ExpIni.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace settings
{

const Entry* Holders::rowOf(const QWidget* widget, Control control) const
{
    const Entry* row = entryOfWidget(m_holder, widget->objectName());
    Q_ASSERT_X(row && row->control == control, "settings::Holders::bind",
               "a control the settings table does not name on this dialog");
    return row && row->control == control ? row : nullptr;
}

void Holders::bind(QCheckBox* box)
{
    if (const Entry* row = rowOf(box, Control::Check))
        m_boxes.insert(row->key, box);
}

void Holders::bind(QLineEdit* box)
{
    if (const Entry* row = rowOf(box, Control::Text))
        m_texts.insert(row->key, box);
}

void Holders::bind(platform::DriveList* drive)
{
    if (rowOf(drive, Control::Drive))
        m_drive = drive;
}

void Holders::bind(QLabel* modeLabel, const std::array<QRadioButton*, 3>& options)
{
    if (const Entry* row = rowOf(modeLabel, Control::Mode))
        m_modes.insert(row->key, Mode{modeLabel, options});
}

void Holders::clear()
{
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        applyCheckValue(it.value(), QString::fromLatin1(entry(it.key()).fallback));
    for (auto it = m_texts.cbegin(); it != m_texts.cend(); ++it)
        it.value()->setText(QString::fromLatin1(entry(it.key()).fallback));
    for (auto it = m_modes.cbegin(); it != m_modes.cend(); ++it)
        it.value().label->setText(QString::fromLatin1(entry(it.key()).fallback));
    m_settled.clear();
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        settle(it.key());
    for (auto it = m_texts.cbegin(); it != m_texts.cend(); ++it)
        settle(it.key());
    for (auto it = m_modes.cbegin(); it != m_modes.cend(); ++it)
        settle(it.key());
    if (m_drive)
        settle(Key::FavouriteDrive);
}

bool Holders::load(Key key, const QString& text)
{
    const bool taken = apply(key, text);
    settle(key);
    return taken;
}

bool Holders::apply(Key key, const QString& text)
{
    switch (entry(key).control) {
    case Control::Check:
        if (QCheckBox* box = m_boxes.value(key))
            return applyCheckValue(box, text);
        return false;
    case Control::Text:
        if (QLineEdit* box = m_texts.value(key)) {
            box->setText(text);
            return true;
        }
        return false;
    case Control::Drive:
        if (m_drive && entry(key).holder == m_holder) {
            m_drive->setDrive(text);
            return true;
        }
        return false;
    case Control::Mode: {
        if (!m_modes.contains(key))
            return false;
        // The option with the stored index is chosen; the label keeps the text as stored.
        const Mode mode = m_modes.value(key);
        const std::optional<int> index = toInteger16(text);
        if (index && *index >= 0 && *index <= 2)
            mode.options.at(static_cast<std::size_t>(*index))->setChecked(true);
        mode.label->setText(text);
        return index.has_value();
    }
    case Control::None:
        break;
    }
    return false;
}

bool Holders::save(std::span<const Key> keys, const ExpIni& ini, platform::Prompts& prompts,
                   QWidget* owner)
{
    QList<ProfileEntry> entries;
    for (const Key key : keys)
        entries.append({sectionOf(key), nameOf(key), value(key), !changed(key)});
    if (!ini.save(entries, prompts, owner))
        return false;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Key key = keys[static_cast<std::size_t>(i)];
        if (entries.at(i).keepStored)
            load(key, entries.at(i).value);
        else
            settle(key);
    }
    return true;
}

QString Holders::value(Key key) const
{
    switch (entry(key).control) {
    case Control::Check:
        if (const QCheckBox* box = m_boxes.value(key))
            return checkValueText(box);
        break;
    case Control::Text:
        if (const QLineEdit* box = m_texts.value(key))
            return box->text();
        break;
    case Control::Drive:
        if (m_drive && entry(key).holder == m_holder)
            return m_drive->drive();
        break;
    case Control::Mode:
        if (m_modes.contains(key))
            return m_modes.value(key).label->text();
        break;
    case Control::None:
        break;
    }
    return QString();
}

} // namespace settings
