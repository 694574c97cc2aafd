#pragma once

#include "RecordingShellUi.h"
#include "ShellTestFiles.h"

#include "desktop/LinuxShell.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace shelltest
{

// The desktop shell over a recording user interface, with a fresh folder for each test and
// its "src" folder as the usual place of the sources.
class ShellFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        auto ui = std::make_unique<RecordingShellUi>();
        ui_ = ui.get();
        shell_ = std::make_unique<platform::LinuxShell>(std::move(ui));
    }
    QString src(const QString& name = {}) const
    {
        const QString base = m_root.path() + QStringLiteral("/src");
        return name.isEmpty() ? base : base + u'/' + name;
    }
    int run(platform::Shell::Operation operation, const QStringList& from, const QString& to = {},
            unsigned flags = 0)
    {
        platform::Shell::FileOperation op;
        op.operation = operation;
        op.from = pathList(from);
        op.to = to;
        op.flags = flags;
        return shell_->fileOperation(op);
    }

    QTemporaryDir m_root;
    RecordingShellUi* ui_ = nullptr;
    std::unique_ptr<platform::LinuxShell> shell_;
};

} // namespace shelltest
