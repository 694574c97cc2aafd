// File operations of the shell stand-in on real temporary folders: collisions, cancelling,
// moves across file systems, links, attributes, questions and their texts.
#include "QStringPrinting.h"
#include "ShellFixture.h"

#include "desktop/LinuxShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace shelltest;
using platform::Shell;
using Overwrite = platform::ShellUi::Overwrite;
using Question = platform::ShellUi::Question;

namespace
{

class ShellFileOps : public ShellFixture
{
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        QDir().mkpath(src());
        QDir().mkpath(dst());
    }

    QString dst(const QString& name = {}) const { return path(QStringLiteral("dst"), name); }
    QString path(const QString& folder, const QString& name) const
    {
        const QString base = m_root.path() + u'/' + folder;
        return name.isEmpty() ? base : base + u'/' + name;
    }
};

TEST(PathList, SplitsAtEachNulAndEndsAtTheEmptyEntry)
{
    using platform::splitPathList;
    EXPECT_EQ(splitPathList(QStringLiteral("/a/b")), QStringList{QStringLiteral("/a/b")});
    EXPECT_EQ(splitPathList(pathList({QStringLiteral("/a")})), QStringList{QStringLiteral("/a")});
    const QStringList three{QStringLiteral("/x/1"), QStringLiteral("/x/二"),
                            QStringLiteral("/x/3 c")};
    EXPECT_EQ(splitPathList(pathList(three)), three);
    EXPECT_TRUE(splitPathList(QString()).isEmpty());
    EXPECT_TRUE(splitPathList(QString(QChar(u'\0'))).isEmpty());
    // Whatever follows the terminating empty entry is not part of the list.
    const QString afterEnd =
        QStringLiteral("/a") + QChar(u'\0') + QChar(u'\0') + QStringLiteral("/b");
    EXPECT_EQ(splitPathList(afterEnd), QStringList{QStringLiteral("/a")});
}

// Three colliding files and one new one, copied with the given answers.
class Collisions : public ShellFileOps
{
protected:
    void SetUp() override
    {
        ShellFileOps::SetUp();
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            writeFile(src(QLatin1String(name)), QByteArray("new ") + name);
            writeFile(dst(QLatin1String(name)), QByteArray("old ") + name);
        }
        writeFile(src(QStringLiteral("d.txt")), "new d.txt");
    }
    int copyAll()
    {
        return run(Shell::Copy,
                   {src(QStringLiteral("a.txt")), src(QStringLiteral("b.txt")),
                    src(QStringLiteral("c.txt")), src(QStringLiteral("d.txt"))},
                   dst());
    }
    QByteArray at(const char* name) { return readFile(dst(QLatin1String(name))); }
};

TEST_F(Collisions, YesAndNoAnswerEachFile)
{
    ui_->answerOverwrite(Overwrite::Yes);
    ui_->answerOverwrite(Overwrite::No);
    ui_->answerOverwrite(Overwrite::Yes);
    EXPECT_EQ(copyAll(), 0);
    EXPECT_EQ(at("a.txt"), "new a.txt");
    EXPECT_EQ(at("b.txt"), "old b.txt");
    EXPECT_EQ(at("c.txt"), "new c.txt");
    EXPECT_EQ(at("d.txt"), "new d.txt");
    ASSERT_EQ(ui_->overwriteTexts.size(), 3);
    EXPECT_TRUE(
        ui_->overwriteTexts[1].contains(QStringLiteral("「b.txt」という名前のファイルがあります")))
        << ui_->overwriteTexts[1];
    EXPECT_TRUE(ui_->overwriteTexts[1].contains(QStringLiteral("置き換えますか")));
    EXPECT_EQ(ui_->unexpected, 0);
    // Nothing is left beside the replaced files.
    EXPECT_EQ(QDir(dst()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              4);
}

TEST_F(Collisions, YesToAllStopsAsking)
{
    ui_->answerOverwrite(Overwrite::YesToAll);
    EXPECT_EQ(copyAll(), 0);
    EXPECT_EQ(ui_->overwriteTexts.size(), 1);
    EXPECT_EQ(at("a.txt"), "new a.txt");
    EXPECT_EQ(at("b.txt"), "new b.txt");
    EXPECT_EQ(at("c.txt"), "new c.txt");
}

TEST_F(Collisions, CancelStopsTheWholeOperation)
{
    ui_->answerOverwrite(Overwrite::Yes);
    ui_->answerOverwrite(Overwrite::Cancel);
    EXPECT_EQ(copyAll(), Shell::kCancelled);
    EXPECT_EQ(at("a.txt"), "new a.txt");
    EXPECT_EQ(at("b.txt"), "old b.txt");
    EXPECT_EQ(at("c.txt"), "old c.txt");
    EXPECT_FALSE(QFile::exists(dst(QStringLiteral("d.txt"))));
    EXPECT_EQ(ui_->progressStarts, ui_->progressEnds);
}

TEST_F(Collisions, NoConfirmationAndRenameOnCollisionAskNothing)
{
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("a.txt"))}, dst(), Shell::RenameOnCollision), 0);
    EXPECT_EQ(at("a.txt"), "old a.txt");
    EXPECT_EQ(at("a (2).txt"), "new a.txt");
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("b.txt"))}, dst(), Shell::NoConfirmation), 0);
    EXPECT_EQ(at("b.txt"), "new b.txt");
    EXPECT_TRUE(ui_->overwriteTexts.isEmpty());
}

