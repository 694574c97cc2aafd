// Faults injected into the shell's copies and moves: a disk that fills up, a source that
// vanishes half-way. Each time the source and any existing target stay whole and the user
// is told; the operation never reports success.
#include "QStringPrinting.h"
#include "ShellFixture.h"

#include "desktop/LinuxShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <ostream>
#include <sys/wait.h>
#include <unistd.h>

using namespace shelltest;
using platform::Shell;
using Overwrite = platform::ShellUi::Overwrite;

namespace
{

class ShellFaults : public ShellFixture
{
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        QDir().mkpath(src());
    }
};

#define NEED_TMPFS(tmpfs)                                                                          \
    do {                                                                                           \
        if (!(tmpfs).mounted())                                                                    \
            GTEST_SKIP() << "mounting a small tmpfs needs root (" << (tmpfs).why()                 \
                         << "); CI runs this as root";                                             \
    } while (false)

TEST_F(ShellFaults, CopyOntoAFullDiskKeepsEveryCompleteFileAndNoPartOne)
{
    TmpfsMount tmpfs(2 << 20);
    NEED_TMPFS(tmpfs);
    writeFile(src(QStringLiteral("tree/1-small.txt")), "small");
    writeFile(src(QStringLiteral("tree/2-large.bin")), pattern(3 << 20, 7));
    writeFile(src(QStringLiteral("tree/3-after.txt")), "after");
    const auto before = snapshot(src());

    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, tmpfs.path()), Shell::kFailed);
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("コピーできません: ") +
                                          src(QStringLiteral("tree/2-large.bin"))))
        << ui_->errors[0];
    EXPECT_TRUE(ui_->errors[0].contains(QStringLiteral("空き")) ||
                ui_->errors[0].contains(QStringLiteral("容量")))
        << ui_->errors[0];
    EXPECT_EQ(snapshot(src()), before);
    // What is there is whole; the file that did not fit left nothing behind.
    const auto copied = snapshot(tmpfs.path());
    for (auto it = copied.begin(); it != copied.end(); ++it) {
        if (it.value() != "D") {
            EXPECT_EQ(it.value(), before.value(it.key())) << it.key();
        }
    }
    EXPECT_FALSE(copied.contains(QStringLiteral("tree/2-large.bin")));
}

TEST_F(ShellFaults, ReplacingOnAFullDiskKeepsTheOldFile)
{
    TmpfsMount tmpfs(2 << 20);
    NEED_TMPFS(tmpfs);
    writeFile(src(QStringLiteral("data.bin")), pattern(3 << 20, 8));
    writeFile(tmpfs.path() + QStringLiteral("/data.bin"), pattern(64 << 10, 9));
    for (Shell::Operation operation : {Shell::Copy, Shell::Move}) {
        ui_->answerOverwrite(Overwrite::Yes);
        EXPECT_EQ(run(operation, {src(QStringLiteral("data.bin"))}, tmpfs.path()), Shell::kFailed);
        EXPECT_EQ(readFile(tmpfs.path() + QStringLiteral("/data.bin")), pattern(64 << 10, 9));
        EXPECT_EQ(readFile(src(QStringLiteral("data.bin"))), pattern(3 << 20, 8));
        EXPECT_EQ(snapshot(tmpfs.path()).size(), 1) << "no part file is left beside it";
    }
    EXPECT_EQ(ui_->errors.size(), 2);
    EXPECT_EQ(ui_->unexpected, 0);
}

// The sources are given in this order: the second one vanishes while the first is copied.
TEST_F(ShellFaults, ASourceThatVanishesMidCopyIsReportedNotPassedOver)
{
    writeFile(src(QStringLiteral("1-large.bin")), pattern(4 << 20, 1));
    writeFile(src(QStringLiteral("2-gone.txt")), "gone");
    writeFile(src(QStringLiteral("3-last.txt")), "last");
    const QString target = m_root.path() + QStringLiteral("/dst");
    QDir().mkpath(target);
    bool removed = false;
    ui_->onStep = [&](int) {
        if (!removed)
            removed = QFile::remove(src(QStringLiteral("2-gone.txt")));
    };
    EXPECT_EQ(run(Shell::Copy,
                  {src(QStringLiteral("1-large.bin")), src(QStringLiteral("2-gone.txt")),
                   src(QStringLiteral("3-last.txt"))},
                  target),
              Shell::kFailed);
    ASSERT_TRUE(removed);
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("コピーできません: ") +
                                          src(QStringLiteral("2-gone.txt"))))
        << ui_->errors[0];
    EXPECT_EQ(readFile(target + QStringLiteral("/1-large.bin")), pattern(4 << 20, 1));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/2-gone.txt")));
    EXPECT_EQ(readFile(src(QStringLiteral("3-last.txt"))), "last");
    EXPECT_EQ(readFile(src(QStringLiteral("1-large.bin"))), pattern(4 << 20, 1));
}

