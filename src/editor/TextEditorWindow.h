#pragma once

#include "platform/TextEncoding.h"

#include <QFileDevice>
#include <QMainWindow>
#include <QString>

#include <optional>

class QAction;
class QActionGroup;
class QTextCharFormat;
class QTextEdit;
class QToolBar;

namespace platform
{
class Prompts;
}

namespace editor
{

// The simple text editor: one rich-text document that loads and saves plain text (.txt, in
// the encoding and line ends it had, UTF-8 for a new text) and rich text (.rtf), and formats
// the selection: font, colour, bold, italic, underline and alignment. Not modal; it deletes
// itself when closed.
class TextEditorWindow final : public QMainWindow
{
    Q_OBJECT
public:
    explicit TextEditorWindow(platform::Prompts& prompts, QWidget* parent = nullptr);
    ~TextEditorWindow() override;

    // The largest file the editor opens: the whole text is held and laid out as one document,
    // and a larger one would keep the window from answering for a long time.
    static constexpr qint64 kLargestFile = 16 * 1024 * 1024;

    // The classic file filter of both file dialogs (filter 1 text, filter 2 rich text).
    static QString fileFilter();

    QTextEdit* richTextBox() const { return m_box; }
    // Toolbar button by its index from 1 (separators count); nullptr past the last.
    QAction* toolbarButton(int index) const;
    // The file name the file dialogs start from (kept while the window is open).
    QString fileName() const { return m_fileName; }
    // The encoding and line ends a text is saved in.
    const platform::TextFormat& textFormat() const { return m_format; }

    // The commands, by their menu names.
    void load();        // rodo
    void save();        // save
    void chooseFont();  // henkou
    void chooseColor(); // iro

    // Loads the file as the load command does after its dialog; false (with a message shown)
    // when it cannot be read.
    bool loadFile(const QString& path);
    // Saves as the save command does after its dialog: the questions, then text (filter 1) or
    // rich text. False when nothing was saved.
    bool saveTo(const QString& path, int filterIndex);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void showError(const QString& description);
    // The questions before overwriting; when the user lets a read-only file be made writable,
    // madeWritable receives the permissions it had.
    bool confirmOverwrite(const QString& path,
                          std::optional<QFileDevice::Permissions>& madeWritable);
    bool writeText(const QString& path);
    bool writeRichText(const QString& path);
    void mergeFormat(const QTextCharFormat& format);
    void setAlignment(Qt::Alignment alignment);
    // The bold, italic and underline buttons follow the selection.
    void followSelection();

    platform::Prompts& m_prompts;
    QTextEdit* m_box = nullptr;
    QToolBar* m_toolbar = nullptr;
    QList<QAction*> m_buttons;
    QActionGroup* m_alignments = nullptr;
    QString m_fileName;
    platform::TextFormat m_format;
    // The text loaded had bytes that are not valid in its encoding.
    bool m_decodeErrors = false;
};

} // namespace editor
