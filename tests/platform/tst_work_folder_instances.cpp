// Where exp.ini and the work folder live, and how running instances share the work-folder
// root: each its own folder, a folder left by an instance that died removed by the next start.
#include "base/IniFile.h"
#include "base/Paths.h"
#include "platform/WorkFolder.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

QString qpath(const fs::path& path)
{
    return QFile::decodeName(QByteArray(path.c_str()));
}

fs::path fspath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

std::string contents(const fs::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

mode_t modeOf(const fs::path& path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Runs the body in a child process (as "nobody", owner of the folder, when the tests run as
// root, so that a read-only folder is read-only) and returns its exit code.
int runInChild(const fs::path& owned, const std::function<int()>& body)
{
    if (::geteuid() == 0) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(owned, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec))
            ::lchown(it->path().c_str(), 65534, 65534);
        if (::chown(owned.c_str(), 65534, 65534) != 0)
            return 96;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        try {
            ::_exit(body());
        } catch (...) {
            ::_exit(97);
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

// The folders below the root, by name.
std::vector<std::string> foldersIn(const fs::path& root)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Another running instance: a child process that claims its own work folder, puts a file in
// it, reports the folder through a pipe and waits until told to end (or is killed).
class OtherInstance final
{
public:
    OtherInstance()
    {
        int toParent[2], toChild[2];
        if (::pipe(toParent) != 0 || ::pipe(toChild) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(toParent[0]);
            ::close(toChild[1]);
            const QByteArray folder = QFile::encodeName(app::workFolderPath());
            std::ofstream(folder.toStdString() + "staged.txt") << "theirs";
            ::write(toParent[1], folder.constData(), static_cast<size_t>(folder.size()));
            ::close(toParent[1]);
            char c = 0;
            ::read(toChild[0], &c, 1);
            if (c == 'r')
                app::releaseWorkFolder();
            ::_exit(0);
        }
        ::close(toParent[1]);
        ::close(toChild[0]);
        m_command = toChild[1];
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(toParent[0], buffer, sizeof buffer)) > 0)
            m_folder.append(buffer, static_cast<size_t>(n));
        ::close(toParent[0]);
    }
    ~OtherInstance() { end(true); }

    const std::string& folder() const { return m_folder; }

    // Ends it: with a release of its folder, or as a crash would.
    void end(bool orderly)
    {
        if (m_pid <= 0)
            return;
        if (orderly) {
            ::write(m_command, "r", 1);
        } else {
            ::kill(m_pid, SIGKILL);
        }
        ::close(m_command);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_command = -1;
    std::string m_folder;
};

class WorkFolderInstances : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        base = fspath(dir.path());
        platform::setProgramFolder(dir.path());
        root = base / "temp";
    }
    void TearDown() override
    {
        app::releaseWorkFolder();
        platform::setProgramFolder(QString());
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(base, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec))
                ::chmod(it->path().c_str(), 0755);
        }
    }

    QTemporaryDir dir;
    fs::path base;
    fs::path root;
};

TEST_F(WorkFolderInstances, AWritableProgramFolderKeepsSettingsAndWorkFolderBesideIt)
{
    EXPECT_TRUE(platform::keepsFilesBesideProgram());
    EXPECT_EQ(platform::settingsFilePath(), dir.path() + QStringLiteral("/exp.ini"));
    EXPECT_EQ(platform::workFolderRoot(), dir.path() + QStringLiteral("/temp"));
    const QString own = app::workFolderPath();
    EXPECT_EQ(fspath(own).parent_path().parent_path(), root);
    EXPECT_TRUE(fs::is_directory(fspath(own)));
}

TEST_F(WorkFolderInstances, AReadOnlyProgramFolderUsesTheUsersConfigurationAndCacheFolders)
{
    const fs::path program = base / "program";
    fs::create_directories(program);
    const int result = runInChild(base, [&] {
        ::setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (base / "cache").c_str(), 1);
        ::chmod(program.c_str(), 0555);
        platform::setProgramFolder(qpath(program));
        if (platform::keepsFilesBesideProgram())
            return 1;
        if (platform::settingsFilePath() != qpath(base / "config" / "koramo" / "exp.ini"))
            return 2;
        if (modeOf(base / "config" / "koramo") != 0700)
            return 3;
        // An exp.ini written on the old platform (code page 932, CRLF) is read from there.
        std::ofstream(base / "config" / "koramo" / "exp.ini")
            << "[yokutukau]\r\nfolder=C:\\\x8e\xca\x90\x5e\r\n";
        if (settings::readProfileString(platform::settingsFilePath(), QStringLiteral("yokutukau"),
                                        QStringLiteral("folder")) != QStringLiteral("C:\\写真"))
            return 4;
        const fs::path temp = base / "cache" / "koramo" / "temp";
        if (platform::workFolderRoot() != qpath(temp))
            return 5;
        const fs::path own = fspath(app::workFolderPath());
        if (own.parent_path().parent_path() != temp || !fs::is_directory(own))
            return 6;
        if (modeOf(temp) != 0700 || modeOf(temp.parent_path()) != 0700)
            return 7;
        app::releaseWorkFolder();
        if (fs::exists(temp) || !fs::is_empty(program))
            return 8;
        return 0;
    });
    EXPECT_EQ(result, 0);
}

