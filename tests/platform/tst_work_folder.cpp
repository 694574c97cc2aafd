#include "base/Paths.h"
#include "platform/WorkFolder.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

void makeFile(const fs::path& path, const std::string& text, mode_t mode = 0644)
{
    std::ofstream(path) << text;
    ::chmod(path.c_str(), mode);
}

std::string contents(const fs::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool present(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

QString qpath(const fs::path& path)
{
    return QFile::decodeName(QByteArray(path.c_str()));
}

// Runs the body as an ordinary user, so that read-only modes bite even when the tests run
// as root: forked and switched to "nobody", who owns the given folder, in that case.
int runUnprivileged(const fs::path& folder, const std::function<int()>& body)
{
    const auto guarded = [&body] {
        try {
            return body();
        } catch (...) {
            return 97;
        }
    };
    if (::geteuid() != 0)
        return guarded();
    if (::chown(folder.c_str(), 65534, 65534) != 0)
        return 96;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        ::_exit(guarded());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

// Detaches a mount when the test ends, however it ends.
struct Mounted {
    fs::path point;
    ~Mounted() { ::umount2(point.c_str(), MNT_DETACH); }
};

class WorkFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        base = fs::path(QFile::encodeName(dir.path()).toStdString());
    }
    void TearDown() override
    {
        platform::setProgramFolder(QString());
        // Leave nothing read-only behind for the temporary folder's own cleanup.
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(base, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec))
                ::chmod(it->path().c_str(), 0755);
        }
    }

    QTemporaryDir dir;
    fs::path base;
};

TEST_F(WorkFolder, AMissingFolderIsNoError)
{
    makeFile(base / "sibling.txt", "x");
    app::deleteFolderTree(qpath(base / "missing"));
    app::deleteFolderTree(qpath(base / "missing") + QStringLiteral("/"));
    EXPECT_TRUE(fs::exists(base / "sibling.txt"));
}

