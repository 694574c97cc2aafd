#pragma once

#include <QString>

class QWidget;

namespace platform
{

// Every question, message and progress display of the shell's file operations goes through
// this seam: the file-operation code composes the texts, the desktop implementation shows
// them in dialogs, and a test answers them from a script and checks them.
class ShellUi
{
public:
    enum class Overwrite { Yes, YesToAll, No, Cancel };
    enum class Question {
        CreateFolder,       // the destination folder is missing: create it?
        Delete,             // delete these items for good?
        DeleteToTrash,      // move these items to the trash?
        DeleteWithoutTrash, // no trash can take this item: delete it for good?
    };

    virtual ~ShellUi() = default;

    // A file (or folder) of the same name is in the way.
    virtual Overwrite askOverwrite(QWidget* owner, const QString& text) = 0;
    // A yes/no question; true means yes.
    virtual bool ask(QWidget* owner, Question question, const QString& text) = 0;
    virtual void showError(QWidget* owner, const QString& text) = 0;

    // Progress of one operation in abstract units (bytes and items). The window appears only
    // when the work lasts longer than about a second. progressStep returns false once the
    // user has asked to cancel. A total of 0 means not known yet (the items are still being
    // counted); progressTotal gives it once it is.
    virtual void progressStart(QWidget* owner, const QString& title, qint64 total,
                               bool showNames) = 0;
    virtual void progressTotal(qint64 total) = 0;
    virtual bool progressStep(qint64 done, const QString& current) = 0;
    virtual void progressEnd() = 0;
};

} // namespace platform
