#include "fileops/ClsFileOperation.h"

#include "platform/Shell.h"

#include <QWidget>

namespace fileops
{

using platform::Shell;

clsFileOperation::clsFileOperation(platform::Shell& shell) : m_shell(shell) {}

void clsFileOperation::setPTarget(quintptr lngNewWindow)
{
    const QWidget* window = lngNewWindow ? QWidget::find(static_cast<WId>(lngNewWindow)) : nullptr;
    m_owner = window ? lngNewWindow : 0;
}

void clsFileOperation::setBit(unsigned bit, bool on)
{
    m_flags = on ? (m_flags | bit) : (m_flags & ~bit);
}

bool clsFileOperation::pRespondDialog() const
{
    return m_flags & Shell::NoConfirmation;
}
void clsFileOperation::setPRespondDialog(bool on)
{
    setBit(Shell::NoConfirmation, on);
}
bool clsFileOperation::pRenameOnCollision() const
{
    return m_flags & Shell::RenameOnCollision;
}
void clsFileOperation::setPRenameOnCollision(bool on)
{
    setBit(Shell::RenameOnCollision, on);
}
bool clsFileOperation::pSimpleProgress() const
{
    return m_flags & Shell::SimpleProgress;
}
void clsFileOperation::setPSimpleProgress(bool on)
{
    setBit(Shell::SimpleProgress, on);
}
bool clsFileOperation::pConfirmMakeDir() const
{
    return !(m_flags & Shell::NoConfirmMkdir);
}
void clsFileOperation::setPConfirmMakeDir(bool on)
{
    setBit(Shell::NoConfirmMkdir, !on);
}
bool clsFileOperation::pShowDialog() const
{
    return !(m_flags & Shell::Silent);
}
void clsFileOperation::setPShowDialog(bool on)
{
    setBit(Shell::Silent, !on);
}
bool clsFileOperation::pAllowUndo() const
{
    return m_flags & Shell::AllowUndo;
}
void clsFileOperation::setPAllowUndo(bool on)
{
    setBit(Shell::AllowUndo, on);
}

bool clsFileOperation::mCopy(const QString& strFrom, const QString& strTo)
{
    return run(strFrom, strTo, Shell::Copy);
}

bool clsFileOperation::mMove(const QString& strFrom, const QString& strTo)
{
    return run(strFrom, strTo, Shell::Move);
}

bool clsFileOperation::mDelete(const QString& strFrom)
{
    return run(strFrom, QString(), Shell::Delete);
}

bool clsFileOperation::mRename(const QString& strFrom, const QString& strTo)
{
    return run(strFrom, strTo, Shell::Rename);
}

bool clsFileOperation::run(const QString& from, const QString& to, int operation)
{
    Shell::FileOperation record;
    record.owner = m_owner ? QWidget::find(static_cast<WId>(m_owner)) : nullptr;
    record.operation = static_cast<Shell::Operation>(operation);
    record.from = from;
    record.to = to;
    record.flags = m_flags & 0xFFFF;
    return m_shell.fileOperation(record) == 0;
}

void RecycleDelete(platform::Shell& shell, QWidget* owner, const QString& list, bool permanent)
{
    Shell::FileOperation record;
    record.owner = owner;
    record.operation = Shell::Delete;
    record.from = list;
    record.flags = permanent ? 0u : static_cast<unsigned>(Shell::AllowUndo);
    shell.fileOperation(record);
}

} // namespace fileops
