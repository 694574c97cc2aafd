#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

namespace platform
{

// The desktop shell as the program uses it: file operations with their confirmations,
// progress and trash, opening files with their applications, the association lookup, the
// "open with" chooser, the properties window, starting the text and image editors, and the
// clipboard. The real one acts on this desktop; the test double records.
class Shell
{
public:
    // Operation codes of the file-operation record.
    enum Operation { Move = 1, Copy = 2, Delete = 3, Rename = 4 };
    // Option flags of the file-operation record (the classic values).
    enum Flag : unsigned {
        Silent = 0x0004,            // no progress window
        RenameOnCollision = 0x0008, // give the copy a new name instead of asking
        NoConfirmation = 0x0010,    // answer "yes" (to all) to every question
        NoConfirmMkdir = 0x0020,    // create a missing destination folder without asking
        AllowUndo = 0x0040,         // delete: move to the trash
        SimpleProgress = 0x0100,    // progress without file names
    };
    // Result of a file operation that the user cancelled.
    static constexpr int kCancelled = 1223;
    // Result of a file operation that failed (the shell has shown why).
    static constexpr int kFailed = 0x402;

    // Result codes of open() and findExecutable() in the classic sense: above 32 success;
    // 0 out of memory, 2 file not found, 3 path not found, 8 not enough memory, 31 no
    // association, other values below 32 other failures.
    static constexpr int kOpenOk = 42;
    static constexpr int kFileNotFound = 2;
    static constexpr int kPathNotFound = 3;
    static constexpr int kNoAssociation = 31;
    // The associated application exists but could not be started.
    static constexpr int kLaunchFailed = 5;

    struct FileOperation {
        QWidget* owner = nullptr; // owns the shell's questions and progress window; may be null
        Operation operation = Copy;
        QString from; // full paths, each followed by one NUL; may end in extra NULs
        QString to;   // destination folder or file (empty for delete)
        unsigned flags = 0;
    };

    virtual ~Shell() = default;

    // Runs the operation; 0 only when all of it succeeded, kCancelled when the user cancelled,
    // another non-zero value on failure (the shell has shown its own message then).
    virtual int fileOperation(const FileOperation& operation) = 0;

    // Opens the file with its default application ("Open" verb); the file may be a path or an
    // address. Returns a code as described above.
    virtual int open(QWidget* owner, const QString& file, const QString& directory) = 0;
    // Why the last open() failed to start its application, in the system's words; empty when
    // it succeeded or no more is known than its code.
    virtual QString lastOpenFailure() const { return QString(); }

    // The application the file's type is associated with: its command (or desktop entry
    // name) into program, and a code: above 32 found, kNoAssociation when none, 2 or 3 when
    // the file or its folder does not exist.
    virtual int findExecutable(const QString& file, const QString& directory, QString& program) = 0;

    // Shows the chooser of an application to open the file with (the applications known for
    // its type, plus a command of the user's own) and starts the chosen one.
    virtual void openWith(QWidget* owner, const QString& path) = 0;

    // Shows the properties window of a file or folder. Returns a code as open() does.
    virtual int showProperties(QWidget* owner, const QString& path) = 0;

    // Starts the desktop's text editor ("notepad") or image editor ("pbrush") on the file.
    // Returns the started process id, or 0 when nothing could be started.
    enum class Editor { Text, Image };
    virtual qint64 startEditor(Editor editor, const QString& file) = 0;

    // Replaces the clipboard's content with the text.
    virtual void setClipboardText(const QString& text) = 0;
};

// The shell of this desktop, with its own dialogs.
std::unique_ptr<Shell> createDesktopShell();

// Splits a NUL-separated path list ("a\0b\0\0") into its paths.
QStringList splitPathList(const QString& list);

} // namespace platform
