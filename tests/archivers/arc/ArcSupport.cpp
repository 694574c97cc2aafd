#include "ArcSupport.h"

#include <gtest/gtest.h>

#include <utime.h>

using namespace testsupport;

namespace arctest
{

LoadedArchiver& unarc()
{
    static LoadedArchiver lib("libunarc32.so", "UnArc");
    return lib;
}

std::string dataFile(const std::string& name)
{
    return std::string(KORAMO_ARC_DATA) + "/" + name;
}

time_t treeTime()
{
    struct tm t {
    };
    t.tm_year = 121;
    t.tm_mon = 2;
    t.tm_mday = 4;
    t.tm_hour = 5;
    t.tm_min = 6;
    t.tm_sec = 8;
    t.tm_isdst = -1;
    return mktime(&t);
}

Tree makeTree(const TempFolder& dir)
{
    Tree tree;
    tree.root = dir / "tree";
    tree.files = {"-x.txt",        "a.txt",         "big.bin",
                  "dir/empty.txt", "dir/sub/b.txt", "日本語/名前.txt"};
    const std::vector<std::string> bodies = {"dash\n", "alpha\n", randomBytes(300000, 7),
                                             "",       "beta\n",  "日本\n"};
    for (size_t i = 0; i < tree.files.size(); ++i)
        writeFile(tree.root + "/" + tree.files[i], bodies[i]);
    const time_t t = treeTime();
    struct utimbuf times {
        t, t
    };
    for (const std::string& f : tree.files)
        EXPECT_EQ(::utime((tree.root + "/" + f).c_str(), &times), 0);
    for (const char* folder : {"dir/sub", "dir", "日本語"})
        EXPECT_EQ(::utime((tree.root + "/" + folder).c_str(), &times), 0);
    return tree;
}

std::string archiveOfTree(const TempFolder& dir, const Tree& tree, const std::string& ending)
{
    const std::string out = dir / ("arc" + ending);
    const std::string in = "cd " + quote(tree.root) + " && ";
    std::string command;
    if (ending == ".7z")
        command = in + "7z a -bd -bso0 " + quote(out) + " -- *";
    else if (ending == ".iso")
        command = "genisoimage -quiet -J -R -input-charset utf-8 -o " + quote(out) + " " +
                  quote(tree.root);
    else {
        std::string filter;
        if (ending == ".tar.gz" || ending == ".tgz")
            filter = "gzip";
        else if (ending == ".tar.bz2" || ending == ".tbz2")
            filter = "bzip2";
        else if (ending == ".tar.xz" || ending == ".txz")
            filter = "xz";
        else if (ending == ".tar.zst")
            filter = "zstd";
        command = in + "tar -c " + (filter.empty() ? "" : "-I " + filter + " ") + "-f " +
                  quote(out) + " -- *";
    }
    return shell(command) == 0 ? out : std::string();
}

std::vector<std::pair<std::string, std::string>> contentsBelow(const std::string& folder)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const std::string& f : filesBelow(folder))
        out.emplace_back(f, readFile(folder + "/" + f));
    return out;
}

std::string dq(const std::string& text)
{
    return "\"" + text + "\"";
}

int python(const std::string& script)
{
    return shell("python3 -c " + quote(script));
}

} // namespace arctest
