// The code every archiver library shares: command lines, wildcards, reports, MS-DOS times,
// CP932 names, safe destination paths and atomic replacement.
#include "AtomicFile.h"
#include "CommandLine.h"
#include "Display.h"
#include "DosTime.h"
#include "NameCodec.h"
#include "Report.h"
#include "SafePath.h"
#include "Wildcard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using archiver::CommandLine;

namespace
{
CommandLine::Options unlha()
{
    return CommandLine::Options{true, true, true};
}
CommandLine::Options cab()
{
    return CommandLine::Options{false, false, false};
}

std::string tempDir()
{
    char tmpl[] = "/tmp/archiver-common-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

TEST(CommandLineTest, QuotedOperandsBaseFolderAndNames)
{
    const CommandLine c = CommandLine::parse(
        "e -d1 -jf0 \"/home/u/my docs/a.lzh\" \"/tmp/out dir/\" a.txt \"b c.txt\" ", unlha());
    EXPECT_EQ(c.command(), "e");
    EXPECT_EQ(c.archive(), "/home/u/my docs/a.lzh");
    EXPECT_EQ(c.baseFolder(), "/tmp/out dir/");
    ASSERT_EQ(c.names().size(), 2u);
    EXPECT_EQ(c.names()[0], "a.txt");
    EXPECT_EQ(c.names()[1], "b c.txt");
    EXPECT_TRUE(c.hasSwitch("d1"));
    EXPECT_TRUE(c.hasSwitch("JF0"));
    EXPECT_FALSE(c.hasSwitch("m1"));
}

TEST(CommandLineTest, UnlhaCommandsAndSwitchesIgnoreCaseAndMayStandAnywhere)
{
    const CommandLine c = CommandLine::parse("N arc.lzh -gr新しい.txt old.txt -JYD", unlha());
    EXPECT_EQ(c.command(), "n");
    EXPECT_EQ(c.archive(), "arc.lzh");
    EXPECT_EQ(c.baseFolder(), "");
    ASSERT_EQ(c.names().size(), 1u);
    EXPECT_EQ(c.names()[0], "old.txt");
    EXPECT_EQ(c.switchValue("gr").value_or("?"), "新しい.txt");
    EXPECT_TRUE(c.hasSwitch("jyd"));
}

TEST(CommandLineTest, CabSwitchesAreCaseSensitiveAndOnlyBeforeTheArchive)
{
    const CommandLine c = CommandLine::parse("-a -r /p/x.cab /p/temp/ *.* -o", cab());
    EXPECT_EQ(c.command(), "");
    EXPECT_TRUE(c.hasSwitch("a"));
    EXPECT_TRUE(c.hasSwitch("r"));
    EXPECT_FALSE(c.hasSwitch("R"));
    EXPECT_FALSE(c.hasSwitch("o")); // after the archive it is a name
    EXPECT_EQ(c.archive(), "/p/x.cab");
    EXPECT_EQ(c.baseFolder(), "/p/temp/");
    ASSERT_EQ(c.names().size(), 2u);
    EXPECT_EQ(c.names()[1], "-o");
    EXPECT_TRUE(CommandLine::parse("-x a.cab", cab()).selectsAll());
    EXPECT_TRUE(CommandLine::parse("-x a.cab d/ *.*", cab()).selectsAll());
    EXPECT_FALSE(CommandLine::parse("-x a.cab d/ *.txt", cab()).selectsAll());
}

TEST(CommandLineTest, OnlyTheTokenAfterTheArchiveCanBeTheBaseFolder)
{
    const CommandLine c = CommandLine::parse("e a.lzh x.txt dir/", unlha());
    EXPECT_EQ(c.baseFolder(), "");
    ASSERT_EQ(c.names().size(), 2u);
    EXPECT_EQ(c.names()[1], "dir/");
    const CommandLine empty = CommandLine::parse("e \"\" \"\"", unlha());
    EXPECT_EQ(empty.archive(), "");
    EXPECT_TRUE(CommandLine::parse("   ", unlha()).command().empty());
}

TEST(WildcardTest, StarMatchesDotsAndStarDotStarMatchesAll)
{
    EXPECT_TRUE(archiver::wildcardMatch("*", "a.b.c"));
    EXPECT_TRUE(archiver::wildcardMatch("*.*", "README"));
    EXPECT_TRUE(archiver::wildcardMatch("*.txt", "a.b.txt"));
    EXPECT_FALSE(archiver::wildcardMatch("*.txt", "a.txt.bak"));
    EXPECT_TRUE(archiver::wildcardMatch("a?c", "aあc"));
    EXPECT_FALSE(archiver::wildcardMatch("A.TXT", "a.txt"));
    EXPECT_TRUE(archiver::wildcardMatch("A.TXT", "a.txt", true));
    EXPECT_TRUE(archiver::memberMatches("*.txt", "dir/sub/x.txt"));
    EXPECT_TRUE(archiver::memberMatches("dir/sub/x.txt", "dir/sub/x.txt"));
    EXPECT_FALSE(archiver::memberMatches("sub/x.txt", "dir/sub/x.txt"));
    // Many stars do not blow up.
    EXPECT_FALSE(archiver::wildcardMatch("*a*a*a*a*a*a*a*a*a*a*b", std::string(5000, 'a')));
}

TEST(ReportTest, CutsAtCharacterBoundaryAndPadsWithNul)
{
    archiver::Report r;
    r.line("展開");
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    r.writeTo(buf, sizeof buf);
    // "展開" is 6 bytes; with the line end 7 fit before the terminating NUL.
    EXPECT_EQ(std::string(buf), "展開\n");
    char small[5];
    std::memset(small, 'x', sizeof small);
    r.writeTo(small, sizeof small);
    EXPECT_EQ(std::string(small), "展"); // never half a character
    EXPECT_EQ(small[3], '\0');
    EXPECT_EQ(small[4], '\0');
    r.writeTo(nullptr, 10); // must not crash
    r.skipped("a", "b");
    EXPECT_EQ(r.skippedCount(), 1);
    EXPECT_NE(r.text().find("Skipped  a : b"), std::string::npos);
}

TEST(DosTimeTest, RoundTripAndInvalidFields)
{
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    // 1999-05-10 13:04:06
    const uint16_t date = ((1999 - 1980) << 9) | (5 << 5) | 10;
    const uint16_t time = (13 << 11) | (4 << 5) | 3;
    const time_t t = archiver::fromDosDateTime(date, time);
    ASSERT_NE(t, -1);
    EXPECT_EQ(t, 926309046); // 04:04:06 UTC
    const archiver::DosDateTime back = archiver::toDosDateTime(t);
    EXPECT_EQ(back.date, date);
    EXPECT_EQ(back.time, time);
    EXPECT_EQ(archiver::fromDosDateTime(0, 0), -1);                      // day 0
    EXPECT_EQ(archiver::fromDosDateTime(date, 24 << 11), -1);            // hour 24
    EXPECT_EQ(archiver::toDosDateTime(0).date, (0 << 9) | (1 << 5) | 1); // before 1980
}

TEST(NameCodecTest, Cp932BothWaysAndRefusal)
{
    std::string bytes;
    ASSERT_TRUE(archiver::utf8ToCp932("ソフト①.txt", bytes));
    // ソ is 0x83 0x5C: its second byte is the backslash code.
    EXPECT_EQ(bytes.substr(0, 2), std::string("\x83\x5C"));
    EXPECT_EQ(archiver::cp932ToUtf8(bytes), "ソフト①.txt");
    EXPECT_FALSE(archiver::utf8ToCp932("emoji😀", bytes));
    EXPECT_FALSE(archiver::utf8ToCp932("\xff\xfe", bytes));
    EXPECT_TRUE(archiver::isValidUtf8("日本語"));
    EXPECT_FALSE(archiver::isValidUtf8("\x83\x5C"));
    EXPECT_FALSE(archiver::isValidUtf8("\xE3\x81")); // cut sequence
}

TEST(SafePathTest, CleanMemberPathRefusesClimbingAndAbsolute)
{
    std::string reason;
    EXPECT_EQ(archiver::cleanMemberPath("a/./b//c", false, reason).value_or("?"), "a/b/c");
    EXPECT_FALSE(archiver::cleanMemberPath("../x", false, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(archiver::cleanMemberPath("a/../../x", false, reason));
    EXPECT_FALSE(archiver::cleanMemberPath("a/..", false, reason));
    EXPECT_FALSE(archiver::cleanMemberPath("/etc/passwd", false, reason));
    EXPECT_EQ(archiver::cleanMemberPath("/etc/passwd", true, reason).value_or("?"), "etc/passwd");
    EXPECT_FALSE(archiver::cleanMemberPath("/", true, reason));
    EXPECT_EQ(archiver::cleanMemberPath("..a/b..", false, reason).value_or("?"), "..a/b..");
}

TEST(SafePathTest, SafeJoinCreatesParentsAndRefusesLinks)
{
    const std::string root = tempDir();
    ASSERT_FALSE(root.empty());
    std::string reason;
    std::vector<std::string> created;
    const auto p = archiver::safeJoin(root, "a/b/c.txt", true, reason, &created);
    ASSERT_TRUE(p.has_value()) << reason;
    EXPECT_EQ(*p, root + "/a/b/c.txt");
    EXPECT_EQ(created.size(), 2u);
    struct stat st {
    };
    EXPECT_EQ(stat((root + "/a/b").c_str(), &st), 0);

    const std::string outside = tempDir();
    ASSERT_EQ(symlink(outside.c_str(), (root + "/link").c_str()), 0);
    EXPECT_FALSE(archiver::safeJoin(root, "link/x.txt", true, reason));
    EXPECT_FALSE(archiver::safeJoin(root, "link", true, reason)); // the target itself
    ASSERT_EQ(symlink("/etc/hostname", (root + "/a/f").c_str()), 0);
    EXPECT_FALSE(archiver::safeJoin(root, "a/f", true, reason));
    EXPECT_FALSE(archiver::safeJoin(root, "a/b/c.txt/d", true, reason) &&
                 stat((root + "/a/b/c.txt").c_str(), &st) == 0 && !S_ISDIR(st.st_mode));
    std::system(("rm -rf '" + root + "' '" + outside + "'").c_str());
}

TEST(AtomicFileTest, TargetUnchangedUntilCommitAndTemporaryRemoved)
{
    const std::string root = tempDir();
    const std::string target = root + "/arc.lzh";
    {
        std::ofstream(target) << "old";
    }
    chmod(target.c_str(), 0640);
    {
        archiver::AtomicFile f(target);
        std::string reason;
        ASSERT_TRUE(f.open(reason));
        ASSERT_TRUE(f.writeAll("new", 3));
        EXPECT_EQ(readFile(target), "old");
    } // destroyed without commit
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(std::system(("test $(ls -A '" + root + "' | wc -l) -eq 1").c_str()), 0);
    {
        archiver::AtomicFile f(target);
        std::string reason;
        ASSERT_TRUE(f.open(reason));
        ASSERT_TRUE(f.writeAll("new!", 4));
        ASSERT_TRUE(f.commit(reason)) << reason;
    }
    EXPECT_EQ(readFile(target), "new!");
    struct stat st {
    };
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::system(("rm -rf '" + root + "'").c_str());
}

TEST(DisplayTest, NoDialogWithoutADisplay)
{
    setenv("DISPLAY", ":0", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_FALSE(archiver::displayAvailable());
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    EXPECT_TRUE(archiver::displayAvailable());
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(archiver::displayAvailable());
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}
