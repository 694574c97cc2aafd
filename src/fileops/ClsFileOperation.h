#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

namespace platform
{
class Shell;
}

namespace fileops
{

// The file-operation object: copy, move, delete and rename through the shell, with the
// shell's option flags switched by properties. With its defaults (flags 0) the shell asks
// before overwriting, before creating a missing folder and before deleting, shows its
// progress window and deletes for good.
class clsFileOperation final
{
public:
    explicit clsFileOperation(platform::Shell& shell);

    // The switches of the shell's option flags. The defaults give flags 0.
    struct Options {
        bool respondDialog = false;     // answer yes to every confirmation
        bool renameOnCollision = false; // give a copy a new name where the name is taken
        bool simpleProgress = false;    // a progress window without file names
        bool confirmMakeDir = true;     // ask before creating a missing folder
        bool showDialog = true;         // show the questions and the progress window at all
        bool allowUndo = false;         // deletions go to the trash
    };
    Options options() const;
    void setOptions(const Options& options);

    // The owner window of the shell's questions and progress: a handle that does not name a
    // live window of this program is stored as 0.
    quintptr ownerWindow() const { return m_owner; }
    void setOwnerWindow(quintptr window);

    unsigned flags() const { return m_flags; }

    // Each returns true when the shell reported full success. Lists are full paths, each
    // followed by a NUL.
    bool mCopy(const QString& strFrom, const QString& strTo);
    bool mMove(const QString& strFrom, const QString& strTo);
    bool mDelete(const QString& strFrom);
    bool mRename(const QString& strFrom, const QString& strTo);

private:
    bool run(const QString& from, const QString& to, int operation);

    platform::Shell& m_shell;
    quintptr m_owner = 0;
    unsigned m_flags = 0;
};

// Deletes the listed items through the shell: to the trash unless permanent.
void RecycleDelete(platform::Shell& shell, QWidget* owner, const QString& list, bool permanent);

} // namespace fileops
