#pragma once

#include "archive/ArchiverLibrary.h"
#include "archive/CommandLines.h"
#include "archive/Services.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTextEdit;

namespace archive
{

// "解凍先の指定": extracts the archive selected in the file list into the current folder, a
// chosen folder, a new folder or a folder named after the archive. Opened modally; every
// button closes it except when a folder choice or the name prompt is cancelled.
class ExtractDialog final : public QDialog
{
    Q_OBJECT
public:
    // What the dialog hands back to whoever opened it.
    struct Results {
        // Shows the report of an extraction in the result window and waits until it is closed.
        std::function<void(const QString& report)> showReport;
        // Offers to show the folder last extracted into.
        std::function<void()> offerToShow;
    };

    // Uses the browser (folder, selection, refresh), the prompts, the archiver, and the
    // questions familyOf and askToShowExtracted of the services.
    ExtractDialog(Services services, Results results, QWidget* parent = nullptr);

    // Command1..Command5 (there is no Command0).
    QPushButton* button(int number) const;
    // The report of the last extraction, kept for the result window.
    QString carrierText() const;

private:
    void intoCurrentFolder();
    void intoChosenFolder();
    void intoNewFolder();
    void intoNamedFolder();
    // Runs the family's extraction into the destination and keeps its report; false when the
    // selected file is no archive of a known family (no library is called then).
    bool extract(ExtractWay way, const QString& destination);
    // Tells the user what the last extraction failed at (nothing when it succeeded).
    void tellFailure();
    // The result window, for LZH only when the user is asked about showing the files.
    void showResultUnlessQuietLzh();
    void showResult();
    bool askToShow() const;
    void refreshAndClose();
    void offerToShow();
    // The main window, which owns the libraries' dialogs and the prompts.
    QWidget* mainWindow() const;

    Services m_services;
    Results m_results;
    QString m_folder;   // current folder with its separator
    QString m_fileName; // the selected file's name
    std::optional<Family> m_family;
    QString m_failure; // what the last extraction failed at, with the library's error lines
    QLabel* m_folderLabel = nullptr;
    QLabel* m_fileLabel = nullptr;
    QTextEdit* m_carrier = nullptr;
    QList<QPushButton*> m_buttons;
};

} // namespace archive
