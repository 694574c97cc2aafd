// The pieces that keep file commands safe: names carried as their real bytes, the probe that
// tells what a path is without opening it, and the guard that refuses the root, mount points
// and the home folder.
#include "QStringPrinting.h"

#include "base/FileKind.h"
#include "base/NativePath.h"
#include "platform/DeletionGuard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <ostream>

#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

using namespace platform;

// "日本語.txt" in Shift-JIS: not valid UTF-8.
const QByteArray kSjisName("\x93\xfa\x96\x7b\x8c\xea.txt");

QByteArray native(const QString& path)
{
    return toNativePath(path);
}

// --- names as bytes -------------------------------------------------------------------------

TEST(NativePath, ValidUtf8IsPlainText)
{
    const QByteArray utf8 = QStringLiteral("日本語 file.txt").toUtf8();
    EXPECT_EQ(fromNativePath(utf8), QStringLiteral("日本語 file.txt"));
    EXPECT_EQ(toNativePath(QStringLiteral("日本語 file.txt")), utf8);
    EXPECT_FALSE(hasForeignBytes(fromNativePath(utf8)));
    // Four-byte characters survive too.
    const QString emoji = QStringLiteral("a\U0001F600b");
    EXPECT_EQ(fromNativePath(emoji.toUtf8()), emoji);
    EXPECT_EQ(toNativePath(emoji), emoji.toUtf8());
}

TEST(NativePath, EveryByteSequenceGoesBackUnchanged)
{
    EXPECT_EQ(toNativePath(fromNativePath(kSjisName)), kSjisName);
    EXPECT_TRUE(hasForeignBytes(fromNativePath(kSjisName)));
    // Overlong forms, encoded surrogates, stray trail bytes, a cut sequence and every byte
    // value above 0x7F on its own.
    const QList<QByteArray> odd{"\xc0\xaf",   "\xed\xa0\x80x",    "\x80\x80",
                                "ab\xe3\x81", "\xf4\x90\x80\x80", "\xe3\x81\x82\xff"};
    for (const QByteArray& bytes : odd)
        EXPECT_EQ(toNativePath(fromNativePath(bytes)), bytes) << bytes.toHex().constData();
    for (int b = 0x80; b <= 0xFF; ++b) {
        const QByteArray bytes = QByteArray("x") + char(b) + "y";
        EXPECT_EQ(toNativePath(fromNativePath(bytes)), bytes) << b;
    }
    // The valid parts of a mixed name stay readable.
    const QString mixed = fromNativePath(QByteArray("\xe3\x81\x82-") + kSjisName);
    EXPECT_TRUE(mixed.startsWith(QStringLiteral("あ-")));
}

TEST(NativePath, ShownDecodedAsCp932BehindAMark)
{
    const QString name = fromNativePath(kSjisName);
    EXPECT_EQ(displayName(name), foreignNameMark() + QStringLiteral("日本語.txt"));
    EXPECT_EQ(displayName(QStringLiteral("普通.txt")), QStringLiteral("普通.txt"));
    const QString path = QStringLiteral("/データ/") + name;
    EXPECT_EQ(displayPath(path),
              QStringLiteral("/データ/") + foreignNameMark() + QStringLiteral("日本語.txt"));
}

TEST(NativePath, TheRealFileIsReachedThroughTheName)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray full = folder + '/' + kSjisName;
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "sjis", 4), 4);
    ::close(fd);
    const QString path = dir.path() + u'/' + fromNativePath(kSjisName);
    const FileStatus status = fileStatus(path);
    EXPECT_EQ(status.kind, FileKind::Regular);
    EXPECT_EQ(status.size, 4);
    QFile file;
    ASSERT_TRUE(openRegularFile(path, file));
    EXPECT_EQ(file.readAll(), "sjis");
    // Qt cannot remove such a name when the folder goes.
    ::unlink(full.constData());
}

// --- what a path is, without opening it ----------------------------------------------------

