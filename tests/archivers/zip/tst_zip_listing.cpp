// The find calls of libunzip32.so, which read a ZIP archive's central directory alone: the
// members of an Info-ZIP archive with hostile names in the order and with the names bsdtar
// lists, each record as the directory describes it, and damaged directories that list
// nothing false.

#include "ArchiverTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <zlib.h>

using namespace testsupport;

namespace
{

LoadedArchiver& unzip()
{
    static LoadedArchiver lib("libunzip32.so", "UnZip");
    return lib;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string output(const std::string& command)
{
    const std::string file = command + " > /tmp/koramo-zip-listing.out";
    std::string text;
    if (shell(file) == 0)
        text = readFile("/tmp/koramo-zip-listing.out");
    std::remove("/tmp/koramo-zip-listing.out");
    return text;
}

// An Info-ZIP archive of namesakes in different folders, names that look like switches or
// hold blanks and quotes, a 200-byte name, a folder entry and a link; its files by name.
std::map<std::string, std::string> hostileTree(const TempFolder& dir, const std::string& zip)
{
    const std::string longName = std::string(196, 'n') + ".txt";
    std::map<std::string, std::string> files = {
        {"a/same.txt", "first namesake\n"},
        {"b/same.txt", "second namesake, longer\n"},
        {"-m1 x.txt", "switch-like\n"},
        {"q \"quoted\" 'name'.txt", "quotes\n"},
        {"deep/" + longName, std::string(70000, 'z')},
    };
    for (const auto& [name, data] : files)
        writeFile(dir / ("src/" + name), data);
    EXPECT_EQ(shell("mkdir -p " + quote(dir / "src/empty") + " && ln -s a/same.txt " +
                    quote(dir / "src/link")),
              0);
    EXPECT_EQ(shell("cd " + quote(dir / "src") + " && zip -qry " + quote(zip) + " ."), 0);
    return files;
}

} // namespace

TEST(ZipListing, InfoZipHostileNamesInBsdtarsOrderWithTheirRecords)
{
    ASSERT_TRUE(unzip().loaded()) << buildBin();
    TempFolder dir;
    const std::string zip = dir / "hostile.zip";
    const auto files = hostileTree(dir, zip);
    bool ok = false;
    int end = 0;
    const auto members = unzip().list(zip, ok, end);
    ASSERT_TRUE(ok);
    EXPECT_EQ(end, ARCHIVER_FIND_END);
    std::vector<std::string> names;
    for (const auto& m : members)
        names.push_back(m.name);
    EXPECT_EQ(names, lines(output("bsdtar -tf " + quote(zip))));
    for (const auto& m : members) {
        SCOPED_TRACE(m.name);
        const auto file = files.find(m.name);
        if (file != files.end()) {
            EXPECT_EQ(m.originalSize, int64_t(file->second.size()));
            EXPECT_EQ(m.record.originalSize, file->second.size());
            const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(file->second.data()),
                                    uInt(file->second.size()));
            EXPECT_EQ(m.record.crc, uint32_t(crc));
            EXPECT_EQ(m.record.osType, uint32_t(ARCHIVER_OS_UNIX));
            EXPECT_EQ(std::string(m.record.attribute), "a--w");
        } else if (m.name == "link") {
            // A link's record: the method and CRC of its stored target, no file size.
            EXPECT_EQ(std::string(m.record.mode), "store");
            EXPECT_EQ(m.record.crc,
                      uint32_t(crc32(0, reinterpret_cast<const Bytef*>("a/same.txt"), 10)));
            EXPECT_EQ(m.originalSize, 0);
        } else {
            EXPECT_EQ(m.name.back(), '/');
            EXPECT_EQ(m.record.attribute[0], 'd');
        }
    }
    // bsdtar stores the folder it was given ("./"): that is no member.
    const std::string dotted = dir / "dotted.zip";
    ASSERT_EQ(
        shell("bsdtar --format zip -cf " + quote(dotted) + " -C " + quote(dir / "src") + " ./a"),
        0);
    std::vector<std::string> dottedNames;
    for (const auto& m : unzip().list(dotted, ok, end))
        dottedNames.push_back(m.name);
    EXPECT_EQ(dottedNames, (std::vector<std::string>{"./a/", "./a/same.txt"}));
    ASSERT_EQ(
        shell("cd " + quote(dir / "src") + " && bsdtar --format zip -cf " + quote(dotted) + " ."),
        0);
    dottedNames.clear();
    for (const auto& m : unzip().list(dotted, ok, end))
        dottedNames.push_back(m.name);
    EXPECT_EQ(std::count(dottedNames.begin(), dottedNames.end(), "./"), 0);
    EXPECT_EQ(std::count(dottedNames.begin(), dottedNames.end(), "./b/same.txt"), 1);

    // The wildcard picks one of the namesakes by its folder.
    const auto picked = unzip().list(zip, ok, end, "b/*");
    ASSERT_EQ(picked.size(), 2u); // the folder "b/" and its file
    EXPECT_EQ(picked[1].name, "b/same.txt");
    EXPECT_EQ(picked[1].originalSize, int64_t(files.at("b/same.txt").size()));
}

TEST(ZipListing, DamagedDirectoryListsNoMemberThatIsNotThere)
{
    ASSERT_TRUE(unzip().loaded()) << buildBin();
    TempFolder dir;
    std::string names;
    std::set<std::string> real;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "d" + std::to_string(i % 3) + "/member" + std::to_string(i);
        writeFile(dir / ("src/" + name), std::string(size_t(i * 7), 'x'));
        names += " " + name;
        real.insert(name);
    }
    const std::string zip = dir / "many.zip";
    ASSERT_EQ(shell("cd " + quote(dir / "src") + " && zip -q " + quote(zip) + names), 0);
    const std::string whole = readFile(zip);
    // The last member's central record broken, the directory cut short, the archive cut in
    // the middle of its data: each lists only members that are there, with their sizes, or
    // nothing, and never claims an end it did not reach without saying so.
    const size_t lastRecord = whole.rfind(std::string("PK\1\2"));
    ASSERT_NE(lastRecord, std::string::npos);
    std::string brokenLast = whole;
    brokenLast[lastRecord + 2] = 9;
    const std::string cases[] = {brokenLast, whole.substr(0, whole.size() - 40),
                                 whole.substr(0, whole.size() / 2)};
    for (const std::string& bytes : cases) {
        const std::string damaged = dir / "damaged.zip";
        {
            std::ofstream out(damaged, std::ios::binary | std::ios::trunc);
            out << bytes;
        }
        bool ok = false;
        int end = 0;
        const auto members = unzip().list(damaged, ok, end);
        for (const auto& m : members) {
            EXPECT_EQ(real.count(m.name), 1u) << m.name;
            const int i = std::stoi(m.name.substr(m.name.rfind('r') + 1));
            EXPECT_EQ(m.originalSize, int64_t(i * 7)) << m.name;
        }
        if (ok && members.size() < real.size()) {
            EXPECT_NE(end, ARCHIVER_FIND_END) << "a walk cut short must not end as complete";
        }
    }
}
