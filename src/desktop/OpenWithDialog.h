#pragma once

#include "platform/shell/GioApps.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace platform
{

// The chooser of an application to open a file with: the applications known for the file's
// type, and a command line of the user's own. Starting the choice is left to the caller.
class OpenWithDialog final : public QDialog
{
    Q_OBJECT
public:
    OpenWithDialog(QWidget* owner, const QString& path, const QList<gio::Application>& apps);

    // After acceptance: the chosen desktop entry id, or empty when a command was typed.
    QString applicationId() const;
    // After acceptance: the typed command line (it wins over the list when not empty).
    QString commandLine() const;

private:
    void updateOk();

    QListWidget* m_list;
    QLineEdit* m_command;
    QPushButton* m_ok = nullptr;
};

} // namespace platform
