#pragma once

#include "base/TextSearch.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace editor
{

// "検索": the search text, the direction and the case option for the text shown in the preview.
// Not modal. It edits the program-wide search state it is given: the direction and the case
// option as soon as they are clicked, the search text when "検索(&F)" or "キャンセル" is
// pressed. "キャンセル" (and Esc) take the text and the case option and close it; the window's
// close button only closes it. Closed, it is destroyed; the state stays.
class FindDialog final : public QDialog
{
    Q_OBJECT
public:
    FindDialog(SearchState& state, QWidget* parent = nullptr);

    QLineEdit* textBox() const { return m_text; }
    // The option button with the index 0 (up) or 1 (down).
    QRadioButton* directionButton(int index) const;
    QCheckBox* caseBox() const { return m_case; }
    QPushButton* findButton() const { return m_find; }
    QPushButton* cancelButton() const { return m_cancel; }

    // Selects the option button of the state's direction.
    void showDirection();

Q_SIGNALS:
    // "検索(&F)": the search text has been taken; find the next match.
    void findRequested();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    SearchState& m_state;
    QLineEdit* m_text = nullptr;
    QRadioButton* m_direction[2] = {};
    QCheckBox* m_case = nullptr;
    QPushButton* m_find = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace editor
