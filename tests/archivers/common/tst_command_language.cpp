// The command language the three archivers share: which tokens are switches, how names select
// members, how operands split at blanks are joined again, and what of a long report survives
// a short buffer.
#include "CommandLine.h"
#include "OperandRepair.h"
#include "Report.h"
#include "Wildcard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <unistd.h>

using archiver::CommandLine;

namespace
{
CommandLine::Options unlha()
{
    return CommandLine::Options{true, true, true};
}
CommandLine::Options zipOrCab()
{
    return CommandLine::Options{false, false, false};
}
} // namespace

TEST(CommandLanguageTest, TokensRememberWhetherTheyWereQuoted)
{
    const std::vector<CommandLine::Token> t =
        CommandLine::tokenize("-x \"-x.txt\" plain \"\" a\" b\"c");
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].text, "-x");
    EXPECT_FALSE(t[0].quoted);
    EXPECT_EQ(t[1].text, "-x.txt");
    EXPECT_TRUE(t[1].quoted);
    EXPECT_FALSE(t[2].quoted);
    EXPECT_EQ(t[3].text, "");
    EXPECT_TRUE(t[3].quoted);
    EXPECT_EQ(t[4].text, "a bc");
    EXPECT_TRUE(t[4].quoted);
}

TEST(CommandLanguageTest, QuotedTokensAndTokensAfterDoubleDashAreNeverSwitches)
{
    // Unlha: switches may stand anywhere, but not in quotes.
    const CommandLine e =
        CommandLine::parse("e -d1 arc.lzh out/ \"-m1\" \"-x.txt\" -jyd \"-\"", unlha());
    EXPECT_TRUE(e.hasSwitch("d1"));
    EXPECT_TRUE(e.hasSwitch("jyd"));
    EXPECT_FALSE(e.hasSwitch("m1"));
    EXPECT_EQ(e.names(), (std::vector<std::string>{"-m1", "-x.txt", "-"}));

    // After a bare "--" nothing is a switch, quoted or not; "--" itself is no operand.
    const CommandLine d = CommandLine::parse("d -jyd -- arc.lzh -m1 -x.txt --", unlha());
    EXPECT_TRUE(d.hasSwitch("jyd"));
    EXPECT_FALSE(d.hasSwitch("m1"));
    EXPECT_EQ(d.archive(), "arc.lzh");
    EXPECT_EQ(d.names(), (std::vector<std::string>{"-m1", "-x.txt", "--"}));

    // UnZip: "--i" is still a switch; only the bare "--" ends the switches.
    const CommandLine z = CommandLine::parse("-x --i -- -a.zip d/ -o", zipOrCab());
    EXPECT_TRUE(z.hasSwitch("-i"));
    EXPECT_FALSE(z.hasSwitch("o"));
    EXPECT_EQ(z.archive(), "-a.zip");
    EXPECT_EQ(z.baseFolder(), "d/");
    EXPECT_EQ(z.names(), (std::vector<std::string>{"-o"}));
    // A quoted archive that starts with "-" is the archive, not a switch.
    const CommandLine q = CommandLine::parse("-x \"-pack.zip\" \"-o\"", zipOrCab());
    EXPECT_FALSE(q.hasSwitch("o"));
    EXPECT_FALSE(q.hasSwitch("pack.zip"));
    EXPECT_EQ(q.archive(), "-pack.zip");
    EXPECT_EQ(q.names(), (std::vector<std::string>{"-o"}));
}

TEST(CommandLanguageTest, ExactSwitchSpellings)
{
    EXPECT_TRUE(CommandLine::parse("e --EXACT a.lzh", unlha()).exactNames());
    EXPECT_TRUE(CommandLine::parse("e a.lzh d/ x --exact", unlha()).exactNames());
    EXPECT_TRUE(CommandLine::parse("-x --exact a.zip", zipOrCab()).exactNames());
    // Case-sensitive for UnZip and Cab, and a quoted "--exact" is a name.
    EXPECT_FALSE(CommandLine::parse("-x --EXACT a.zip", zipOrCab()).exactNames());
    EXPECT_FALSE(CommandLine::parse("e a.lzh \"--exact\"", unlha()).exactNames());
    // Under --exact "*" is a member of that name, not every member.
    EXPECT_TRUE(CommandLine::parse("-x a.cab d/ *.*", zipOrCab()).selectsAll());
    EXPECT_FALSE(CommandLine::parse("-x --exact a.cab d/ *", zipOrCab()).selectsAll());
    EXPECT_FALSE(CommandLine::parse("e --exact a.lzh d/ *.*", unlha()).selectsAll());
    EXPECT_TRUE(CommandLine::parse("e --exact a.lzh d/", unlha()).selectsAll());
}

