#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace platform
{
class Prompts;
}
namespace preview
{
class RichTextViewer;
}

namespace editor
{

// The classic filter of the text save dialogs (filter 1 text, filter 2 rich text).
QString textFileFilter();

// How many lines differ between two texts: the lines between their common beginning and
// their common end, counted in the longer of the two.
int changedLines(const QString& before, const QString& after);

// Saving the text shown in the preview box: back to its file, or under a new name.
class PreviewSave final
{
public:
    struct Parts {
        QWidget* owner = nullptr;               // the main window
        preview::RichTextViewer* box = nullptr; // the preview's text box
        QLabel* currentFile = nullptr;          // the previewed file's path
        QLabel* statusPanel = nullptr;          // status-bar panel 3
    };

    PreviewSave(const Parts& parts, platform::Prompts& prompts);

    // Asks, then saves the box to the previewed file: as RTF when the path ends in "rtf" or
    // the box shows rich text, as text in the file's own encoding and line ends otherwise.
    void overwrite();
    // A save dialog, then the box as text (filter 1) or rich text to the chosen name.
    void saveAs();

private:
    // Whether a text preview is shown; if not, says so in the status bar.
    bool textShown() const;
    void reportFailure(int number, const QString& description);
    // Whether the file is no longer there; if so, says so.
    bool fileGone(const QString& path);

    Parts m_parts;
    platform::Prompts& m_prompts;
};

} // namespace editor
