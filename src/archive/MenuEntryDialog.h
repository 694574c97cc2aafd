#pragma once

#include <QDialog>
#include <QList>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace archive
{

class SelfExtracting;

// "スタートメニューへの登録": an LZH self-extracting archive that, with the check box ticked,
// carries a menu-entry directive (the file "$" in the staging folder) for the desktop menu of
// the machine it is run on. Not modal.
class MenuEntryDialog final : public QDialog
{
    Q_OBJECT
public:
    MenuEntryDialog(const SelfExtracting& steps, QString staging, QWidget* parent = nullptr);

    QCheckBox* check() const { return m_check; }
    // The boxes 0 to 3: the title, the group, the entry's name and the file it starts.
    QLineEdit* text(int index) const { return m_texts.value(index); }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

Q_SIGNALS:
    // The archive has been made (or its making failed with a report): the compression ends.
    void archiveMade();

private:
    void accept() override;
    bool writeDirective();

    const SelfExtracting& m_steps;
    QString m_staging;
    QCheckBox* m_check = nullptr;
    QList<QLineEdit*> m_texts;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace archive
