// libunlha32.so with archives jlha made: "e", "d" and "n" act on exactly the members named,
// names starting with "-" stay names when quoted or after "--", "u" stores only the file
// named, and a damaged last member of two hundred fails the call with its name kept in a
// short report.
#include "UnlhaTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <utime.h>

namespace
{
class UnlhaNamedMembers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string why;
        lib = loadBuiltLibrary(why);
        ASSERT_TRUE(lib) << why;
        const std::string missing = missingTool({"lhasa", "jlha"});
        ASSERT_TRUE(missing.empty())
            << missing << " is missing: scripts/install-deps.sh installs it";
        root = makeTempDir();
        in = root + "/in";
        makeDirs(in + "/docs");
        makeDirs(in + "/d/e");
        makeDirs(in + "/long");
        writeFile(in + "/readme.txt", "top\n");
        writeFile(in + "/docs/readme.txt", "docs\n");
        writeFile(in + "/d/e/readme.txt", "deep\n");
        writeFile(in + "/-x.txt", "dash\n");
        writeFile(in + "/-m1", "switch-like\n");
        writeFile(in + "/a.txt", "a\n");
        writeFile(in + "/star*.txt", "star\n");
        writeFile(in + "/starX.txt", "x\n");
        writeFile(in + "/long/" + longName(), "long\n");
        archive = root + "/pack.lzh";
        std::string out;
        // jlha reads only its first argument as options, so "-x.txt" and "-m1" are files.
        ASSERT_EQ(shell("cd " + quote(in) + " && jlha a2q " + quote(archive) +
                            " readme.txt docs/readme.txt d/e/readme.txt a.txt 'star*.txt' "
                            "starX.txt long/" +
                            longName() + " -x.txt -m1",
                        &out),
                  0)
            << out;
    }
    void TearDown() override { removeTree(root); }

    static std::string longName() { return std::string(196, 'n') + ".txt"; }

    // The member names as lhasa lists them.
    std::vector<std::string> lhasaNames(const std::string& path)
    {
        std::string out;
        EXPECT_EQ(shell("lhasa l " + quote(path), &out), 0) << out;
        std::vector<std::string> names;
        for (const std::string& n : listNames(*lib, path))
            if (out.find(" " + n + "\n") != std::string::npos)
                names.push_back(n);
        return names;
    }

    std::string fresh(const std::string& name)
    {
        const std::string dest = root + "/" + name + "/";
        makeDirs(dest);
        return dest;
    }

    std::unique_ptr<UnlhaLibrary> lib;
    std::string root, in, archive;
};

std::vector<std::string> keys(const std::map<std::string, std::string>& tree)
{
    std::vector<std::string> out;
    // Folders are listed as "name/"; only files count here.
    for (const auto& [k, v] : tree)
        if (k.empty() || k.back() != '/')
            out.push_back(k);
    return out;
}
} // namespace

TEST_F(UnlhaNamedMembers, ExtractSelectsOnlyTheWholePathNamed)
{
    // A plain name is the member of that whole path, not its namesakes in other folders.
    std::string dest = fresh("plain");
    auto r = lib->run("e -d1 \"" + archive + "\" \"" + dest + "\" \"readme.txt\"");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(treeContents(dest), (std::map<std::string, std::string>{{"readme.txt", "top\n"}}));

    dest = fresh("exact");
    r = lib->run("e -d1 --EXACT \"" + archive + "\" \"" + dest + "\" \"d/e/readme.txt\"");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(keys(treeContents(dest)), std::vector<std::string>{"d/e/readme.txt"});

    // Flat, as a double click opens one member.
    dest = fresh("flat");
    r = lib->run("e --exact \"" + archive + "\" \"" + dest + "\" \"docs/readme.txt\"");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(treeContents(dest), (std::map<std::string, std::string>{{"readme.txt", "docs\n"}}));

    // Under --exact "*" is a character; as a wildcard the name finds both.
    dest = fresh("star");
    r = lib->run("e --exact \"" + archive + "\" \"" + dest + "\" \"star*.txt\"");
    EXPECT_EQ(keys(treeContents(dest)), std::vector<std::string>{"star*.txt"});
    dest = fresh("wild");
    r = lib->run("e \"" + archive + "\" \"" + dest + "\" \"star*.txt\"");
    EXPECT_EQ(keys(treeContents(dest)), (std::vector<std::string>{"star*.txt", "starX.txt"}));

    // A 200-byte name in a folder; its last part alone is not its path.
    dest = fresh("long");
    r = lib->run("e -d1 --exact \"" + archive + "\" \"" + dest + "\" \"long/" + longName() + "\"");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(keys(treeContents(dest)), std::vector<std::string>{"long/" + longName()});
    dest = fresh("lastpart");
    r = lib->run("e -d1 --exact \"" + archive + "\" \"" + dest + "\" \"" + longName() + "\"");
    EXPECT_NE(r.code, 0) << r.report;
    EXPECT_TRUE(treeContents(dest).empty());
}

