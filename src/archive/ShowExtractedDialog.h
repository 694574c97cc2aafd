#pragma once

#include <QDialog>

#include <functional>

class QPushButton;
class QRadioButton;

namespace archive
{

// "解凍されたファイルの表示": asks whether to show the folder just extracted into, in this
// program or in the desktop's file manager. Not modal; it reads the folder when "表示" is
// clicked. Both buttons close it.
class ShowExtractedDialog final : public QDialog
{
    Q_OBJECT
public:
    struct Actions {
        std::function<QString()> folder;                       // the folder to show
        std::function<void(const QString&)> showHere;          // in this program's folder tree
        std::function<void(const QString&)> showInFileManager; // through the desktop shell
    };

    explicit ShowExtractedDialog(Actions actions, QWidget* parent = nullptr);

    QRadioButton* hereOption() const { return m_here; }
    QRadioButton* fileManagerOption() const { return m_fileManager; }
    QPushButton* showButton() const { return m_show; }
    QPushButton* dontShowButton() const { return m_dontShow; }

private:
    void showChosen();

    Actions m_actions;
    QRadioButton* m_here = nullptr;
    QRadioButton* m_fileManager = nullptr;
    QPushButton* m_show = nullptr;
    QPushButton* m_dontShow = nullptr;
};

} // namespace archive