TEST_F(ShellFileOps, ProgressIsShownUnlessSilent)
{
    writeFile(src(QStringLiteral("a.txt")), "a");
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("a.txt"))}, dst()), 0);
    EXPECT_EQ(ui_->progressStarts, 1);
    EXPECT_EQ(ui_->progressEnds, 1);
    EXPECT_GT(ui_->steps, 0);
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("a.txt"))}, dst(QStringLiteral("quiet")),
                  Shell::Silent | Shell::NoConfirmMkdir),
              0);
    EXPECT_EQ(ui_->progressStarts, 1);
    EXPECT_EQ(readFile(dst(QStringLiteral("quiet/a.txt"))), "a");
}

TEST_F(ShellFileOps, CopyIntoItsOwnFolderMakesANamedCopy)
{
    writeFile(src(QStringLiteral("memo.txt")), "memo");
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("memo.txt"))}, src()), 0);
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("memo.txt"))}, src()), 0);
    EXPECT_EQ(readFile(src(QStringLiteral("memo - コピー.txt"))), "memo");
    EXPECT_EQ(readFile(src(QStringLiteral("memo - コピー (2).txt"))), "memo");
    EXPECT_TRUE(ui_->overwriteTexts.isEmpty());
}

TEST_F(ShellFileOps, CancelInsideAFileLeavesTheSourceAndNoPartialCopy)
{
    const QByteArray bytes = pattern(24 << 20, 1);
    writeFile(src(QStringLiteral("big.bin")), bytes);
    bool partialSeen = false;
    bool finalNameSeen = false;
    ui_->onStep = [&](int) {
        // The copy under way is a hidden file beside its final name, never that name itself.
        const QStringList parts = QDir(dst()).entryList({QStringLiteral(".big.bin.koramo-*")},
                                                        QDir::Files | QDir::Hidden);
        partialSeen = partialSeen || !parts.isEmpty();
        finalNameSeen = finalNameSeen || QFile::exists(dst(QStringLiteral("big.bin")));
    };
    ui_->cancelAtStep(2);
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("big.bin"))}, dst()), Shell::kCancelled);
    EXPECT_TRUE(partialSeen); // it really stopped inside the file
    EXPECT_FALSE(finalNameSeen);
    EXPECT_EQ(readFile(src(QStringLiteral("big.bin"))), bytes);
    EXPECT_TRUE(
        QDir(dst()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(ShellFileOps, CancelWhileReplacingKeepsTheOldFile)
{
    writeFile(src(QStringLiteral("big.bin")), pattern(24 << 20, 2));
    writeFile(dst(QStringLiteral("big.bin")), "the old one");
    ui_->answerOverwrite(Overwrite::Yes);
    ui_->cancelAtStep(2);
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("big.bin"))}, dst()), Shell::kCancelled);
    EXPECT_EQ(readFile(dst(QStringLiteral("big.bin"))), "the old one");
    EXPECT_EQ(QDir(dst()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("big.bin")});
}

TEST_F(ShellFileOps, CancelledFolderCopyKeepsOnlyCompleteFiles)
{
    for (int i = 0; i < 4; ++i)
        writeFile(src(QStringLiteral("tree/f%1.bin").arg(i)), pattern(10 << 20, 10 + i));
    const auto before = snapshot(src());
    ui_->cancelAtStep(5);
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, dst()), Shell::kCancelled);
    EXPECT_EQ(snapshot(src()), before);
    const auto copied = snapshot(dst(QStringLiteral("tree")));
    EXPECT_LT(copied.size(), 4);
    for (auto it = copied.begin(); it != copied.end(); ++it)
        EXPECT_EQ(it.value(), before.value(QStringLiteral("tree/") + it.key())) << it.key();
}

