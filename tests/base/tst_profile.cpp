#include "base/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using settings::readProfileString;
using settings::writeProfileString;

namespace
{

const QByteArray kBom("\xEF\xBB\xBF", 3);

// "C:\ソフト\表計算": both ソ and 表 end in the byte 0x5C, the backslash.
const QByteArray kSoftFolderCp932 = QByteArray::fromHex("433a5c835c837483675c955c8c768e5a");
// "D:\デスクトップ"
const QByteArray kDesktopCp932 = QByteArray::fromHex("443a5c83668358834e836783628376");
// "E:\ダウンロード"
const QByteArray kDownloadCp932 = QByteArray::fromHex("453a5c835f83458393838d815b8368");
// "表"
const QByteArray kHyouCp932 = QByteArray::fromHex("955c");

// A settings file as a Japanese Windows writes it.
QByteArray windowsFile(const QByteArray& folder2)
{
    return QByteArrayLiteral("[yokutukau]\r\ndrive=c: [SYSTEM]\r\nfolder=") + kSoftFolderCp932 +
           QByteArrayLiteral("\r\nfolder2=") + folder2 +
           QByteArrayLiteral("\r\n[gomi]\r\nsubete=1\r\n[hyouji]\r\nsaidai=0\r\n"
                             "height=7200\r\nwidth=9600\r\n");
}

// Runs the body as an ordinary user, so that file modes apply even when the tests run as
// root: forked and switched to "nobody" in that case. Returns the body's result.
int runUnprivileged(const std::function<int()>& body)
{
    if (::geteuid() != 0)
        return body();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

class Profile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("exp.ini"));
    }

    void put(const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray bytes() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString read(const char* section, const char* key) const
    {
        return readProfileString(path, QString::fromUtf8(section), QString::fromUtf8(key));
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(Profile, MissingFileReadsEmptyAndIsNotCreated)
{
    EXPECT_TRUE(read("yokutukau", "folder").isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(Profile, LooksUpCaseInsensitivelyAndTrimsValues)
{
    put(QByteArrayLiteral("[YokuTukau]\r\n  Folder =  /home/a b  \r\n\tdrive\t=\t/\r\n"
                          "[gomi]\r\nsubete=1\r\n[GOMI]\r\nsubete=0\r\nother=2\r\n"));
    EXPECT_EQ(read("yokutukau", "FOLDER"), QStringLiteral("/home/a b"));
    EXPECT_EQ(read("YOKUTUKAU", "drive"), QStringLiteral("/"));
    // The first section of a name is the one that counts, as on Windows.
    EXPECT_EQ(read("Gomi", "Subete"), QStringLiteral("1"));
    EXPECT_TRUE(read("gomi", "other").isEmpty());
    EXPECT_TRUE(read("gomi", "folder").isEmpty());
    EXPECT_TRUE(read("nosuch", "folder").isEmpty());
}

TEST_F(Profile, ReadsOddAndDamagedFiles)
{
    // Keys before any section, LF line ends, no final line break.
    put(QByteArrayLiteral("stray=1\n;comment=2\n[a]\nk=v\nnovalue\n[b]\nlast=end"));
    EXPECT_EQ(read("a", "k"), QStringLiteral("v"));
    EXPECT_EQ(read("b", "last"), QStringLiteral("end"));
    EXPECT_TRUE(read("a", "stray").isEmpty());
    EXPECT_TRUE(read("a", ";comment").isEmpty());

    // Binary garbage, a NUL inside a value, a lone lead byte at the very end.
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 131 + 7) % 256);
    put(garbage + QByteArrayLiteral("\n[a]\nk=v") + QByteArray(1, '\0') +
        QByteArrayLiteral("tail\nz=") + QByteArray(1, '\x95'));
    EXPECT_EQ(read("a", "k"), QStringLiteral("v"));
    EXPECT_EQ(read("a", "z").size(), 1);
}

TEST_F(Profile, CutsValuesAt1023BytesWithoutSplittingACharacter)
{
    put(QByteArrayLiteral("[s]\r\nascii=") + QByteArray(1030, 'a') +
        QByteArrayLiteral("\r\nstraddle=") + QByteArray(1022, 'a') + kHyouCp932 +
        QByteArrayLiteral("\r\nfits=") + QByteArray(1021, 'a') + kHyouCp932 +
        QByteArrayLiteral("\r\n"));
    EXPECT_EQ(read("s", "ascii"), QString(1023, QLatin1Char('a')));
    EXPECT_EQ(read("s", "straddle"), QString(1022, QLatin1Char('a')));
    EXPECT_EQ(read("s", "fits"), QString(1021, QLatin1Char('a')) + QStringLiteral("表"));

    // In a UTF-8 file the cut counts UTF-8 bytes: a 4-byte character straddles 1023.
    put(kBom + QByteArrayLiteral("[s]\nmusic=") + QByteArray(1021, 'a') +
        QStringLiteral("🎵").toUtf8() + QByteArrayLiteral("\n"));
    EXPECT_EQ(read("s", "music"), QString(1021, QLatin1Char('a')));
}

TEST_F(Profile, KeepsBlanksAndQuotesAtTheEdgesOfAValue)
{
    const QString values[] = {QStringLiteral("  /home/u/lead and trail  "),
                              QStringLiteral("\"quoted\""), QStringLiteral("'q'"),
                              QStringLiteral("\"")};
    for (const QString& value : values) {
        ASSERT_TRUE(writeProfileString(path, QStringLiteral("s"), QStringLiteral("k"), value));
        EXPECT_EQ(readProfileString(path, QStringLiteral("s"), QStringLiteral("k")), value);
    }
    // A value quoted by hand loses one pair of quotes, as GetPrivateProfileString does.
    put(QByteArrayLiteral("[s]\r\nk=\" x \"\r\n"));
    EXPECT_EQ(read("s", "k"), QStringLiteral(" x "));
}

TEST_F(Profile, RewritesAWindowsFileChangingOnlyTheOneLine)
{
    put(windowsFile(kDesktopCp932));
    EXPECT_EQ(read("yokutukau", "folder"), QStringLiteral("C:\\ソフト\\表計算"));
    EXPECT_EQ(read("yokutukau", "folder2"), QStringLiteral("D:\\デスクトップ"));
    EXPECT_EQ(read("yokutukau", "drive"), QStringLiteral("c: [SYSTEM]"));
    EXPECT_EQ(read("hyouji", "width"), QStringLiteral("9600"));

    ASSERT_TRUE(writeProfileString(path, QStringLiteral("YOKUTUKAU"), QStringLiteral("folder2"),
                                   QStringLiteral("E:\\ダウンロード")));
    EXPECT_EQ(bytes(), windowsFile(kDownloadCp932));
}

TEST_F(Profile, CreatesTheFileAndAppendsKeysAndSectionsInPlace)
{
    ASSERT_TRUE(writeProfileString(path, QStringLiteral("yokutukau"), QStringLiteral("folder"),
                                   QStringLiteral("C:\\ソフト\\表計算")));
    EXPECT_EQ(bytes(), QByteArrayLiteral("[yokutukau]\r\nfolder=") + kSoftFolderCp932 +
                           QByteArrayLiteral("\r\n"));

    // A new key goes after the last key of its section, before blank lines and comments.
    put(QByteArrayLiteral("[a]\r\nx=1\r\n\r\n;about b\r\n[b]\r\ny=2\r\n"));
    ASSERT_TRUE(
        writeProfileString(path, QStringLiteral("A"), QStringLiteral("z"), QStringLiteral("3")));
    ASSERT_TRUE(
        writeProfileString(path, QStringLiteral("c"), QStringLiteral("w"), QStringLiteral("4")));
    EXPECT_EQ(bytes(), QByteArrayLiteral("[a]\r\nx=1\r\nz=3\r\n\r\n;about b\r\n[b]\r\ny=2\r\n"
                                         "[c]\r\nw=4\r\n"));

    // An LF file stays LF; a file without a final line break is extended cleanly.
    put(QByteArrayLiteral("[a]\nx=1"));
    ASSERT_TRUE(
        writeProfileString(path, QStringLiteral("a"), QStringLiteral("y"), QStringLiteral("2")));
    ASSERT_TRUE(
        writeProfileString(path, QStringLiteral("b"), QStringLiteral("k"), QStringLiteral("v")));
    ASSERT_TRUE(writeProfileString(path, QStringLiteral("a"), QStringLiteral("x"), QString()));
    EXPECT_EQ(bytes(), QByteArrayLiteral("[a]\nx=\ny=2\n[b]\nk=v\n"));
}

TEST_F(Profile, TextOutsideCp932TurnsTheFileIntoUtf8)
{
    put(windowsFile(kDesktopCp932));
    // ① exists in code page 932: the file stays as it was encoded.
    ASSERT_TRUE(writeProfileString(path, QStringLiteral("yokutukau"), QStringLiteral("folder5"),
                                   QStringLiteral("/data/①")));
    EXPECT_FALSE(bytes().startsWith(kBom));
    EXPECT_TRUE(bytes().contains(QByteArrayLiteral("folder5=/data/\x87\x40\r\n")));

    const QString music = QStringLiteral("/home/u/Música 🎵");
    ASSERT_TRUE(
        writeProfileString(path, QStringLiteral("yokutukau"), QStringLiteral("folder3"), music));
    const QString expected =
        QStringLiteral("[yokutukau]\r\ndrive=c: [SYSTEM]\r\nfolder=C:\\ソフト\\表計算\r\n"
                       "folder2=D:\\デスクトップ\r\nfolder5=/data/①\r\nfolder3=") +
        music +
        QStringLiteral("\r\n[gomi]\r\nsubete=1\r\n[hyouji]\r\nsaidai=0\r\n"
                       "height=7200\r\nwidth=9600\r\n");
    EXPECT_EQ(bytes(), kBom + expected.toUtf8());
    EXPECT_EQ(read("yokutukau", "folder"), QStringLiteral("C:\\ソフト\\表計算"));
    EXPECT_EQ(read("yokutukau", "folder3"), music);

    // Later writes keep the file UTF-8, even of text that code page 932 could hold.
    ASSERT_TRUE(writeProfileString(path, QStringLiteral("yokutukau"), QStringLiteral("folder2"),
                                   QStringLiteral("E:\\ダウンロード")));
    EXPECT_TRUE(bytes().startsWith(kBom));
    EXPECT_EQ(read("yokutukau", "folder2"), QStringLiteral("E:\\ダウンロード"));
    EXPECT_EQ(read("yokutukau", "folder3"), music);
}

TEST_F(Profile, RefusesTextThatWouldBreakTheFile)
{
    put(windowsFile(kDesktopCp932));
    const QString s = QStringLiteral("yokutukau");
    EXPECT_FALSE(writeProfileString(path, s, QStringLiteral("folder"),
                                    QStringLiteral("/home/a\n[gomi]\nsubete=0")));
    EXPECT_FALSE(writeProfileString(path, s, QStringLiteral("folder"),
                                    QStringLiteral("/home/a") + QChar(0) + QStringLiteral("b")));
    EXPECT_FALSE(writeProfileString(path, s, QStringLiteral("a=b"), QStringLiteral("1")));
    EXPECT_EQ(bytes(), windowsFile(kDesktopCp932));
}

TEST_F(Profile, ReplacesTheFileInsteadOfRewritingIt)
{
    put(windowsFile(kDesktopCp932));
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    ASSERT_TRUE(writeProfileString(path, QStringLiteral("gomi"), QStringLiteral("subete"),
                                   QStringLiteral("0")));
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    // Nothing is left beside the file but the lock that serialises the saves.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
              (QStringList{QStringLiteral("exp.ini"), QStringLiteral("exp.ini.lock")}));
}

TEST_F(Profile, AFailedWriteLeavesTheOldFile)
{
    // A folder the user may not write to, holding a file the user may write to: writing
    // into the file in place would succeed; replacing it cannot, and is reported.
    put(windowsFile(kDesktopCp932));
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray file = QFile::encodeName(path);
    ASSERT_EQ(::chmod(file.constData(), 0666), 0);
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    const QString p = path;
    EXPECT_EQ(runUnprivileged([p] {
                  return writeProfileString(p, QStringLiteral("gomi"), QStringLiteral("subete"),
                                            QStringLiteral("0"))
                             ? 1
                             : 0;
              }),
              0);
    // A file that exists but cannot be read is never replaced by a file of one key.
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    ASSERT_EQ(::chmod(file.constData(), 0222), 0);
    EXPECT_EQ(runUnprivileged([p] {
                  return writeProfileString(p, QStringLiteral("gomi"), QStringLiteral("subete"),
                                            QStringLiteral("0"))
                             ? 1
                             : 0;
              }),
              0);
    ASSERT_EQ(::chmod(folder.constData(), 0700), 0);
    ASSERT_EQ(::chmod(file.constData(), 0644), 0);
    EXPECT_EQ(bytes(), windowsFile(kDesktopCp932));
}

TEST_F(Profile, AFullDiskLeavesTheOldFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkdir(mountPoint));
    const QByteArray target = QFile::encodeName(mountPoint);
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    const struct Unmount {
        QByteArray point;
        ~Unmount() { ::umount2(point.constData(), MNT_DETACH); }
    } unmount{target};
    path = mountPoint + QStringLiteral("/exp.ini");
    put(windowsFile(kDesktopCp932));
    // Fill the rest of the volume.
    {
        QFile filler(mountPoint + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    EXPECT_FALSE(writeProfileString(path, QStringLiteral("yokutukau"), QStringLiteral("folder"),
                                    QString(100000, QLatin1Char('a'))));
    EXPECT_EQ(bytes(), windowsFile(kDesktopCp932));
}

TEST_F(Profile, TwoProcessesSavingAtOnceLoseNoKey)
{
    put(windowsFile(kDesktopCp932));
    // Each process saves keys of its own, one save per key, as two instances whose users
    // press OK at the same moment would.
    constexpr int kKeys = 150;
    const QString p = path;
    pid_t children[2] = {};
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            bool ok = true;
            for (int i = 0; i < kKeys; ++i)
                ok = writeProfileString(p, QStringLiteral("yokutukau"),
                                        QStringLiteral("p%1_%2").arg(c).arg(i),
                                        QString::number(i)) &&
                     ok;
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int missing = 0;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kKeys; ++i) {
            const QByteArray key = QStringLiteral("p%1_%2").arg(c).arg(i).toLatin1();
            if (read("yokutukau", key.constData()) != QString::number(i))
                ++missing;
        }
    }
    EXPECT_EQ(missing, 0) << "keys lost between the two processes";
    EXPECT_EQ(read("yokutukau", "folder"), QStringLiteral("C:\\ソフト\\表計算"));
}