TEST_F(UnlhaNamedMembers, NamesThatLookLikeSwitches)
{
    std::string dest = fresh("dash");
    auto r = lib->run("e -d1 \"" + archive + "\" \"" + dest + "\" \"-x.txt\"");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(keys(treeContents(dest)), std::vector<std::string>{"-x.txt"});

    dest = fresh("both");
    r = lib->run("e -d1 --exact \"" + archive + "\" \"" + dest + "\" \"a.txt\" \"-x.txt\"");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(keys(treeContents(dest)), (std::vector<std::string>{"-x.txt", "a.txt"}));

    // A member named "-m1", extracted alone, is not "yes to everything": nothing else comes
    // out and an older file of another member's name stays as it is.
    for (const std::string& how : {std::string("\"-m1\""), std::string("-- -m1")}) {
        dest = fresh("m1" + std::to_string(how.size()));
        writeFile(dest + "a.txt", "older, mine\n");
        struct utimbuf old {
            86400 * 365, 86400 * 365
        };
        ASSERT_EQ(utime((dest + "a.txt").c_str(), &old), 0);
        r = lib->run("e -d1 \"" + archive + "\" \"" + dest + "\" " + how);
        EXPECT_EQ(r.code, 0) << how << "\n" << r.report;
        EXPECT_EQ(treeContents(dest), (std::map<std::string, std::string>{
                                          {"-m1", "switch-like\n"}, {"a.txt", "older, mine\n"}}))
            << how;
    }

    // Deleting "-x.txt" deletes that member and nothing else.
    const std::string copy = root + "/copy.lzh";
    ASSERT_EQ(shell("cp " + quote(archive) + " " + quote(copy)), 0);
    r = lib->run("d -jyd --exact \"" + copy + "\" \"-x.txt\"", 255);
    EXPECT_EQ(r.code, 0) << r.report;
    std::vector<std::string> left = lhasaNames(copy);
    EXPECT_EQ(std::count(left.begin(), left.end(), "-x.txt"), 0);
    EXPECT_EQ(left.size(), listNames(*lib, archive).size() - 1);
}

