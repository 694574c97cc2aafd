// The shell's file operations kept safe: the root, mount points and the home folder are
// never deleted or moved away, a delete never crosses into another volume, every delete
// question names the full path, names that are not UTF-8 work on their real bytes, a move
// within one disk is one rename, and counting a tree can be cancelled.
#include "QStringPrinting.h"
#include "ShellFixture.h"

#include "base/NativePath.h"
#include "desktop/LinuxShell.h"
#include "platform/DeletionGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace shelltest;
using platform::Shell;
using Question = platform::ShellUi::Question;

namespace
{

// "日本語.txt" in Shift-JIS.
const QByteArray kSjisName("\x93\xfa\x96\x7b\x8c\xea.txt");

class ShellSafety : public ShellFixture
{
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        QDir().mkpath(in(QStringLiteral("src")));
        QDir().mkpath(in(QStringLiteral("dst")));
    }
    // Qt cannot remove names that are not UTF-8; the system's rm can.
    void TearDown() override
    {
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_root.path()});
    }
    QString in(const QString& name) const { return m_root.path() + u'/' + name; }
    // run() only ever with the questions on: a guard that fails must still be stopped by a "no".
    // A file whose name is the given bytes, in the folder.
    QString makeNative(const QString& folder, const QByteArray& name, const QByteArray& bytes)
    {
        const QByteArray path = QFile::encodeName(folder) + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
        ::close(fd);
        return folder + u'/' + platform::fromNativePath(name);
    }
    // The content of a file named by its bytes.
    static QByteArray rawContent(const QByteArray& path)
    {
        QByteArray content;
        const int fd = ::open(path.constData(), O_RDONLY);
        if (fd < 0)
            return "<missing>";
        char buffer[256];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            content.append(buffer, n);
        ::close(fd);
        return content;
    }
    // The raw names in a folder.
    static QList<QByteArray> rawNames(const QString& folder)
    {
        QList<QByteArray> names;
        DIR* dir = ::opendir(QFile::encodeName(folder).constData());
        if (!dir)
            return names;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }
};

// --- the root, mount points, home -----------------------------------------------------------

TEST_F(ShellSafety, RootIsRefusedBeforeAnyQuestion)
{
    for (unsigned flags : {0u, unsigned(Shell::AllowUndo)}) {
        ui_->errors.clear();
        EXPECT_EQ(run(Shell::Delete, {QStringLiteral("/")}, {}, flags), Shell::kFailed);
        ASSERT_EQ(ui_->errors.size(), 1);
        EXPECT_EQ(ui_->errors[0], platform::protectedFolderText(QStringLiteral("/")));
    }
    EXPECT_TRUE(ui_->asked.isEmpty());
    EXPECT_EQ(ui_->unexpected, 0);
}

TEST_F(ShellSafety, HomeIsNeitherDeletedNorMovedAway)
{
    const QString home = in(QStringLiteral("home/me"));
    writeFile(home + QStringLiteral("/notes.txt"), "notes");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    EXPECT_EQ(run(Shell::Delete, {home}), Shell::kFailed);
    EXPECT_EQ(run(Shell::Delete, {in(QStringLiteral("home"))}, {}, Shell::AllowUndo),
              Shell::kFailed);
    EXPECT_EQ(run(Shell::Move, {home}, in(QStringLiteral("dst"))), Shell::kFailed);
    qputenv("HOME", oldHome);
    ASSERT_EQ(ui_->errors.size(), 3);
    EXPECT_EQ(ui_->errors[0], platform::protectedFolderText(home));
    EXPECT_EQ(ui_->errors[2], platform::protectedFolderText(home, true));
    EXPECT_TRUE(ui_->asked.isEmpty());
    EXPECT_EQ(readFile(home + QStringLiteral("/notes.txt")), "notes");
}

