#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class QWidget;

namespace platform
{

// Every question, notice and file dialog of the program goes through this seam, so that a
// test can pre-answer it and check its exact text. The numbers are those of the classic
// message-box API so that callers can be written as the program's behaviour is described.
class Prompts
{
public:
    enum Buttons {
        OkOnly = 0,
        OkCancel = 1,
        AbortRetryIgnore = 2,
        YesNoCancel = 3,
        YesNo = 4,
        RetryCancel = 5
    };
    enum Icon { NoIcon = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
    enum Answer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

    virtual ~Prompts() = default;

    // An empty title means the application's title.
    virtual Answer message(QWidget* owner, const QString& text, const QString& title = {},
                           Icon icon = NoIcon, Buttons buttons = OkOnly) = 0;
    // Returns the typed text, or an empty text when the box is cancelled.
    virtual QString input(QWidget* owner, const QString& prompt, const QString& title,
                          const QString& initial) = 0;
    // Returns the chosen folder, or an empty text when cancelled.
    virtual QString pickFolder(QWidget* owner, const QString& prompt) = 0;
    // File dialogs: the chosen path, or an empty text when cancelled.
    virtual QString openFileName(QWidget* owner, const QString& title, const QString& filter) = 0;
    // An open dialog in which several files can be chosen: their paths, or none when
    // cancelled. Without its own dialog a seam offers the single choice.
    virtual QStringList openFileNames(QWidget* owner, const QString& title, const QString& filter);
    virtual QString saveFileName(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& initial) = 0;
    // A save dialog that reports the filter the user chose: filterIndex counts from 1 (on
    // entry, the filter shown first). filters are Qt name filters ("名前 (*.txt)").
    // dialogAsksOverwrite: the dialog itself asks before an existing file is chosen (false
    // when the caller asks its own questions).
    virtual QString saveFileNameFiltered(QWidget* owner, const QString& title,
                                         const QStringList& filters, const QString& initial,
                                         int& filterIndex, bool dialogAsksOverwrite) = 0;
    // Font and colour dialogs: false when cancelled.
    virtual bool chooseFont(QWidget* owner, QFont& font) = 0;
    virtual bool chooseColor(QWidget* owner, QColor& color) = 0;
};

// The title every message box shows when the caller names none.
QString applicationTitle();

// Qt name filters from the classic "name|pattern|name|pattern|" form: "テキスト (*.txt)", ….
// Patterns separated by ';' become Qt's blank-separated list.
QStringList dialogFilters(QStringView classic);

// Real dialogs on the desktop.
class QtPrompts final : public Prompts
{
public:
    Answer message(QWidget* owner, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    QString input(QWidget* owner, const QString& prompt, const QString& title,
                  const QString& initial) override;
    QString pickFolder(QWidget* owner, const QString& prompt) override;
    QString openFileName(QWidget* owner, const QString& title, const QString& filter) override;
    QStringList openFileNames(QWidget* owner, const QString& title, const QString& filter) override;
    QString saveFileName(QWidget* owner, const QString& title, const QString& filter,
                         const QString& initial) override;
    QString saveFileNameFiltered(QWidget* owner, const QString& title, const QStringList& filters,
                                 const QString& initial, int& filterIndex,
                                 bool dialogAsksOverwrite) override;
    bool chooseFont(QWidget* owner, QFont& font) override;
    bool chooseColor(QWidget* owner, QColor& color) override;
};

} // namespace platform