TEST_F(Profile, ABatchKeepsWhatTheFileHoldsForKeysMarkedToKeep)
{
    put(windowsFile(kDesktopCp932));
    QList<settings::ProfileEntry> entries{
        {QStringLiteral("yokutukau"), QStringLiteral("folder2"), QStringLiteral("/stale"), true},
        {QStringLiteral("yokutukau"), QStringLiteral("folder3"), QStringLiteral("/new"), true},
        {QStringLiteral("gomi"), QStringLiteral("subete"), QStringLiteral("0"), false}};
    ASSERT_EQ(settings::writeProfileStrings(path, entries), settings::ProfileError::None);
    // The kept key is left as it is and its stored value comes back; a missing one is written.
    EXPECT_EQ(entries.at(0).value, QStringLiteral("D:\\デスクトップ"));
    EXPECT_EQ(entries.at(1).value, QStringLiteral("/new"));
    QByteArray expected = windowsFile(kDesktopCp932);
    expected.replace(QByteArrayLiteral("subete=1"), QByteArrayLiteral("subete=0"));
    expected.replace(QByteArrayLiteral("\r\n[gomi]"),
                     QByteArrayLiteral("\r\nfolder3=/new\r\n[gomi]"));
    EXPECT_EQ(bytes(), expected);
}