TEST_F(ShellSafety, AMountPointIsRefusedAndATreeHoldingOneIsNotEntered)
{
    writeFile(in(QStringLiteral("src/tree/mine.txt")), "mine");
    QDir().mkpath(in(QStringLiteral("src/tree/sub/volume")));
    TmpfsMount volume(1 << 20);
    if (!volume.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root (" << volume.why()
                     << "); CI runs this as root";
    writeFile(volume.path() + QStringLiteral("/theirs.txt"), "theirs");
    // The volume itself.
    EXPECT_EQ(run(Shell::Delete, {volume.path()}), Shell::kFailed);
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_EQ(ui_->errors[0], platform::protectedFolderText(volume.path()));
    EXPECT_TRUE(ui_->asked.isEmpty());

    // A bind of the volume inside the tree: refused before anything is deleted.
    const QString inside = in(QStringLiteral("src/tree/sub/volume"));
    ASSERT_EQ(::mount(QFile::encodeName(volume.path()).constData(),
                      QFile::encodeName(inside).constData(), nullptr, MS_BIND, nullptr),
              0);
    ui_->answer(true);
    EXPECT_EQ(run(Shell::Delete, {in(QStringLiteral("src/tree"))}), Shell::kFailed);
    ::umount2(QFile::encodeName(inside).constData(), MNT_DETACH);
    ASSERT_EQ(ui_->errors.size(), 2);
    EXPECT_EQ(ui_->errors[1], platform::mountInsideText(in(QStringLiteral("src/tree")),
                                                        QDir(inside).canonicalPath()));
    EXPECT_EQ(readFile(in(QStringLiteral("src/tree/mine.txt"))), "mine");
    EXPECT_EQ(readFile(volume.path() + QStringLiteral("/theirs.txt")), "theirs");
}

TEST_F(ShellSafety, AMoveAcrossDisksDoesNotCarryAMountedVolumeAlong)
{
    TmpfsMount target(8 << 20);
    TmpfsMount volume(1 << 20);
    if (!target.mounted() || !volume.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root (" << target.why()
                     << "); CI runs this as root";
    writeFile(in(QStringLiteral("src/tree/mine.txt")), "mine");
    writeFile(volume.path() + QStringLiteral("/theirs.txt"), "theirs");
    const QString inside = in(QStringLiteral("src/tree/volume"));
    QDir().mkpath(inside);
    ASSERT_EQ(::mount(QFile::encodeName(volume.path()).constData(),
                      QFile::encodeName(inside).constData(), nullptr, MS_BIND, nullptr),
              0);
    EXPECT_EQ(run(Shell::Move, {in(QStringLiteral("src/tree"))}, target.path()), Shell::kFailed);
    ::umount2(QFile::encodeName(inside).constData(), MNT_DETACH);
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("移動できません: "))) << ui_->errors[0];
    EXPECT_EQ(readFile(volume.path() + QStringLiteral("/theirs.txt")), "theirs");
    EXPECT_EQ(readFile(in(QStringLiteral("src/tree/mine.txt"))), "mine");
}

// --- the questions name the full path -------------------------------------------------------

TEST_F(ShellSafety, EveryDeleteQuestionShowsTheFullPath)
{
    writeFile(in(QStringLiteral("src/a.txt")), "a");
    writeFile(in(QStringLiteral("src/b.txt")), "b");
    ui_->answer(false);
    ui_->answer(false);
    ui_->answer(false);
    EXPECT_EQ(run(Shell::Delete, {in(QStringLiteral("src/a.txt"))}), Shell::kCancelled);
    EXPECT_EQ(run(Shell::Delete, {in(QStringLiteral("src"))}, {}, Shell::AllowUndo),
              Shell::kCancelled);
    EXPECT_EQ(
        run(Shell::Delete, {in(QStringLiteral("src/a.txt")), in(QStringLiteral("src/b.txt"))}),
        Shell::kCancelled);
    ASSERT_EQ(ui_->asked.size(), 3);
    EXPECT_EQ(ui_->asked[0].text,
              QStringLiteral("「") + in(QStringLiteral("src/a.txt")) +
                  QStringLiteral("」を完全に削除しますか？\n削除した項目は元に戻せません。"));
    EXPECT_EQ(ui_->asked[1].text, QStringLiteral("「") + in(QStringLiteral("src")) +
                                      QStringLiteral("」をごみ箱に移動しますか？"));
    EXPECT_TRUE(
        ui_->asked[2].text.startsWith(QStringLiteral("これらの 2 個の項目を完全に削除しますか？")));
    EXPECT_TRUE(ui_->asked[2].text.contains(in(QStringLiteral("src/a.txt")) + u'\n' +
                                            in(QStringLiteral("src/b.txt"))))
        << ui_->asked[2].text;
    EXPECT_EQ(snapshot(in(QStringLiteral("src"))).size(), 2);
}

// --- names that are not UTF-8 ---------------------------------------------------------------

TEST_F(ShellSafety, NamesThatAreNotUtf8AreCopiedMovedAndDeletedByTheirBytes)
{
    const QString file = makeNative(in(QStringLiteral("src")), kSjisName, "sjis");
    ASSERT_EQ(run(Shell::Copy, {file}, in(QStringLiteral("dst"))), 0) << ui_->errors.join(u'\n');
    EXPECT_EQ(rawNames(in(QStringLiteral("dst"))), QList<QByteArray>{kSjisName});
    const QString copiedPath = in(QStringLiteral("dst/")) + platform::fromNativePath(kSjisName);
    EXPECT_EQ(rawContent(QFile::encodeName(in(QStringLiteral("dst"))) + '/' + kSjisName), "sjis");
    QDir().mkpath(in(QStringLiteral("src/moved")));
    ASSERT_EQ(run(Shell::Move, {copiedPath}, in(QStringLiteral("src/moved"))), 0);
    EXPECT_TRUE(rawNames(in(QStringLiteral("dst"))).isEmpty());
    EXPECT_EQ(rawNames(in(QStringLiteral("src/moved"))), QList<QByteArray>{kSjisName});

    ui_->answer(true);
    ASSERT_EQ(run(Shell::Delete,
                  {in(QStringLiteral("src/moved/")) + platform::fromNativePath(kSjisName)}),
              0);
    EXPECT_TRUE(rawNames(in(QStringLiteral("src/moved"))).isEmpty());
    ASSERT_EQ(ui_->asked.size(), 1);
    EXPECT_TRUE(
        ui_->asked[0].text.contains(platform::foreignNameMark() + QStringLiteral("日本語.txt")))
        << ui_->asked[0].text;
    EXPECT_EQ(rawNames(in(QStringLiteral("src"))), (QList<QByteArray>{"moved", kSjisName}));
}

TEST_F(ShellSafety, ANameThatIsNotUtf8CanBeRenamedToUtf8)
{
    const QString file = makeNative(in(QStringLiteral("src")), kSjisName, "sjis");
    Shell::FileOperation op;
    op.operation = Shell::Rename;
    op.from = pathList({file});
    op.to = QStringLiteral("日本語.txt");
    ASSERT_EQ(shell_->fileOperation(op), 0) << ui_->errors.join(u'\n');
    EXPECT_EQ(rawNames(in(QStringLiteral("src"))), QList<QByteArray>{QByteArray("日本語.txt")});
    EXPECT_EQ(readFile(in(QStringLiteral("src/日本語.txt"))), "sjis");
}

TEST_F(ShellSafety, ANameThatIsNotUtf8GoesToTheTrashByItsBytes)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QString file = makeNative(in(QStringLiteral("src")), kSjisName, "sjis");
    ui_->answer(true);
    EXPECT_EQ(run(Shell::Delete, {file}, {}, Shell::AllowUndo), 0) << ui_->errors.join(u'\n');
    qunsetenv("XDG_DATA_HOME");
    EXPECT_TRUE(rawNames(in(QStringLiteral("src"))).isEmpty());
    EXPECT_EQ(rawNames(data.path() + QStringLiteral("/Trash/files")), QList<QByteArray>{kSjisName});
}

// --- large trees ----------------------------------------------------------------------------

TEST_F(ShellSafety, AMoveWithinOneDiskIsOneRenameWithoutAWalk)
{
    for (int i = 0; i < 400; ++i)
        writeFile(in(QStringLiteral("src/tree/d%1/f%2.txt").arg(i % 20).arg(i)), "x");
    const auto before = snapshot(in(QStringLiteral("src/tree")));
    EXPECT_EQ(run(Shell::Move, {in(QStringLiteral("src/tree"))}, in(QStringLiteral("dst"))), 0);
    EXPECT_EQ(snapshot(in(QStringLiteral("dst/tree"))), before);
    // Counted as one item: nothing below the folder was looked at.
    EXPECT_EQ(ui_->lastTotal, 1);
}

TEST_F(ShellSafety, CountingATreeCanBeCancelledBeforeAnythingIsWritten)
{
    for (int i = 0; i < 200; ++i)
        writeFile(in(QStringLiteral("src/tree/d%1/f%2.txt").arg(i % 10).arg(i)), "x");
    for (Shell::Operation operation : {Shell::Copy, Shell::Delete}) {
        ui_->cancelAtStep(ui_->steps + 1);
        if (operation == Shell::Delete)
            ui_->answer(true);
        const QString to = operation == Shell::Copy ? in(QStringLiteral("dst")) : QString();
        EXPECT_EQ(run(operation, {in(QStringLiteral("src/tree"))}, to), Shell::kCancelled);
        EXPECT_TRUE(snapshot(in(QStringLiteral("dst"))).isEmpty());
        EXPECT_EQ(snapshot(in(QStringLiteral("src/tree"))).size(), 210);
        // The progress window was up while counting, and it said so.
        EXPECT_EQ(ui_->progressStarts, ui_->progressEnds);
        EXPECT_TRUE(ui_->lastCurrent.contains(QStringLiteral("数えて"))) << ui_->lastCurrent;
    }
}

} // namespace