TEST_F(ShellFileOps, FolderIntoItselfIsRefused)
{
    writeFile(src(QStringLiteral("proj/sub/x.txt")), "x");
    const auto before = snapshot(src());
    for (Shell::Operation op : {Shell::Copy, Shell::Move}) {
        ui_->errors.clear();
        EXPECT_EQ(run(op, {src(QStringLiteral("proj"))}, src(QStringLiteral("proj/sub"))),
                  Shell::kFailed);
        EXPECT_EQ(run(op, {src(QStringLiteral("proj"))}, src(QStringLiteral("proj"))),
                  Shell::kFailed);
        ASSERT_EQ(ui_->errors.size(), 2);
        EXPECT_TRUE(ui_->errors[0].contains(QStringLiteral("元のフォルダの中にあります")))
            << ui_->errors[0];
        EXPECT_TRUE(ui_->errors[0].contains(src(QStringLiteral("proj"))));
        EXPECT_EQ(snapshot(src()), before);
    }
}

TEST_F(ShellFileOps, LinksAreCopiedAsLinksAndNeverFollowedWhenDeleting)
{
    writeFile(src(QStringLiteral("outside/keep.txt")), "keep me");
    writeFile(src(QStringLiteral("tree/real.txt")), "real");
    ASSERT_EQ(::symlink("../outside",
                        QFile::encodeName(src(QStringLiteral("tree/to-folder"))).constData()),
              0);
    const QByteArray absoluteTarget = QFile::encodeName(src(QStringLiteral("outside/keep.txt")));
    ASSERT_EQ(::symlink(absoluteTarget.constData(),
                        QFile::encodeName(src(QStringLiteral("tree/to-file"))).constData()),
              0);
    ASSERT_EQ(
        ::symlink("nowhere", QFile::encodeName(src(QStringLiteral("tree/dangling"))).constData()),
        0);

    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, dst()), 0);
    EXPECT_EQ(snapshot(dst(QStringLiteral("tree"))), snapshot(src(QStringLiteral("tree"))));
    EXPECT_TRUE(isLink(dst(QStringLiteral("tree/to-folder"))));
    EXPECT_EQ(QFile::symLinkTarget(dst(QStringLiteral("tree/to-file"))),
              src(QStringLiteral("outside/keep.txt")));

    // Deleting the tree (and a link given directly) removes links, not what they point to.
    ui_->answer(true);
    ui_->answer(true);
    EXPECT_EQ(run(Shell::Delete, {src(QStringLiteral("tree"))}, QString()), 0);
    ASSERT_EQ(::symlink("outside", QFile::encodeName(src(QStringLiteral("top-link"))).constData()),
              0);
    EXPECT_EQ(run(Shell::Delete, {src(QStringLiteral("top-link"))}, QString()), 0);
    EXPECT_FALSE(QFileInfo::exists(src(QStringLiteral("tree"))));
    EXPECT_FALSE(isLink(src(QStringLiteral("top-link"))));
    EXPECT_EQ(readFile(src(QStringLiteral("outside/keep.txt"))), "keep me");
}

TEST_F(ShellFileOps, CopiesKeepTimesAndPermissions)
{
    writeFile(src(QStringLiteral("tree/script.sh")), "#!/bin/sh\n");
    writeFile(src(QStringLiteral("tree/inner/private.txt")), "secret");
    const auto setTime = [](const QString& path, time_t seconds) {
        const struct timespec times[2] = {{seconds - 50, 0}, {seconds, 123456789}};
        return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
    };
    ::chmod(QFile::encodeName(src(QStringLiteral("tree/script.sh"))).constData(), 0751);
    ::chmod(QFile::encodeName(src(QStringLiteral("tree/inner/private.txt"))).constData(), 0600);
    ::chmod(QFile::encodeName(src(QStringLiteral("tree/inner"))).constData(), 0710);
    ASSERT_TRUE(setTime(src(QStringLiteral("tree/script.sh")), 981173106));
    ASSERT_TRUE(setTime(src(QStringLiteral("tree/inner/private.txt")), 1000000000));
    ASSERT_TRUE(setTime(src(QStringLiteral("tree/inner")), 1100000000));

    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, dst()), 0);
    for (const char* name : {"tree/script.sh", "tree/inner/private.txt", "tree/inner"}) {
        struct stat a, b;
        ASSERT_EQ(::lstat(QFile::encodeName(src(QLatin1String(name))).constData(), &a), 0);
        ASSERT_EQ(::lstat(QFile::encodeName(dst(QLatin1String(name))).constData(), &b), 0);
        EXPECT_EQ(a.st_mode, b.st_mode) << name;
        EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec) << name;
        EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec) << name;
    }
}