TEST(CommandLanguageTest, NamesWithoutWildcardsSelectOnlyTheWholePath)
{
    using archiver::memberMatches;
    EXPECT_TRUE(memberMatches("readme.txt", "readme.txt"));
    EXPECT_FALSE(memberMatches("readme.txt", "docs/readme.txt"));
    EXPECT_FALSE(memberMatches("readme.txt", "a/b/c/readme.txt"));
    EXPECT_FALSE(memberMatches("docs/readme.txt", "readme.txt"));
    EXPECT_FALSE(memberMatches("b/readme.txt", "a/b/readme.txt"));
    EXPECT_FALSE(memberMatches("-x.txt", "sub/-x.txt"));
    EXPECT_FALSE(memberMatches("Readme.txt", "readme.txt"));
    EXPECT_TRUE(memberMatches("Readme.txt", "readme.txt", true));
    // Wildcards keep matching the last part at any depth.
    EXPECT_TRUE(memberMatches("*.txt", "a/b/c/readme.txt"));
    EXPECT_TRUE(memberMatches("read??.txt", "docs/readme.txt"));
    EXPECT_FALSE(memberMatches("docs/*.txt", "other/docs/readme.txt"));
    // Exact: "*" and "?" are characters of the name.
    EXPECT_TRUE(memberMatches("a*.txt", "a*.txt", false, true));
    EXPECT_FALSE(memberMatches("a*.txt", "abc.txt", false, true));
    EXPECT_FALSE(memberMatches("a*.txt", "d/a*.txt", false, true));
    EXPECT_FALSE(memberMatches("?", "x", false, true));
    EXPECT_FALSE(memberMatches("*", "x", false, true));
    EXPECT_TRUE(memberMatches("*", "*", false, true));
    const std::string deep = std::string(200, 'd') + "/" + std::string(200, 'n');
    EXPECT_TRUE(memberMatches(deep, deep, false, true));
    EXPECT_FALSE(memberMatches(std::string(200, 'n'), deep));
}

TEST(CommandLanguageTest, OnlyUnquotedOperandsAreJoinedAgain)
{
    char tmpl[] = "/tmp/archiver-lang-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    const std::string dir = tmpl;
    const std::string archive = dir + "/my arc.lzh";
    std::ofstream(archive) << "x";

    // Unquoted: split at the blank and joined again, base folder too.
    archiver::Operands ops = archiver::repairOperands(
        CommandLine::parse("e " + dir + "/my arc.lzh /tmp/out dir/ a.txt \"-x.txt\"", unlha()),
        ".lzh");
    EXPECT_EQ(ops.archive, archive);
    EXPECT_EQ(ops.baseFolder, "/tmp/out dir/");
    EXPECT_EQ(ops.names, (std::vector<std::string>{"a.txt", "-x.txt"}));

    // A quoted archive is whole; the quoted names after it are never taken into it.
    ops = archiver::repairOperands(CommandLine::parse("e \"" + dir + "/my\" \"arc.lzh\"", unlha()),
                                   ".lzh");
    EXPECT_EQ(ops.archive, dir + "/my");
    EXPECT_EQ(ops.names, (std::vector<std::string>{"arc.lzh"}));

    // Quoted names that begin with "/" are not glued into a base folder.
    ops = archiver::repairOperands(
        CommandLine::parse("u \"" + archive + "\" \"\" \"/etc\" \"x/\"", unlha()), ".lzh");
    EXPECT_EQ(ops.archive, archive);
    EXPECT_EQ(ops.baseFolder, "");
    EXPECT_EQ(ops.names, (std::vector<std::string>{"/etc", "x/"}));

    // After an unquoted archive was joined, a quoted folder is the base folder as it stands.
    ops = archiver::repairOperands(
        CommandLine::parse("-x " + dir + "/my arc.lzh \"/o u t/\" \"-o\"", zipOrCab()), ".zip");
    EXPECT_EQ(ops.archive, archive);
    EXPECT_EQ(ops.baseFolder, "/o u t/");
    EXPECT_EQ(ops.names, (std::vector<std::string>{"-o"}));
    ::unlink(archive.c_str());
    ::rmdir(dir.c_str());
}

TEST(CommandLanguageTest, ShortenedReportKeepsErrorsAndItsEnd)
{
    archiver::Report r;
    r.line("Extracting from archive : /tmp/a.zip");
    for (int i = 0; i < 200; ++i) {
        r.line("Melted  member-" + std::to_string(i) + "-" + std::string(40, 'x'));
        if (i == 3)
            r.skipped("skipped-early.txt", "書庫にありません");
        if (i == 7 || i == 199)
            r.error("Error  broken-" + std::to_string(i) + ".bin : CRC エラー");
    }
    r.line("200 個のファイルを解凍しました。(エラー 2 個)");
    ASSERT_GT(r.text().size(), 8000u);

    for (const uint32_t size : {2048u, 255u}) {
        std::vector<char> buffer(size, 'x');
        r.writeTo(buffer.data(), size);
        ASSERT_EQ(buffer[size - 1], '\0') << size;
        const std::string text(buffer.data());
        EXPECT_LE(text.size(), size - 1);
        EXPECT_EQ(text.rfind(std::string(archiver::Report::shortenedLine()) + "\n", 0), 0u) << text;
        EXPECT_NE(text.find("Error  broken-7.bin : CRC エラー\n"), std::string::npos) << text;
        EXPECT_NE(text.find("Error  broken-199.bin : CRC エラー\n"), std::string::npos) << text;
        const std::string closing = "200 個のファイルを解凍しました。(エラー 2 個)\n";
        ASSERT_GE(text.size(), closing.size());
        EXPECT_EQ(text.substr(text.size() - closing.size()), closing) << text;
        // Lines stay whole and in their order.
        EXPECT_LT(text.find("broken-7"), text.find("broken-199"));
        EXPECT_EQ(text.find("Melted  member-0-"), std::string::npos) << size;
    }
    // The skipped line follows the errors in priority, the end of the report last.
    std::vector<char> mid(2048);
    r.writeTo(mid.data(), 2048);
    EXPECT_NE(std::string(mid.data()).find("Skipped  skipped-early.txt"), std::string::npos);
    EXPECT_NE(std::string(mid.data()).find("Melted  member-198-"), std::string::npos);

    // A report that fits is written as it is.
    archiver::Report small;
    small.error("Error  a : b");
    small.line("done");
    char exact[19];
    small.writeTo(exact, sizeof exact);
    EXPECT_EQ(std::string(exact), "Error  a : b\ndone\n");
}
