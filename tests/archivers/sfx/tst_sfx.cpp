// The self-extracting stub: NAME.run written by Cab -f, run as a user would run it.

#include "ArchiverTestSupport.h"
#include "StubRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace testsupport;
using sfxtest::runStub;

namespace
{

LoadedArchiver& cab()
{
    static LoadedArchiver lib("libcab32.so", "Cab");
    return lib;
}

void expectSameFiles(const std::string& a, const std::string& b,
                     const std::vector<std::string>& files)
{
    for (const std::string& f : files)
        EXPECT_EQ(readFile(a + "/" + f), readFile(b + "/" + f)) << f;
}

} // namespace

TEST(SelfExtracting, CabinetRunExtractsByteIdenticalAndAddsTheMenuEntry)
{
    ASSERT_TRUE(cab().loaded()) << buildBin();
    TempFolder dir;
    const std::string temp = dir / "temp";
    writeFile(temp + "/readme.txt", "read me\n");
    writeFile(temp + "/データ/大きい.bin", randomBytes(2 << 20, 5));
    writeFile(temp + "/bin/start.sh", "#!/bin/sh\necho started\n");
    writeFile(temp + "/$",
              "$GroupTitle=メニューに登録する\r\n$Group=テスト用,スタート,bin\\start.sh,");
    std::filesystem::create_directories(dir / "save");

    // The compression dialog's two command lines, nothing quoted.
    auto run = cab().run("-a -r " + temp + "/setup.cab " + temp + "/ *.*");
    ASSERT_EQ(run.result, 0) << run.report;
    run = cab().run("-f " + temp + "/setup.cab " + dir.path() + "/save/");
    ASSERT_EQ(run.result, 0) << run.report;
    const std::string program = dir / "save/setup.run";
    ASSERT_TRUE(exists(program));
    struct stat st {
    };
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    // The archive follows the stub unchanged.
    const std::string cabinet = readFile(temp + "/setup.cab");
    const std::string whole = readFile(program);
    ASSERT_GT(whole.size(), cabinet.size());
    EXPECT_EQ(whole.substr(whole.size() - cabinet.size()), cabinet);

    std::string output;
    ASSERT_EQ(runStub(dir, program, "--dest " + quote(dir / "x") + " --yes", &output), 0) << output;
    EXPECT_EQ(filesBelow(dir / "x"),
              (std::vector<std::string>{"bin/start.sh", "readme.txt", "データ/大きい.bin"}));
    expectSameFiles(temp, dir / "x", {"readme.txt", "データ/大きい.bin", "bin/start.sh"});

    // The "$" directive: one desktop entry in its own submenu that starts the script.
    const auto entries = filesBelow(dir / "xdg-data/applications");
    ASSERT_EQ(entries.size(), 1u);
    const std::string desktop = readFile(dir / "xdg-data/applications/" + entries[0]);
    EXPECT_NE(desktop.find("Name=スタート\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("Exec=\"" + dir.path() + "/x/bin/start.sh\""), std::string::npos)
        << desktop;
    const auto menus = filesBelow(dir / "xdg-config/menus/applications-merged");
    ASSERT_EQ(menus.size(), 1u);
    const auto directories = filesBelow(dir / "xdg-data/desktop-directories");
    ASSERT_EQ(directories.size(), 1u);
    EXPECT_NE(
        readFile(dir / "xdg-data/desktop-directories/" + directories[0]).find("Name=テスト用"),
        std::string::npos);
    ASSERT_EQ(::stat((dir / "x/bin/start.sh").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);

    // Without --dest and without a terminal the folder named after the program is used.
    ASSERT_EQ(runStub(dir, program, "--yes", &output), 0) << output;
    EXPECT_EQ(readFile(dir / "save/setup/readme.txt"), "read me\n");
}

TEST(SelfExtracting, LzhPayloadAndExistingFiles)
{
    TempFolder dir;
    writeFile(dir / "src/a.txt", "lzh member\n");
    writeFile(dir / "src/d/b.bin", randomBytes(300000, 9));
    if (shell("command -v jlha >/dev/null") != 0)
        GTEST_SKIP() << "no LZH writer (jlha-utils) installed";
    ASSERT_EQ(
        shell("cd " + quote(dir / "src") + " && jlha a ../p.lzh a.txt d/b.bin >/dev/null 2>&1"), 0);
    const std::string program = dir / "p.run";
    ASSERT_EQ(shell("cat " + quote(buildBin() + "/koramo-sfx") + " " + quote(dir / "p.lzh") +
                    " > " + quote(program) + " && chmod +x " + quote(program)),
              0);
    std::string output;
    ASSERT_EQ(runStub(dir, program, "--dest " + quote(dir / "x") + " --yes", &output), 0) << output;
    expectSameFiles(dir / "src", dir / "x", {"a.txt", "d/b.bin"});

    // Without --yes and without a terminal an existing file is kept and the run says so.
    writeFile(dir / "y/a.txt", "mine\n");
    EXPECT_EQ(runStub(dir, program, "--dest " + quote(dir / "y"), &output), 0) << output;
    EXPECT_EQ(readFile(dir / "y/a.txt"), "mine\n");
    EXPECT_EQ(readFile(dir / "y/d/b.bin"), readFile(dir / "src/d/b.bin"));
}

TEST(SelfExtracting, UnquotedPathsWithBlanks)
{
    // The program folder may hold a blank; the compression dialog quotes nothing.
    TempFolder dir;
    const std::string program = dir / "my programs";
    writeFile(program + "/temp/a.txt", "a\n");
    writeFile(program + "/temp/sub/b.txt", "b\n");
    std::filesystem::create_directories(dir / "save here");
    auto run = cab().run("-a -r " + program + "/temp/name.cab " + program + "/temp/ *.*");
    ASSERT_EQ(run.result, 0) << run.report;
    bool ok = false;
    int end = 0;
    const auto members = cab().list(program + "/temp/name.cab", ok, end);
    ASSERT_EQ(members.size(), 2u);
    run = cab().run("-f " + program + "/temp/name.cab " + dir.path() + "/save here/");
    ASSERT_EQ(run.result, 0) << run.report;
    std::string output;
    ASSERT_EQ(runStub(dir, dir / "save here/name.run", "--yes", &output), 0) << output;
    EXPECT_EQ(readFile(dir / "save here/name/sub/b.txt"), "b\n");
}

TEST(SelfExtracting, LzxCabinetRunsThroughTheStaticStub)
{
    TempFolder dir;
    const std::string archive = dir / "lzx.cab";
    ASSERT_EQ(shell("python3 " + quote(fixtureScript()) + " lzx_cab " + quote(archive)), 0);
    const auto run = cab().run("-f " + archive + " " + dir.path() + "/");
    ASSERT_EQ(run.result, 0) << run.report;
    std::string output;
    ASSERT_EQ(runStub(dir, dir / "lzx.run", "--dest " + quote(dir / "x") + " --yes", &output), 0)
        << output;
    EXPECT_EQ(readFile(dir / "x/lzx/one.txt"), readFile(archive + ".lzx_one.txt"));
    EXPECT_EQ(readFile(dir / "x/two.bin"), readFile(archive + ".two.bin"));
}

TEST(SelfExtracting, HostileOrMissingArchivesFail)
{
    TempFolder dir;
    ASSERT_EQ(shell("python3 " + quote(fixtureScript()) + " hostile_cab " + quote(dir / "h.cab")),
              0);
    std::filesystem::create_directories(dir / "save");
    auto run = cab().run("-f " + dir.path() + "/h.cab " + dir.path() + "/save/");
    ASSERT_EQ(run.result, 0) << run.report;
    ::unlink("/tmp/koramo-cab-absolute.txt");
    std::string output;
    EXPECT_NE(runStub(dir, dir / "save/h.run", "--dest " + quote(dir / "a/b") + " --yes", &output),
              0);
    EXPECT_EQ(filesBelow(dir / "a"), (std::vector<std::string>{"b/good.txt", "b/ok/inner.txt"}));
    EXPECT_FALSE(exists("/tmp/koramo-cab-absolute.txt"));

    // The bare stub carries no archive.
    EXPECT_NE(runStub(dir, buildBin() + "/koramo-sfx", "--dest " + quote(dir / "c") + " --yes"), 0);
    EXPECT_FALSE(exists(dir / "c"));

    // -f refuses what is not a cabinet and writes nothing.
    writeFile(dir / "bad.cab", randomBytes(5000, 1));
    run = cab().run("-f " + dir.path() + "/bad.cab " + dir.path() + "/save/");
    EXPECT_GE(run.result, 0x8000);
    EXPECT_FALSE(exists(dir / "save/bad.run"));

    // A truncated self-extracting archive fails without leaving partial files.
    const std::string whole = readFile(dir / "save/h.run");
    writeFile(dir / "t.run", whole.substr(0, whole.size() - 30));
    ::chmod((dir / "t.run").c_str(), 0755);
    EXPECT_NE(runStub(dir, dir / "t.run", "--dest " + quote(dir / "t") + " --yes"), 0);
    for (const std::string& f : filesBelow(dir / "t"))
        EXPECT_EQ(f.find(".koramo-part"), std::string::npos) << f;
}