TEST_F(ShellFileOps, PermanentDeleteAsksFirst)
{
    writeFile(src(QStringLiteral("a.txt")), "a");
    writeFile(src(QStringLiteral("b/c.txt")), "c");
    writeFile(src(QStringLiteral("d.txt")), "d");
    ui_->answer(false);
    EXPECT_EQ(run(Shell::Delete, {src(QStringLiteral("a.txt"))}, QString()), Shell::kCancelled);
    EXPECT_TRUE(QFile::exists(src(QStringLiteral("a.txt"))));
    ASSERT_EQ(ui_->asked.size(), 1);
    EXPECT_EQ(ui_->asked[0].question, Question::Delete);
    // The question names the full path where it once named the file alone.
    EXPECT_TRUE(ui_->asked[0].text.startsWith(QStringLiteral("「") + src(QStringLiteral("a.txt")) +
                                              QStringLiteral("」を完全に削除しますか？")))
        << ui_->asked[0].text;

    ui_->answer(true);
    EXPECT_EQ(
        run(Shell::Delete,
            {src(QStringLiteral("a.txt")), src(QStringLiteral("b")), src(QStringLiteral("d.txt"))},
            QString()),
        0);
    EXPECT_TRUE(
        ui_->asked[1].text.startsWith(QStringLiteral("これらの 3 個の項目を完全に削除しますか？")));
    EXPECT_TRUE(snapshot(src()).isEmpty());
}

TEST_F(ShellFileOps, MissingDestinationFolderIsCreatedOnlyWhenTheUserAgrees)
{
    writeFile(src(QStringLiteral("a.txt")), "a");
    const QString target = dst(QStringLiteral("new/deeper"));
    ui_->answer(false);
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("a.txt"))}, target), Shell::kCancelled);
    EXPECT_FALSE(QFileInfo::exists(dst(QStringLiteral("new"))));
    ASSERT_EQ(ui_->asked.size(), 1);
    EXPECT_EQ(ui_->asked[0].question, Question::CreateFolder);
    EXPECT_TRUE(ui_->asked[0].text.contains(target));

    ui_->answer(true);
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("a.txt"))}, target), 0);
    EXPECT_EQ(readFile(target + QStringLiteral("/a.txt")), "a");

    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("a.txt"))}, dst(QStringLiteral("other")),
                  Shell::NoConfirmMkdir),
              0);
    EXPECT_EQ(readFile(dst(QStringLiteral("other/a.txt"))), "a");
    EXPECT_EQ(ui_->asked.size(), 2);
}

TEST_F(ShellFileOps, MoveMergesFoldersAndKeepsWhatTheUserSkipped)
{
    writeFile(src(QStringLiteral("proj/keep.txt")), "new keep");
    writeFile(src(QStringLiteral("proj/moved.txt")), "moved");
    writeFile(dst(QStringLiteral("proj/keep.txt")), "old keep");
    ui_->answerOverwrite(Overwrite::Yes); // merge the folders
    ui_->answerOverwrite(Overwrite::No);  // but keep the old keep.txt
    EXPECT_EQ(run(Shell::Move, {src(QStringLiteral("proj"))}, dst()), 0);
    EXPECT_EQ(ui_->overwriteTexts.size(), 2);
    EXPECT_TRUE(ui_->overwriteTexts[0].contains(QStringLiteral("統合しますか")));
    EXPECT_EQ(readFile(dst(QStringLiteral("proj/keep.txt"))), "old keep");
    EXPECT_EQ(readFile(dst(QStringLiteral("proj/moved.txt"))), "moved");
    // The skipped file stays where it was.
    EXPECT_EQ(readFile(src(QStringLiteral("proj/keep.txt"))), "new keep");
    EXPECT_FALSE(QFile::exists(src(QStringLiteral("proj/moved.txt"))));
}