TEST_F(WorkFolderInstances, TheInstalledLayoutFindsThePartsBesideTheExecutable)
{
    fs::create_directories(base / "usr" / "bin");
    fs::create_directories(base / "usr" / "lib" / "koramo");
    std::ofstream(base / "usr" / "lib" / "koramo" / "libunlha32.so") << "x";
    EXPECT_EQ(platform::programFolderOf(qpath(base / "usr" / "bin")),
              qpath(base / "usr" / "lib" / "koramo"));
    // A program folder that holds the libraries itself (the build folder, a copied folder).
    fs::create_directories(base / "copy");
    std::ofstream(base / "copy" / "libunlha32.so") << "x";
    EXPECT_EQ(platform::programFolderOf(qpath(base / "copy")), qpath(base / "copy"));
    // Neither: the executable's folder, where a missing library is then reported.
    fs::create_directories(base / "bare");
    EXPECT_EQ(platform::programFolderOf(qpath(base / "bare")), qpath(base / "bare"));
}

TEST_F(WorkFolderInstances, TwoInstancesNeverTouchEachOthersWorkFiles)
{
    OtherInstance other;
    ASSERT_FALSE(other.folder().empty());
    const fs::path theirs(other.folder());
    EXPECT_EQ(theirs.parent_path().parent_path(), root);

    const fs::path mine = fspath(app::workFolderPath());
    ASSERT_FALSE(mine.empty());
    EXPECT_NE(mine, theirs);
    std::ofstream(mine / "mine.txt") << "mine";
    app::prepareWorkFolder();
    EXPECT_TRUE(fs::is_directory(mine));
    EXPECT_FALSE(fs::exists(mine / "mine.txt"));
    EXPECT_EQ(contents(theirs / "staged.txt"), "theirs");

    // This one ends first: its folder goes, theirs and the root stay.
    app::releaseWorkFolder();
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_EQ(contents(theirs / "staged.txt"), "theirs");
    // A start while they still run leaves their folder alone.
    const fs::path again = fspath(app::workFolderPath());
    EXPECT_EQ(contents(theirs / "staged.txt"), "theirs");
    app::releaseWorkFolder();

    // The last one to end takes the root with it.
    other.end(true);
    EXPECT_FALSE(fs::exists(theirs));
    EXPECT_FALSE(fs::exists(root));
    EXPECT_FALSE(fs::exists(again));
}

TEST_F(WorkFolderInstances, TheNextStartRemovesWhatADeadInstanceLeft)
{
    OtherInstance crashed;
    const fs::path left(crashed.folder());
    ASSERT_TRUE(fs::exists(left / "staged.txt"));
    crashed.end(false);
    EXPECT_TRUE(fs::exists(left / "staged.txt")); // nobody has cleaned up yet

    OtherInstance running;
    const fs::path theirs = fs::path(running.folder()).parent_path();
    // The running one's start already cleaned the dead one's folder.
    EXPECT_FALSE(fs::exists(left));

    // A folder without a lock and a loose file, as an older version left them.
    fs::create_directories(root / "staged" / "deeper");
    std::ofstream(root / "staged" / "deeper" / "member.txt") << "old";
    std::ofstream(root / "loose.txt") << "old";
    const fs::path mine = fspath(app::workFolderPath()).parent_path();
    // Left: the two running instances' folders and their locks.
    std::vector<std::string> expected{mine.filename().string(), theirs.filename().string()};
    expected.push_back(expected[0] + ".lock");
    expected.push_back(expected[1] + ".lock");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(foldersIn(root), expected);
    EXPECT_EQ(contents(theirs / "staged.txt"), "theirs");
}

} // namespace