// Runs the call on a thread of its own and says whether it came back within two seconds; a
// call stuck in a FIFO's open is released by opening the FIFO for writing.
template <typename Call> bool returnsPromptly(Call call, const QByteArray& fifo)
{
    auto result = std::async(std::launch::async, call);
    if (result.wait_for(std::chrono::seconds(2)) == std::future_status::ready)
        return true;
    const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
    result.wait();
    if (writer >= 0)
        ::close(writer);
    return false;
}

class SpecialFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_EQ(::mkfifo(native(path(QStringLiteral("x.txt"))).constData(), 0644), 0);
        ASSERT_EQ(::symlink("/dev/zero", native(path(QStringLiteral("z.log"))).constData()), 0);
        ASSERT_EQ(::symlink("x.txt", native(path(QStringLiteral("fifo-link.txt"))).constData()), 0);
        ASSERT_EQ(::symlink("nowhere", native(path(QStringLiteral("dangling.txt"))).constData()),
                  0);
        QFile plain(path(QStringLiteral("plain.txt")));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        plain.write("hello");
        plain.close();
        ASSERT_EQ(
            ::symlink("plain.txt", native(path(QStringLiteral("plain-link.txt"))).constData()), 0);
        m_socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(m_socket, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = native(path(QStringLiteral("s.ini")));
        ASSERT_LT(socketPath.size(), qsizetype(sizeof(address.sun_path)));
        std::memcpy(address.sun_path, socketPath.constData(), socketPath.size());
        ASSERT_EQ(::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    }
    void TearDown() override
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }

    QTemporaryDir m_dir;
    int m_socket = -1;
};

TEST_F(SpecialFiles, KindsComeFromTheStatusAlone)
{
    const QByteArray fifo = native(path(QStringLiteral("x.txt")));
    FileStatus status;
    EXPECT_TRUE(returnsPromptly([&] { status = fileStatus(path(QStringLiteral("x.txt"))); }, fifo));
    EXPECT_EQ(status.kind, FileKind::Special);
    EXPECT_EQ(status.size, 0);
    EXPECT_TRUE(status.modified.isValid());
    EXPECT_EQ(fileKind(path(QStringLiteral("z.log"))), FileKind::Special);
    EXPECT_TRUE(fileStatus(path(QStringLiteral("z.log"))).isLink);
    EXPECT_EQ(fileKind(path(QStringLiteral("fifo-link.txt"))), FileKind::Special);
    EXPECT_EQ(fileKind(path(QStringLiteral("s.ini"))), FileKind::Special);
    EXPECT_EQ(fileKind(path(QStringLiteral("dangling.txt"))), FileKind::Missing);
    EXPECT_EQ(fileKind(path(QStringLiteral("gone.txt"))), FileKind::Missing);
    EXPECT_EQ(fileKind(m_dir.path()), FileKind::Folder);
    EXPECT_EQ(fileKind(path(QStringLiteral("plain-link.txt"))), FileKind::Regular);
    EXPECT_EQ(fileStatus(path(QStringLiteral("plain.txt"))).size, 5);
    EXPECT_TRUE(isRegularFile(path(QStringLiteral("plain.txt"))));
    EXPECT_FALSE(isRegularFile(path(QStringLiteral("x.txt"))));
}

TEST_F(SpecialFiles, OpeningRefusesWhatIsNotARegularFileWithoutWaiting)
{
    const QByteArray fifo = native(path(QStringLiteral("x.txt")));
    for (const char* name : {"x.txt", "fifo-link.txt", "z.log", "s.ini", "dangling.txt"}) {
        bool opened = true;
        EXPECT_TRUE(returnsPromptly(
            [&] {
                QFile file;
                opened = openRegularFile(path(QLatin1String(name)), file);
            },
            fifo))
            << name;
        EXPECT_FALSE(opened) << name;
    }
    QFile file;
    ASSERT_TRUE(openRegularFile(path(QStringLiteral("plain-link.txt")), file));
    EXPECT_EQ(file.readAll(), "hello");
}

// --- folders that are never deleted ---------------------------------------------------------