TEST_F(ShellFaults, ASourceThatVanishesMidMoveAcrossDisksKeepsTheRest)
{
    TmpfsMount tmpfs(32 << 20);
    NEED_TMPFS(tmpfs);
    writeFile(src(QStringLiteral("1-large.bin")), pattern(4 << 20, 2));
    writeFile(src(QStringLiteral("2-gone.txt")), "gone");
    writeFile(src(QStringLiteral("3-last.txt")), "last");
    bool removed = false;
    ui_->onStep = [&](int) {
        if (!removed)
            removed = QFile::remove(src(QStringLiteral("2-gone.txt")));
    };
    EXPECT_EQ(run(Shell::Move,
                  {src(QStringLiteral("1-large.bin")), src(QStringLiteral("2-gone.txt")),
                   src(QStringLiteral("3-last.txt"))},
                  tmpfs.path()),
              Shell::kFailed);
    ASSERT_TRUE(removed);
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("移動できません: ") +
                                          src(QStringLiteral("2-gone.txt"))))
        << ui_->errors[0];
    EXPECT_EQ(readFile(tmpfs.path() + QStringLiteral("/1-large.bin")), pattern(4 << 20, 2));
    EXPECT_FALSE(QFileInfo::exists(src(QStringLiteral("1-large.bin"))));
    // Not moved yet, so still at home.
    EXPECT_EQ(readFile(src(QStringLiteral("3-last.txt"))), "last");
    EXPECT_FALSE(QFileInfo::exists(tmpfs.path() + QStringLiteral("/3-last.txt")));
}

// A process killed (SIGKILL, as by the system or a power cut) in the middle of a large file.
// `copy` runs in a child that kills itself once a few pieces of the file are written.
void killedMidFile(const std::function<int(platform::LinuxShell&)>& copy, const QString& killedOn)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto ui = std::make_unique<RecordingShellUi>();
        RecordingShellUi* seen = ui.get();
        seen->onStep = [seen, killedOn](int steps) {
            if (steps >= 3 && seen->lastCurrent.endsWith(killedOn))
                ::raise(SIGKILL);
        };
        platform::LinuxShell shell(std::move(ui));
        copy(shell);
        ::_exit(0); // the whole copy went through: the kill never came
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
}

TEST_F(ShellFaults, AKillMidCopyLeavesNoFileThatLooksComplete)
{
    writeFile(src(QStringLiteral("tree/1-small.txt")), "small");
    writeFile(src(QStringLiteral("tree/2-large.bin")), pattern(48 << 20, 3));
    writeFile(src(QStringLiteral("-lone large.bin")), pattern(48 << 20, 4));
    const QString target = m_root.path() + QStringLiteral("/dst");
    QDir().mkpath(target);
    for (const QString& item : {QStringLiteral("tree"), QStringLiteral("-lone large.bin")}) {
        killedMidFile(
            [&](platform::LinuxShell& shell) {
                Shell::FileOperation op;
                op.operation = Shell::Copy;
                op.from = pathList({src(item)});
                op.to = target;
                return shell.fileOperation(op);
            },
            item == QStringLiteral("tree") ? QStringLiteral("2-large.bin") : item);
    }
    // What carries a name of the source's is whole (the small file, when the folder listed it
    // first and its batch reached the disk); the files cut short are hidden parts, and so is
    // a complete file still waiting for its batch.
    const auto copied = snapshot(target);
    if (copied.contains(QStringLiteral("tree/1-small.txt"))) {
        EXPECT_EQ(copied.value(QStringLiteral("tree/1-small.txt")), QByteArray("F:small"));
    }
    EXPECT_FALSE(copied.contains(QStringLiteral("tree/2-large.bin")));
    EXPECT_FALSE(copied.contains(QStringLiteral("-lone large.bin")));
    int largeParts = 0;
    for (auto it = copied.begin(); it != copied.end(); ++it) {
        if (it.key().contains(QStringLiteral(".koramo-"))) {
            EXPECT_TRUE(QFileInfo(it.key()).fileName().startsWith(u'.')) << it.key();
            if (it.key().contains(QStringLiteral("large.bin.koramo-")))
                ++largeParts;
            else
                EXPECT_TRUE(it.key().startsWith(QStringLiteral("tree/.1-small.txt.koramo-")))
                    << it.key();
        }
    }
    EXPECT_EQ(largeParts, 2);
}

} // namespace