TEST_F(WorkFolder, RemovesReadOnlyHiddenAndNestedEntries)
{
    const fs::path temp = base / "temp";
    const int result = runUnprivileged(base, [&temp] {
        fs::create_directories(temp / "l1" / "l2" / "l3");
        fs::create_directories(temp / ".dotdir");
        fs::create_directories(temp / "empty");
        makeFile(temp / "a.txt", "a", 0444);
        makeFile(temp / ".hidden", "h", 0400);
        makeFile(temp / ".dotdir" / "x", "x", 0444);
        makeFile(temp / "l1" / "one.txt", "1", 0444);
        makeFile(temp / "l1" / "l2" / "l3" / "deep.txt", "3", 0444);
        for (const fs::path& p : {temp / "l1" / "l2" / "l3", temp / "l1" / "l2", temp / "l1",
                                  temp / ".dotdir", temp / "empty", temp})
            ::chmod(p.c_str(), 0555);
        app::deleteFolderTree(qpath(temp));
        return present(temp) ? 1 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(present(temp));
}

TEST_F(WorkFolder, TrailingSlashMakesNoDifference)
{
    for (const QString& suffix : {QString(), QStringLiteral("/"), QStringLiteral("//")}) {
        const fs::path temp = base / "temp";
        fs::create_directories(temp / "sub");
        makeFile(temp / "f.txt", "f");
        makeFile(temp / "sub" / "g.txt", "g");
        app::deleteFolderTree(qpath(temp) + suffix);
        EXPECT_FALSE(present(temp)) << "suffix \"" << suffix.toStdString() << '"';
    }
}

TEST_F(WorkFolder, LinksAreRemovedNeverFollowed)
{
    const fs::path outside = base / "outside";
    fs::create_directories(outside / "inner");
    makeFile(outside / "keep.txt", "keep");
    makeFile(outside / "inner" / "keep2.txt", "keep2");
    makeFile(base / "file.txt", "file", 0444);

    const fs::path temp = base / "temp";
    fs::create_directories(temp / "sub");
    fs::create_directory_symlink(outside, temp / "dirlink");
    fs::create_symlink(base / "file.txt", temp / "sub" / "filelink");
    fs::create_symlink(base / "nowhere", temp / "sub" / "dangling");
    fs::create_directory_symlink(temp, temp / "sub" / "loop");
    fs::create_hard_link(base / "file.txt", temp / "hardlink");

    app::deleteFolderTree(qpath(temp));
    EXPECT_FALSE(present(temp));
    EXPECT_EQ(contents(outside / "keep.txt"), "keep");
    EXPECT_EQ(contents(outside / "inner" / "keep2.txt"), "keep2");
    EXPECT_EQ(contents(base / "file.txt"), "file");
    // The other name of a hard-linked file keeps its mode.
    EXPECT_EQ(fs::status(base / "file.txt").permissions() & fs::perms::all, fs::perms(0444));

    // The path itself a link (with a trailing separator, which would resolve it).
    fs::create_directory_symlink(outside, base / "toplink");
    app::deleteFolderTree(qpath(base / "toplink") + QStringLiteral("/"));
    EXPECT_FALSE(present(base / "toplink"));
    EXPECT_EQ(contents(outside / "keep.txt"), "keep");
}

TEST_F(WorkFolder, ADriveRootIsEmptiedButAMountedVolumeInsideIsLeftAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a tmpfs as a drive root";
    const fs::path drive = base / "drive";
    fs::create_directories(drive);
    if (::mount("tmpfs", drive.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    {
        const Mounted unmount{drive};
        fs::create_directories(drive / "d" / "e");
        makeFile(drive / "f.txt", "f", 0444);
        makeFile(drive / ".hidden", "h");
        makeFile(drive / "d" / "e" / "g.txt", "g");
        ::chmod((drive / "d").c_str(), 0555);

        app::deleteFolderTree(qpath(drive) + QStringLiteral("/"));
        EXPECT_TRUE(fs::is_directory(drive));
        EXPECT_TRUE(platform::isDriveRoot(qpath(drive)));
        EXPECT_TRUE(fs::is_empty(drive));
    }

    // A volume mounted below the work folder: its contents are not the work folder's.
    const fs::path temp = base / "temp";
    fs::create_directories(temp / "mnt");
    ASSERT_EQ(::mount("tmpfs", (temp / "mnt").c_str(), "tmpfs", 0, "size=1m"), 0);
    const Mounted unmount{temp / "mnt"};
    makeFile(temp / "mnt" / "keep.txt", "keep");
    app::deleteFolderTree(qpath(temp));
    EXPECT_EQ(contents(temp / "mnt" / "keep.txt"), "keep");
}

TEST_F(WorkFolder, PrepareLeavesAnEmptyWorkFolder)
{
    platform::setProgramFolder(qpath(base));
    // This instance's folder lies directly in temp/ beside the program.
    const fs::path temp =
        fs::path(QFile::encodeName(app::workFolderPath()).toStdString()).parent_path();
    EXPECT_TRUE(app::workFolderPath().startsWith(qpath(base) + QStringLiteral("/temp/")));
    EXPECT_EQ(temp.parent_path(), base / "temp");

    app::prepareWorkFolder();
    EXPECT_TRUE(fs::is_directory(temp));
    EXPECT_TRUE(fs::is_empty(temp));

    fs::create_directories(temp / "x");
    makeFile(temp / "x" / "y.txt", "y", 0444);
    makeFile(temp / ".z", "z");
    app::prepareWorkFolder();
    EXPECT_TRUE(fs::is_directory(temp));
    EXPECT_TRUE(fs::is_empty(temp));

    // A work folder replaced by a link to elsewhere: the link goes, a real folder comes.
    const fs::path outside = base / "outside";
    fs::create_directories(outside);
    makeFile(outside / "keep.txt", "keep");
    fs::remove(temp);
    fs::create_directory_symlink(outside, temp);
    app::prepareWorkFolder();
    EXPECT_FALSE(fs::is_symlink(temp));
    EXPECT_TRUE(fs::is_directory(temp));
    EXPECT_TRUE(fs::is_empty(temp));
    EXPECT_EQ(contents(outside / "keep.txt"), "keep");

    // At exit the folder goes, and temp/ with it when no other instance has one there.
    app::releaseWorkFolder();
    EXPECT_FALSE(present(base / "temp"));
}

} // namespace