TEST(DeletionGuard, RootIsRefusedHoweverItIsWritten)
{
    EXPECT_EQ(protectionOf(QStringLiteral("/")), Protection::Root);
    EXPECT_EQ(protectionOf(QStringLiteral("//")), Protection::Root);
    EXPECT_EQ(protectionOf(QStringLiteral("/tmp/..")), Protection::Root);
    EXPECT_EQ(
        protectedFolderText(QStringLiteral("/")),
        QStringLiteral("ルートフォルダ、マウントポイント、ホームフォルダは削除できません。\n/"));
}

TEST(DeletionGuard, HomeAndTheFoldersHoldingItAreRefused)
{
    QTemporaryDir dir;
    const QString home = dir.path() + QStringLiteral("/users/me");
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/docs")));
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    EXPECT_EQ(protectionOf(home), Protection::Home);
    EXPECT_EQ(protectionOf(home + u'/'), Protection::Home);
    EXPECT_EQ(protectionOf(dir.path() + QStringLiteral("/users")), Protection::Home);
    EXPECT_EQ(protectionOf(home + QStringLiteral("/docs/..")), Protection::Home);
    EXPECT_EQ(protectionOf(home + QStringLiteral("/docs")), Protection::None);
    // A link to home is removed as a link, so it is no home.
    ASSERT_EQ(::symlink(QFile::encodeName(home).constData(),
                        QFile::encodeName(dir.path() + QStringLiteral("/link")).constData()),
              0);
    EXPECT_EQ(protectionOf(dir.path() + QStringLiteral("/link")), Protection::None);
    qputenv("HOME", oldHome);
}

TEST(DeletionGuard, MountPointsAreRefusedAndFoundInsideATree)
{
    QTemporaryDir dir;
    const QString tree = dir.path() + QStringLiteral("/tree");
    const QString mount = tree + QStringLiteral("/sub/volume");
    ASSERT_TRUE(QDir().mkpath(mount));
    EXPECT_EQ(protectionOf(mount), Protection::None);
    EXPECT_TRUE(mountInside(tree).isEmpty());
    if (::mount("tmpfs", native(mount).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    EXPECT_EQ(protectionOf(mount), Protection::MountPoint);
    EXPECT_EQ(mountInside(tree), QFile::encodeName(QDir(mount).canonicalPath()));
    EXPECT_TRUE(mountInside(mount).isEmpty());
    ::umount2(native(mount).constData(), MNT_DETACH);

    // A bind mount keeps the device of its volume; the mount table still knows it.
    const QString bound = tree + QStringLiteral("/bound");
    ASSERT_TRUE(QDir().mkpath(bound));
    ASSERT_EQ(::mount(native(tree + QStringLiteral("/sub")).constData(), native(bound).constData(),
                      nullptr, MS_BIND, nullptr),
              0);
    EXPECT_EQ(protectionOf(bound), Protection::MountPoint);
    ::umount2(native(bound).constData(), MNT_DETACH);
    EXPECT_EQ(protectionOf(bound), Protection::None);
}

TEST(DeletionGuard, MountTableFieldsAreDecoded)
{
    const QList<QByteArray> points = mountPoints();
    ASSERT_FALSE(points.isEmpty());
    // Inside a chroot the root is a plain folder of another volume and the mount table shows no
    // "/"; where "/" is the root of a mount, it does.
#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif
    struct statx root {
    };
    const bool systemRoot = ::statx(AT_FDCWD, "/", 0, STATX_BASIC_STATS, &root) == 0 &&
                            (root.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                            (root.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    if (systemRoot) {
        EXPECT_TRUE(points.contains("/"));
    }
    QTemporaryDir dir;
    const QString spaced = dir.path() + QStringLiteral("/with space");
    ASSERT_TRUE(QDir().mkpath(spaced));
    if (::mount("tmpfs", native(spaced).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    EXPECT_TRUE(mountPoints().contains(QFile::encodeName(QDir(spaced).canonicalPath())));
    ::umount2(native(spaced).constData(), MNT_DETACH);
}

} // namespace
