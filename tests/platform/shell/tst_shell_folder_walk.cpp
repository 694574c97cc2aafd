// The shell's one folder walk on real temporary trees: order, links never followed, stopping,
// folders that cannot be opened, and reading a folder twice through one descriptor.
#include "platform/shell/FolderWalk.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using platform::folderwalk::Entry;
using platform::folderwalk::FileDescriptor;
using platform::folderwalk::Walk;

namespace
{

void makeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

class FolderWalkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        root = QFile::encodeName(m_dir.path() + QStringLiteral("/tree"));
        outside = QFile::encodeName(m_dir.path() + QStringLiteral("/outside"));
        makeFile(m_dir.path() + QStringLiteral("/tree/a.txt"), "12345");
        makeFile(m_dir.path() + QStringLiteral("/tree/sub/b.txt"), "1234567");
        makeFile(m_dir.path() + QStringLiteral("/tree/sub/deeper/c.txt"), "1");
        makeFile(m_dir.path() + QStringLiteral("/outside/secret.txt"), "not ours");
        ASSERT_EQ(::symlink(outside.constData(), QByteArray(root + "/link-to-outside").constData()),
                  0);
        ASSERT_EQ(::symlink("a.txt", QByteArray(root + "/sub/link-to-file").constData()), 0);
    }

    QTemporaryDir m_dir;
    QByteArray root;
    QByteArray outside;
};

TEST_F(FolderWalkTest, VisitsEveryEntryOnceAndNeverEntersALink)
{
    QList<QByteArray> visited;
    QList<QByteArray> left;
    Walk walk;
    walk.visit = [&](const Walk::Item& item) {
        visited << item.path.mid(root.size() + 1);
        EXPECT_EQ(item.entry.error, 0);
        EXPECT_EQ(item.depth, int(item.path.mid(root.size() + 1).count('/')));
        return Walk::Next::Enter;
    };
    walk.leave = [&](const Walk::Item& item) {
        const QByteArray relative = item.path.mid(root.size() + 1);
        left << relative;
        // A folder is left only after everything below it was visited.
        if (relative == "sub/deeper") {
            EXPECT_TRUE(visited.contains("sub/deeper/c.txt"));
        }
        if (relative == "sub") {
            for (const char* below : {"sub/b.txt", "sub/deeper/c.txt", "sub/link-to-file"})
                EXPECT_TRUE(visited.contains(below)) << below;
        }
        return true;
    };
    EXPECT_TRUE(walk.run(root));
    const QSet<QByteArray> expected{
        "a.txt",          "sub", "sub/b.txt", "sub/deeper", "sub/deeper/c.txt", "sub/link-to-file",
        "link-to-outside"};
    EXPECT_EQ(QSet<QByteArray>(visited.begin(), visited.end()), expected);
    EXPECT_EQ(visited.size(), expected.size());
    // Folders are left deepest first, each after its own entries.
    EXPECT_EQ(left, (QList<QByteArray>{"sub/deeper", "sub"}));
    EXPECT_GT(visited.indexOf("sub/deeper/c.txt"), visited.indexOf("sub/deeper"));
    for (const QByteArray& v : visited)
        EXPECT_FALSE(v.contains("secret")) << v.constData();
}

TEST_F(FolderWalkTest, ALinkIsSeenAsALink)
{
    bool sawLink = false;
    Walk walk;
    walk.visit = [&](const Walk::Item& item) {
        if (item.entry.name == "link-to-outside") {
            sawLink = true;
            EXPECT_TRUE(S_ISLNK(item.entry.info.st_mode));
            EXPECT_FALSE(item.isFolder());
        }
        return Walk::Next::Enter;
    };
    EXPECT_TRUE(walk.run(root));
    EXPECT_TRUE(sawLink);
    // The walked folder itself given as a link is not entered.
    const QByteArray linkRoot = QFile::encodeName(m_dir.path() + QStringLiteral("/root-link"));
    ASSERT_EQ(::symlink(root.constData(), linkRoot.constData()), 0);
    int visits = 0;
    int unreadable = 0;
    Walk viaLink;
    viaLink.visit = [&](const Walk::Item&) {
        ++visits;
        return Walk::Next::Enter;
    };
    viaLink.unreadable = [&](const QByteArray& path, int error) {
        ++unreadable;
        EXPECT_EQ(path, linkRoot);
        EXPECT_NE(error, 0);
        return true;
    };
    EXPECT_TRUE(viaLink.run(linkRoot));
    EXPECT_EQ(visits, 0);
    EXPECT_EQ(unreadable, 1);
}

TEST_F(FolderWalkTest, SkipAndStop)
{
    QList<QByteArray> visited;
    Walk skip;
    skip.visit = [&](const Walk::Item& item) {
        visited << item.entry.name;
        return item.entry.name == "sub" ? Walk::Next::Skip : Walk::Next::Enter;
    };
    EXPECT_TRUE(skip.run(root));
    EXPECT_FALSE(visited.contains("b.txt"));
    EXPECT_TRUE(visited.contains("a.txt"));

    int count = 0;
    Walk stop;
    stop.visit = [&](const Walk::Item&) {
        ++count;
        return Walk::Next::Stop;
    };
    EXPECT_FALSE(stop.run(root));
    EXPECT_EQ(count, 1);

    Walk leaveStops;
    int leaves = 0;
    leaveStops.leave = [&](const Walk::Item&) {
        ++leaves;
        return false;
    };
    EXPECT_FALSE(leaveStops.run(root));
    EXPECT_EQ(leaves, 1);
}

TEST_F(FolderWalkTest, AMissingFolderIsReportedAsUnreadable)
{
    const QByteArray missing = QByteArray(root + "/no-such-folder");
    int error = 0;
    Walk walk;
    walk.unreadable = [&](const QByteArray& path, int e) {
        EXPECT_EQ(path, missing);
        error = e;
        return false;
    };
    EXPECT_FALSE(walk.run(missing));
    EXPECT_EQ(error, ENOENT);
    // Without a handler the walk goes on past it.
    EXPECT_TRUE(Walk().run(missing));
}

TEST_F(FolderWalkTest, AFolderIsReadAgainFromItsStartThroughOneDescriptor)
{
    const FileDescriptor fd(platform::folderwalk::openFolder(root));
    ASSERT_GE(fd.get(), 0);
    QList<Entry> first;
    QList<Entry> second;
    int error = 0;
    ASSERT_TRUE(platform::folderwalk::readFolder(fd.get(), first, error));
    ASSERT_TRUE(platform::folderwalk::readFolder(fd.get(), second, error));
    EXPECT_EQ(first.size(), 3); // a.txt, sub, link-to-outside
    ASSERT_EQ(second.size(), first.size());
    for (qsizetype i = 0; i < first.size(); ++i) {
        EXPECT_EQ(second[i].name, first[i].name);
        EXPECT_NE(first[i].name, ".");
        EXPECT_NE(first[i].name, "..");
    }
    // A file is not a folder to read.
    QList<Entry> none;
    EXPECT_FALSE(platform::folderwalk::readFolder(QByteArray(root + "/a.txt"), none, error));
    EXPECT_EQ(error, ENOTDIR);
    EXPECT_EQ(platform::folderwalk::join("/a/", "b"), QByteArray("/a/b"));
    EXPECT_EQ(platform::folderwalk::join("/a", "b"), QByteArray("/a/b"));
}

} // namespace
