#pragma once

#include "platform/Shell.h"
#include "platform/shell/ShellUi.h"

#include <memory>

namespace platform
{

// The shell of a freedesktop Linux desktop: file operations on the file system with the
// freedesktop trash, applications and associations through GIO, and Qt windows for the
// chooser and properties. Its questions and messages go through the ShellUi it is given.
class LinuxShell final : public Shell
{
public:
    explicit LinuxShell(std::unique_ptr<ShellUi> ui);
    ~LinuxShell() override;
    Q_DISABLE_COPY_MOVE(LinuxShell)

    int fileOperation(const FileOperation& operation) override;
    int open(QWidget* owner, const QString& file, const QString& directory) override;
    QString lastOpenFailure() const override { return m_lastOpenFailure; }
    int findExecutable(const QString& file, const QString& directory, QString& program) override;
    void openWith(QWidget* owner, const QString& path) override;
    int showProperties(QWidget* owner, const QString& path) override;
    qint64 startEditor(Editor editor, const QString& file) override;
    void setClipboardText(const QString& text) override;

private:
    std::unique_ptr<ShellUi> m_ui;
    QString m_lastOpenFailure;
};

} // namespace platform