TEST_F(ShellFileOps, MoveAcrossFileSystemsCopiesThenRemovesEachSource)
{
    TmpfsMount tmpfs(64 << 20);
    if (!tmpfs.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (" << tmpfs.why()
                     << "), so no second file system";
    writeFile(src(QStringLiteral("tree/a.bin")), pattern(3 << 20, 3));
    writeFile(src(QStringLiteral("tree/sub/b.txt")), "b");
    QDir().mkpath(src(QStringLiteral("tree/empty")));
    ASSERT_EQ(
        ::symlink("sub/b.txt", QFile::encodeName(src(QStringLiteral("tree/link"))).constData()), 0);
    const struct timespec times[2] = {{1200000000, 0}, {1200000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(src(QStringLiteral("tree/a.bin"))).constData(), times,
                0);
    const auto before = snapshot(src(QStringLiteral("tree")));

    EXPECT_EQ(run(Shell::Move, {src(QStringLiteral("tree"))}, tmpfs.path()), 0);
    EXPECT_TRUE(ui_->errors.isEmpty()) << ui_->errors.join(u'\n');
    EXPECT_EQ(snapshot(tmpfs.path() + QStringLiteral("/tree")), before);
    EXPECT_FALSE(QFileInfo::exists(src(QStringLiteral("tree"))));
    EXPECT_EQ(
        QFileInfo(tmpfs.path() + QStringLiteral("/tree/a.bin")).lastModified().toSecsSinceEpoch(),
        1200000000);
}

TEST_F(ShellFileOps, MoveAcrossFileSystemsThatFailsLosesNothing)
{
    TmpfsMount tmpfs(4 << 20);
    if (!tmpfs.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (" << tmpfs.why()
                     << "), so no second file system";
    writeFile(src(QStringLiteral("tree/1-small.txt")), "small");
    writeFile(src(QStringLiteral("tree/2-large.bin")), pattern(6 << 20, 4)); // larger than the disk
    const auto before = snapshot(src(QStringLiteral("tree")));

    EXPECT_EQ(run(Shell::Move, {src(QStringLiteral("tree"))}, tmpfs.path()), Shell::kFailed);
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("移動できません: ") +
                                          src(QStringLiteral("tree/2-large.bin"))))
        << ui_->errors[0];
    // Every file is whole in exactly one of the two places; no partial copy is left.
    const auto moved = snapshot(tmpfs.path() + QStringLiteral("/tree"));
    const auto left = snapshot(src(QStringLiteral("tree")));
    for (auto it = before.begin(); it != before.end(); ++it) {
        const bool there = moved.contains(it.key());
        const bool here = left.contains(it.key());
        EXPECT_TRUE(there != here) << it.key();
        EXPECT_EQ(there ? moved.value(it.key()) : left.value(it.key()), it.value()) << it.key();
    }
    EXPECT_EQ(readFile(src(QStringLiteral("tree/2-large.bin"))), pattern(6 << 20, 4));
}

TEST_F(ShellFileOps, RenameNeverReplaces)
{
    writeFile(src(QStringLiteral("a.txt")), "a");
    writeFile(src(QStringLiteral("b.txt")), "b");
    Shell::FileOperation op;
    op.operation = Shell::Rename;
    op.from = pathList({src(QStringLiteral("a.txt"))});
    op.to = pathList({src(QStringLiteral("b.txt"))});
    EXPECT_EQ(shell_->fileOperation(op), Shell::kFailed);
    EXPECT_EQ(readFile(src(QStringLiteral("b.txt"))), "b");
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("名前を変更できません: ") +
                                          src(QStringLiteral("a.txt"))));
    op.to = QStringLiteral("c.txt"); // a bare name stays in the folder
    EXPECT_EQ(shell_->fileOperation(op), 0);
    EXPECT_EQ(readFile(src(QStringLiteral("c.txt"))), "a");
    EXPECT_FALSE(QFile::exists(src(QStringLiteral("a.txt"))));
}

TEST_F(ShellFileOps, AMissingSourceStopsBeforeAnythingHappens)
{
    writeFile(src(QStringLiteral("a.txt")), "a");
    EXPECT_EQ(
        run(Shell::Move, {src(QStringLiteral("a.txt")), src(QStringLiteral("gone.txt"))}, dst()),
        Shell::kFailed);
    EXPECT_TRUE(QFile::exists(src(QStringLiteral("a.txt"))));
    EXPECT_TRUE(snapshot(dst()).isEmpty());
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("移動できません: ") +
                                          src(QStringLiteral("gone.txt"))));
}

} // namespace
