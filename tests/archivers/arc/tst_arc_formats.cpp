// libunarc32.so on archives made by other programs: each format is listed with the names,
// sizes and times of the files it was made from, and extracts byte-identically to bsdtar.

#include "ArcSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

using namespace testsupport;
using namespace arctest;

namespace
{

uint16_t dosDate(time_t t)
{
    struct tm tm {
    };
    localtime_r(&t, &tm);
    return static_cast<uint16_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
}

uint16_t dosTime(time_t t)
{
    struct tm tm {
    };
    localtime_r(&t, &tm);
    return static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

// The members that are files, by name (folders end in "/" or are named by their files).
std::map<std::string, LoadedArchiver::Member> filesListed(const std::string& archive)
{
    bool ok = false;
    int end = 0;
    const auto members = unarc().list(archive, ok, end);
    EXPECT_TRUE(ok) << archive;
    EXPECT_EQ(end, -1) << archive;
    std::map<std::string, LoadedArchiver::Member> out;
    for (const auto& m : members) {
        if (m.record.attribute[0] != 'd')
            out[m.name] = m;
    }
    return out;
}

class ArcFormat : public ::testing::TestWithParam<const char*>
{
};

} // namespace

TEST(ArcLibrary, VersionAndEntryPoints)
{
    ASSERT_TRUE(unarc().loaded());
    EXPECT_EQ(unarc().version(), 100);
    for (const char* e : {"", "OpenArchive", "FindFirst", "FindNext", "CloseArchive", "GetVersion",
                          "GetOriginalSizeEx", "GetCompressedSizeEx", "SetNameEncoding"})
        EXPECT_NE(unarc().symbol(e), nullptr) << e;
}

TEST_P(ArcFormat, ListsNamesSizesAndTimes)
{
    TempFolder dir;
    const Tree tree = makeTree(dir);
    const std::string archive = archiveOfTree(dir, tree, GetParam());
    ASSERT_FALSE(archive.empty());
    const auto listed = filesListed(archive);
    std::vector<std::string> names;
    for (const auto& [name, m] : listed)
        names.push_back(name);
    EXPECT_EQ(names, tree.files);
    for (const std::string& f : tree.files) {
        const auto it = listed.find(f);
        if (it == listed.end())
            continue;
        const std::string body = readFile(tree.root + "/" + f);
        EXPECT_EQ(it->second.originalSize, static_cast<int64_t>(body.size())) << f;
        EXPECT_EQ(it->second.record.originalSize, body.size()) << f;
        EXPECT_EQ(it->second.record.dosDate, dosDate(treeTime())) << f;
        EXPECT_EQ(it->second.record.dosTime, dosTime(treeTime())) << f;
    }
    // A wildcard narrows the walk as for the other libraries.
    bool ok = false;
    int end = 0;
    const auto txt = unarc().list(archive, ok, end, "*.txt");
    EXPECT_EQ(txt.size(), 5u);
}

TEST_P(ArcFormat, ExtractsLikeBsdtar)
{
    TempFolder dir;
    const Tree tree = makeTree(dir);
    const std::string archive = archiveOfTree(dir, tree, GetParam());
    ASSERT_FALSE(archive.empty());
    ASSERT_EQ(shell("mkdir -p " + quote(dir / "bsd") + " && bsdtar -xf " + quote(archive) + " -C " +
                    quote(dir / "bsd")),
              0);
    const auto run = unarc().run("-x -o " + dq(archive) + " " + dq(dir / "ours/"), 8192);
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(contentsBelow(dir / "ours"), contentsBelow(dir / "bsd"));
    EXPECT_EQ(filesBelow(dir / "ours"), tree.files);
    EXPECT_NE(run.report.find("Melted  日本語/名前.txt"), std::string::npos) << run.report;
    // No temporary file is left beside the members.
    for (const std::string& f : filesBelow(dir / "ours"))
        EXPECT_EQ(f.find(".koramo-part"), std::string::npos) << f;
}

TEST_P(ArcFormat, SelectedMembersOneFlatAndDragOut)
{
    TempFolder dir;
    const Tree tree = makeTree(dir);
    const std::string archive = archiveOfTree(dir, tree, GetParam());
    ASSERT_FALSE(archive.empty());
    // The selected members with their folders; "-x.txt" is a name, not a switch.
    auto run =
        unarc().run("-x --exact " + dq(archive) + " " + dq(dir / "sel/") + " dir/sub/b.txt -x.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "sel"), (std::vector<std::string>{"-x.txt", "dir/sub/b.txt"}));
    // One member without its folders, as it is opened.
    run = unarc().run("-x -j --exact " + dq(archive) + " " + dq(dir / "one/") + " 日本語/名前.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "one"), std::vector<std::string>{"名前.txt"});
    EXPECT_EQ(readFile(dir / "one/名前.txt"), "日本\n");
    // A drag out replaces an older file without asking and keeps a newer one.
    writeFile(dir / "drag/a.txt", "old");
    run = unarc().run("-x -u --i -o --exact " + dq(archive) + " " + dq(dir / "drag/") + " a.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "drag/a.txt"), "old"); // written now, so newer than the member
    ASSERT_EQ(shell("touch -d 2000-01-01 " + quote(dir / "drag/a.txt")), 0);
    run = unarc().run("-x -u --i -o --exact " + dq(archive) + " " + dq(dir / "drag/") + " a.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "drag/a.txt"), "alpha\n");
    // A name that selects nothing fails the call; "*" with --exact is the member named "*".
    run = unarc().run("-x --exact " + dq(archive) + " " + dq(dir / "none/") + " \"*\"");
    EXPECT_NE(run.result, 0);
    EXPECT_NE(run.report.find("書庫にありません"), std::string::npos) << run.report;
    EXPECT_TRUE(filesBelow(dir / "none").empty());
}

INSTANTIATE_TEST_SUITE_P(Made, ArcFormat,
                         ::testing::Values(".7z", ".tar", ".tar.gz", ".tgz", ".tar.bz2", ".tbz2",
                                           ".tar.xz", ".txz", ".tar.zst", ".iso"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string n = param.param + 1;
                             std::replace(n.begin(), n.end(), '.', '_');
                             return n;
                         });

TEST(ArcRar, SamplesListAndExtractLikeBsdtar)
{
    for (const char* sample : {"read_format_rar.rar", "read_format_rar_unicode.rar",
                               "read_format_rar5_compressed.rar"}) {
        SCOPED_TRACE(sample);
        TempFolder dir;
        const std::string archive = dataFile(sample);
        bool ok = false;
        int end = 0;
        const auto members = unarc().list(archive, ok, end);
        ASSERT_TRUE(ok);
        EXPECT_EQ(end, -1);
        ASSERT_FALSE(members.empty());
        ASSERT_EQ(shell("mkdir -p " + quote(dir / "bsd") + " && bsdtar -xf " + quote(archive) +
                        " -C " + quote(dir / "bsd")),
                  0);
        const auto run = unarc().run("-x -o " + dq(archive) + " " + dq(dir / "ours/"), 8192);
        // The samples' links are refused (reported), every file matches bsdtar's.
        std::vector<std::pair<std::string, std::string>> bsd;
        const std::filesystem::path root(dir / "bsd");
        for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
            if (e.symlink_status().type() == std::filesystem::file_type::regular)
                bsd.emplace_back(std::filesystem::relative(e.path(), root).string(),
                                 readFile(e.path().string()));
        }
        std::sort(bsd.begin(), bsd.end());
        EXPECT_EQ(contentsBelow(dir / "ours"), bsd) << run.report;
        const bool hasLink = std::any_of(members.begin(), members.end(), [](const auto& m) {
            return std::string(m.name).find("link") != std::string::npos ||
                   std::string(m.name) == "表だよ/ファイル";
        });
        EXPECT_EQ(run.result == 0, !hasLink) << run.report;
    }
    // Names and sizes as the RAR v4 sample stores them.
    bool ok = false;
    int end = 0;
    const auto members = unarc().list(dataFile("read_format_rar_unicode.rar"), ok, end);
    std::map<std::string, int64_t> sizes;
    for (const auto& m : members)
        sizes[m.name] = m.originalSize;
    EXPECT_EQ(sizes["表だよ/漢字長いファイル名long-filename-in-漢字.txt"], 5);
    EXPECT_EQ(sizes.count("表だよ/新しいフォルダ/新規テキスト ドキュメント.txt"), 1u);
}

// The folder an archive was made from is no member: tar made of "." (GNU tar and bsdtar) stores
// it as "./", and an ISO image's root comes as "."; neither is listed, while the folders in them
// are, and extracting everything still gives the tree.
TEST(ArcFormats, TheRootFolderIsNoMember)
{
    TempFolder dir;
    const Tree tree = makeTree(dir);
    const std::string in = "cd " + quote(tree.root) + " && ";
    const std::vector<std::pair<std::string, std::string>> archives = {
        {dir / "gnu.tar", in + "tar -cf " + quote(dir / "gnu.tar") + " ."},
        {dir / "bsd.tar.gz", in + "bsdtar -czf " + quote(dir / "bsd.tar.gz") + " ."},
        {dir / "image.iso", "genisoimage -quiet -J -R -input-charset utf-8 -o " +
                                quote(dir / "image.iso") + " " + quote(tree.root)},
        {dir / "plain.iso", "genisoimage -quiet -input-charset utf-8 -o " +
                                quote(dir / "plain.iso") + " " + quote(tree.root)},
    };
    for (const auto& [archive, command] : archives) {
        SCOPED_TRACE(archive);
        ASSERT_EQ(shell(command), 0);
        bool ok = false;
        int end = 0;
        const auto members = unarc().list(archive, ok, end);
        EXPECT_TRUE(ok);
        EXPECT_EQ(end, -1);
        size_t folders = 0;
        for (const auto& m : members) {
            const std::string name = m.name;
            EXPECT_NE(name, ".");
            EXPECT_NE(name, "./");
            EXPECT_NE(name, "");
            EXPECT_NE(name, "/");
            folders += m.record.attribute[0] == 'd';
        }
        EXPECT_GE(folders, 2u); // the tree's own folders are still rows
        if (archive.find("plain") != std::string::npos)
            continue; // ISO 9660 without extensions shortens and capitalises the names
        const auto run = unarc().run("-x -o " + dq(archive) + " " + dq(archive + ".out/"), 8192);
        EXPECT_EQ(run.result, 0) << run.report;
        EXPECT_EQ(filesBelow(archive + ".out"), tree.files);
    }
}

// Two archives walked in turns each give their own members, and a closed handle is refused by
// every call that takes one, however often it was used just before.
TEST(ArcLibrary, HandlesInTurnsAndAfterTheirClose)
{
    TempFolder dir;
    const Tree tree = makeTree(dir);
    const std::string tar = archiveOfTree(dir, tree, ".tar");
    const std::string sevenZip = archiveOfTree(dir, tree, ".7z");
    ASSERT_FALSE(tar.empty());
    ASSERT_FALSE(sevenZip.empty());
    using Open = ArchiverHandle (*)(ArchiverWindow, const char*, uint32_t);
    using First = int (*)(ArchiverHandle, const char*, ArchiverMemberInfo*);
    using Next = int (*)(ArchiverHandle, ArchiverMemberInfo*);
    using Close = int (*)(ArchiverHandle);
    using Size = int (*)(ArchiverHandle, int64_t*);
    const auto open = reinterpret_cast<Open>(unarc().symbol("OpenArchive"));
    const auto first = reinterpret_cast<First>(unarc().symbol("FindFirst"));
    const auto next = reinterpret_cast<Next>(unarc().symbol("FindNext"));
    const auto close = reinterpret_cast<Close>(unarc().symbol("CloseArchive"));
    const auto size = reinterpret_cast<Size>(unarc().symbol("GetOriginalSizeEx"));
    ASSERT_TRUE(open && first && next && close && size);
    const ArchiverHandle a = open(0, tar.c_str(), 0);
    const ArchiverHandle b = open(0, sevenZip.c_str(), 0);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    ASSERT_NE(a, b);
    ArchiverMemberInfo info{};
    std::map<std::string, int64_t> fromA, fromB;
    int ra = first(a, "*", &info);
    int64_t bytes = -1;
    while (ra == 0) {
        EXPECT_EQ(size(a, &bytes), 0);
        fromA[info.fileName] = bytes;
        // One step of the other walk in between.
        const int rb = fromB.empty() ? first(b, "*", &info) : next(b, &info);
        if (rb == 0) {
            EXPECT_EQ(size(b, &bytes), 0);
            fromB[info.fileName] = bytes;
        }
        ra = next(a, &info);
    }
    while (next(b, &info) == 0) {
        EXPECT_EQ(size(b, &bytes), 0);
        fromB[info.fileName] = bytes;
    }
    for (const auto* listed : {&fromA, &fromB}) {
        for (const std::string& f : tree.files) {
            ASSERT_EQ(listed->count(f), 1u) << f;
            EXPECT_EQ(listed->at(f), static_cast<int64_t>(readFile(tree.root + "/" + f).size()));
        }
    }
    EXPECT_EQ(close(a), 0);
    EXPECT_EQ(next(a, &info), ARCHIVER_ERROR_HARC_ISNOT_OPENED);
    EXPECT_NE(size(a, &bytes), 0);
    EXPECT_EQ(first(a, "*", &info), ARCHIVER_ERROR_HARC_ISNOT_OPENED);
    EXPECT_NE(close(a), 0);
    // The other handle is still good.
    EXPECT_EQ(first(b, "*", &info), 0);
    EXPECT_EQ(close(b), 0);
    EXPECT_EQ(next(b, &info), ARCHIVER_ERROR_HARC_ISNOT_OPENED);
}