TEST_F(UnlhaNamedMembers, DeleteAndRenameLeaveNamesakesAlone)
{
    const std::vector<std::string> before = listNames(*lib, archive);
    ASSERT_EQ(std::count(before.begin(), before.end(), "docs/readme.txt"), 1);
    auto r = lib->run("d -jyd \"" + archive + "\" \"readme.txt\"", 255);
    EXPECT_EQ(r.code, 0) << r.report;
    std::vector<std::string> after = lhasaNames(archive);
    EXPECT_EQ(std::count(after.begin(), after.end(), "readme.txt"), 0);
    EXPECT_EQ(std::count(after.begin(), after.end(), "docs/readme.txt"), 1);
    EXPECT_EQ(std::count(after.begin(), after.end(), "d/e/readme.txt"), 1);
    EXPECT_EQ(after.size(), before.size() - 1);

    // A name that is not there: nothing is deleted, and the call fails saying which.
    r = lib->run("d -jyd --exact \"" + archive + "\" \"e/readme.txt\"", 255);
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.report.find("e/readme.txt"), std::string::npos) << r.report;
    EXPECT_EQ(listNames(*lib, archive), after);

    // The program passes the archive's own file name first; a member of that name in a folder
    // is not renamed, only the member named after it.
    const std::string inner = root + "/inner";
    makeDirs(inner + "/sub");
    writeFile(inner + "/sub/box.lzh", "not the archive\n");
    writeFile(inner + "/one.txt", "1\n");
    const std::string box = root + "/box.lzh";
    std::string out;
    ASSERT_EQ(
        shell("cd " + quote(inner) + " && jlha a2q " + quote(box) + " sub/box.lzh one.txt", &out),
        0)
        << out;
    r = lib->run("n --exact \"" + box + "\" \"box.lzh\" \"one.txt\" -grtwo.txt");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(lhasaNames(box), (std::vector<std::string>{"sub/box.lzh", "two.txt"}));
    // Renaming a name that is not there fails.
    r = lib->run("n --exact \"" + box + "\" \"box.lzh\" \"box.lzh\" -grthree.txt");
    EXPECT_NE(r.code, 0) << r.report;
    EXPECT_EQ(lhasaNames(box), (std::vector<std::string>{"sub/box.lzh", "two.txt"}));
}

TEST_F(UnlhaNamedMembers, UpdateStoresOnlyTheFileNamed)
{
    const std::string base = root + "/base/";
    makeDirs(base + "sub");
    writeFile(base + "-x", "the file named\n");
    writeFile(base + "other.txt", "not named\n");
    writeFile(base + "sub/deep.txt", "not named\n");
    const std::string made = root + "/made.lzh";
    auto r = lib->run("u -a1 \"" + made + "\" \"" + base + "\" \"-x\"");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(lhasaNames(made), std::vector<std::string>{"-x"});

    // A named file that is not there fails the call, with the reason, though others are added.
    r = lib->run("u -a1 \"" + made + "\" \"" + base + "\" \"missing.txt\" \"other.txt\"");
    EXPECT_NE(r.code, 0) << r.report;
    EXPECT_NE(r.report.find("missing.txt"), std::string::npos) << r.report;
    EXPECT_EQ(lhasaNames(made), (std::vector<std::string>{"-x", "other.txt"}));
}

TEST_F(UnlhaNamedMembers, DamagedLastOfTwoHundredMembers)
{
    const std::string many = root + "/many";
    makeDirs(many + "/folder");
    std::string names;
    for (int i = 0; i < 200; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "folder/member-%03d-with-a-longer-name.txt", i);
        writeFile(many + "/" + name,
                  i == 199 ? mixedData(60000, 7) : "member " + std::string(name));
        names += std::string(" ") + name;
    }
    const std::string damaged = root + "/damaged.lzh";
    std::string out;
    ASSERT_EQ(shell("cd " + quote(many) + " && jlha a2q " + quote(damaged) + names, &out), 0)
        << out;
    std::string bytes = readFile(damaged);
    // The last member's data ends just before the archive's closing zero byte.
    ASSERT_GT(bytes.size(), 3000u);
    bytes[bytes.size() - 2000] ^= 0x5A;
    writeFile(damaged, bytes);
    EXPECT_NE(shell("lhasa t " + quote(damaged), &out), 0) << out;

    const std::string dest = fresh("out");
    const auto r = lib->run("e -d1 -m1 \"" + damaged + "\" \"" + dest + "\"", 2048);
    EXPECT_NE(r.code, 0) << r.report;
    EXPECT_LE(r.report.size(), 2047u);
    EXPECT_NE(r.report.find("folder/member-199-with-a-longer-name.txt"), std::string::npos)
        << r.report;
    EXPECT_EQ(r.report.find("Extracting from archive"), std::string::npos) << r.report;
    EXPECT_NE(r.report.find("個のファイルを展開しました"), std::string::npos) << r.report;
    const auto tree = treeContents(dest);
    EXPECT_EQ(keys(tree).size(), 199u);
    EXPECT_EQ(tree.count("folder/member-199-with-a-longer-name.txt"), 0u);
    EXPECT_EQ(tree.count("folder/member-198-with-a-longer-name.txt"), 1u);
}