TEST_F(Profile, TextOutsideCp932NeverAltersBytesOfOtherKeys)
{
    // A hand-edited value of bytes that code page 932 does not map one to one, ending in a
    // lone lead byte: turning the file into UTF-8 would change it.
    const QByteArray odd = QByteArray::fromHex("80a0fdfeff81");
    const QByteArray file = windowsFile(kDesktopCp932) + QByteArrayLiteral("[raw]\r\nv=") + odd +
                            QByteArrayLiteral("\r\n");
    put(file);
    const QString before = read("raw", "v");
    QList<settings::ProfileEntry> entries{
        {QStringLiteral("gomi"), QStringLiteral("subete"), QStringLiteral("0"), false},
        {QStringLiteral("yokutukau"), QStringLiteral("folder3"), QStringLiteral("/home/u/🎵"),
         false}};
    EXPECT_EQ(settings::writeProfileStrings(path, entries), settings::ProfileError::Encoding);
    EXPECT_FALSE(writeProfileString(path, QStringLiteral("yokutukau"), QStringLiteral("folder3"),
                                    QStringLiteral("/home/u/🎵")));
    // Nothing of the batch was written, and every other byte is as it was.
    EXPECT_EQ(bytes(), file);
    EXPECT_EQ(read("raw", "v"), before);
    // Text that code page 932 holds is still written, leaving the odd bytes alone.
    ASSERT_TRUE(writeProfileString(path, QStringLiteral("gomi"), QStringLiteral("subete"),
                                   QStringLiteral("0")));
    EXPECT_TRUE(
        bytes().contains(QByteArray(QByteArrayLiteral("v=") + odd + QByteArrayLiteral("\r\n"))));
}

} // namespace
