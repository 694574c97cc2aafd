#include "fileops/ClsFileOperation.h"

#include "platform/Shell.h"

#include <QWidget>

namespace fileops
{

using platform::Shell;

clsFileOperation::clsFileOperation(platform::Shell& shell) : m_shell(shell) {}

void clsFileOperation::setOwnerWindow(quintptr window)
{
    const QWidget* live = window ? QWidget::find(static_cast<WId>(window)) : nullptr;
    m_owner = live ? window : 0;
}

clsFileOperation::Options clsFileOperation::options() const
{
    Options options;
    options.respondDialog = m_flags & Shell::NoConfirmation;
    options.renameOnCollision = m_flags & Shell::RenameOnCollision;
    options.simpleProgress = m_flags & Shell::SimpleProgress;
    options.confirmMakeDir = !(m_flags & Shell::NoConfirmMkdir);
    options.showDialog = !(m_flags & Shell::Silent);
    options.allowUndo = m_flags & Shell::AllowUndo;
    return options;
}

void clsFileOperation::setOptions(const Options& options)
{
    const auto bit = [](bool on, unsigned value) { return on ? value : 0u; };
    m_flags = bit(options.respondDialog, Shell::NoConfirmation) |
              bit(options.renameOnCollision, Shell::RenameOnCollision) |
              bit(options.simpleProgress, Shell::SimpleProgress) |
              bit(!options.confirmMakeDir, Shell::NoConfirmMkdir) |
              bit(!options.showDialog, Shell::Silent) | bit(options.allowUndo, Shell::AllowUndo);
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
