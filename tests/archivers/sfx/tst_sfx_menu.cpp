// The "$" menu directive of self-extracting archives: NAME.run made with Unlha s and Cab -f
// from archives of our own writers and of other tools (jlha, gcab), run with --dest and
// --yes. The desktop entry must validate, start the named file and be the only thing
// written besides the extracted files; hostile directives must not get further.

#include "ArchiverTestSupport.h"
#include "StubRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <set>

using namespace testsupport;
using sfxtest::runStubWith;

namespace
{

LoadedArchiver& unlha()
{
    static LoadedArchiver lib("libunlha32.so", "Unlha");
    return lib;
}

LoadedArchiver& cab()
{
    static LoadedArchiver lib("libcab32.so", "Cab");
    return lib;
}

bool haveTool(const std::string& tool)
{
    return shell("command -v " + tool + " >/dev/null") == 0;
}

// Every path below the folder (files and folders), relative.
std::set<std::string> everythingBelow(const std::string& folder)
{
    std::set<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        out.insert(std::filesystem::relative(it->path(), folder).string());
    return out;
}

std::string realPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

// The values of one key in a desktop entry, in order.
std::vector<std::string> values(const std::string& entry, const std::string& key)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < entry.size()) {
        size_t end = entry.find('\n', pos);
        if (end == std::string::npos)
            end = entry.size();
        const std::string line = entry.substr(pos, end - pos);
        if (line.rfind(key + "=", 0) == 0)
            out.push_back(line.substr(key.size() + 1));
        pos = end + 1;
    }
    return out;
}

// The file an Exec value starts, read as a desktop environment reads it: the string escapes
// first, then the first argument (after "xdg-open" when the file is opened rather than run)
// with its quoting, then "%%" as "%". Empty when the value does not parse.
std::string execTarget(const std::string& value)
{
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            text += value[i];
            continue;
        }
        if (++i == value.size())
            return std::string();
        const char c = value[i];
        text += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    if (text.rfind("xdg-open ", 0) == 0)
        text.erase(0, 9);
    std::string arg;
    if (!text.empty() && text[0] == '"') {
        size_t i = 1;
        for (; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size())
                ++i;
            arg += text[i];
        }
        if (i != text.size() - 1)
            return std::string(); // unterminated, or more than one argument
    } else {
        if (text.find(' ') != std::string::npos)
            return std::string();
        arg = text;
    }
    std::string out;
    for (size_t i = 0; i < arg.size(); ++i) {
        if (arg[i] == '%') {
            if (i + 1 >= arg.size() || arg[i + 1] != '%')
                return std::string(); // a field code
            ++i;
        }
        out += arg[i];
    }
    return out;
}

// desktop-file-validate's verdict: empty when the file is valid (hints allowed).
std::string validate(const TempFolder& dir, const std::string& file)
{
    const std::string log = dir / "validate.log";
    const int status = shell("desktop-file-validate " + quote(file) + " >" + quote(log) + " 2>&1");
    const std::string out = readFile(log);
    ::unlink(log.c_str());
    if (status != 0 || out.find("error:") != std::string::npos)
        return out.empty() ? "exit status " + std::to_string(status) : out;
    return std::string();
}

// Writes the text as CP932 (the encoding of "$" files made on Japanese Windows).
void writeCp932(const TempFolder& dir, const std::string& path, const std::string& text)
{
    writeFile(dir / "utf8.tmp", text);
    ASSERT_EQ(shell("iconv -f UTF-8 -t CP932 " + quote(dir / "utf8.tmp") + " > " + quote(path)), 0);
    ::unlink((dir / "utf8.tmp").c_str());
}

enum class Maker { OurLzh, JlhaLzh, OurCab, GcabCab };

std::string makerName(Maker m)
{
    switch (m) {
    case Maker::OurLzh:
        return "our LZH";
    case Maker::JlhaLzh:
        return "jlha";
    case Maker::OurCab:
        return "our CAB";
    case Maker::GcabCab:
        return "gcab";
    }
    return std::string();
}

// The files of `stage` (relative names given) packed by the maker into dir/pack/NAME.lzh or
// .cab and turned into dir/save/NAME.run with the library's own command. Empty on failure
// (the failure is recorded).
std::string makeRun(const TempFolder& dir, Maker maker, const std::string& stage,
                    const std::vector<std::string>& members, const std::string& name)
{
    std::filesystem::create_directories(dir / "pack");
    std::filesystem::create_directories(dir / "save");
    const bool lzh = maker == Maker::OurLzh || maker == Maker::JlhaLzh;
    const std::string archive = dir / ("pack/" + name + (lzh ? ".lzh" : ".cab"));
    std::string list;
    for (const std::string& m : members)
        list += " " + quote(m);
    switch (maker) {
    case Maker::OurLzh: {
        const auto run = unlha().run("u -a1 \"" + archive + "\" \"" + stage + "/\" *.*");
        EXPECT_EQ(run.result, 0) << run.report;
        break;
    }
    case Maker::JlhaLzh:
        EXPECT_EQ(shell("cd " + quote(stage) +
                        " && LC_ALL=C.UTF-8 JAVA_TOOL_OPTIONS=-Dlha.encoding=MS932 jlha a2q " +
                        quote(archive) + list + " >/dev/null 2>&1"),
                  0);
        break;
    case Maker::OurCab: {
        const auto run = cab().run("-a -r \"" + archive + "\" \"" + stage + "/\" *.*");
        EXPECT_EQ(run.result, 0) << run.report;
        break;
    }
    case Maker::GcabCab:
        EXPECT_EQ(shell("cd " + quote(stage) + " && gcab -c -z " + quote(archive) + list +
                        " >/dev/null 2>&1"),
                  0);
        break;
    }
    const auto run = lzh ? unlha().run("s -gw3 \"" + archive + "\" \"" + dir.path() + "/save/\"")
                         : cab().run("-f \"" + archive + "\" \"" + dir.path() + "/save/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    const std::string program = dir / ("save/" + name + ".run");
    return exists(program) ? program : std::string();
}

// The environment of a user whose data, config and home folders all lie in the test folder.
std::string userEnvironment(const TempFolder& dir)
{
    return "HOME=" + quote(dir / "home") + " XDG_DATA_HOME=" + quote(dir / "data") +
           " XDG_CONFIG_HOME=" + quote(dir / "config");
}

// What the run added to the test folder outside the extraction folder, the data folder, the
// config folder's merged menus and the run's own log.
std::vector<std::string> strayPaths(const std::set<std::string>& before,
                                    const std::set<std::string>& after)
{
    std::vector<std::string> out;
    for (const std::string& p : after) {
        if (before.count(p) || p == "stub.log" || p.rfind("x/", 0) == 0 || p == "x" ||
            p.rfind("data", 0) == 0 || p == "config" || p == "config/menus" ||
            p.rfind("config/menus/applications-merged", 0) == 0)
            continue;
        out.push_back(p);
    }
    return out;
}

// The one .desktop file below data/applications (relative to it), checked for the keys a
// launcher must have once only; empty when there is not exactly one.
std::string theEntry(const TempFolder& dir)
{
    const std::vector<std::string> entries = filesBelow(dir / "data/applications");
    EXPECT_EQ(entries.size(), 1u);
    if (entries.size() != 1)
        return std::string();
    EXPECT_EQ(entries[0].find('/'), std::string::npos) << entries[0];
    return dir / ("data/applications/" + entries[0]);
}

} // namespace

TEST(SelfExtractingMenu, EntryFromEveryArchiveMaker)
{
    ASSERT_TRUE(unlha().loaded() && cab().loaded()) << buildBin();
    if (!haveTool("desktop-file-validate") || !haveTool("iconv"))
        GTEST_SKIP() << "desktop-file-validate or iconv is not installed";
    for (const Maker maker : {Maker::OurLzh, Maker::JlhaLzh, Maker::OurCab, Maker::GcabCab}) {
        SCOPED_TRACE(makerName(maker));
        if ((maker == Maker::JlhaLzh && !haveTool("jlha")) ||
            (maker == Maker::GcabCab && !haveTool("gcab"))) {
            ADD_FAILURE() << makerName(maker) << " is not installed";
            continue;
        }
        TempFolder dir;
        const std::string stage = dir / "stage";
        writeFile(stage + "/readme.txt", "読んでください\n");
        writeFile(stage + "/bin/start.sh", "#!/bin/sh\necho started\n");
        // The directive as the registration dialog writes it: CRLF between the lines, the
        // trailing comma, no line end at the end; CP932 for two makers, UTF-8 for the others.
        const std::string directive =
            "$GroupTitle=テストの登録\r\n$Group=テスト用グループ,スタート,bin\\start.sh,";
        if (maker == Maker::JlhaLzh || maker == Maker::OurCab)
            writeCp932(dir, stage + "/$", directive);
        else
            writeFile(stage + "/$", directive);
        std::filesystem::create_directories(dir / "home");
        const std::string program =
            makeRun(dir, maker, stage, {"$", "readme.txt", "bin/start.sh"}, "setup");
        ASSERT_FALSE(program.empty());

        const std::set<std::string> before = everythingBelow(dir.path());
        std::string output;
        ASSERT_EQ(runStubWith(dir, userEnvironment(dir), program,
                              "--dest " + quote(dir / "x") + " --yes", &output),
                  0)
            << output;
        // The directive is an order to the stub, not one of the user's files.
        EXPECT_EQ(filesBelow(dir / "x"), (std::vector<std::string>{"bin/start.sh", "readme.txt"}));
        EXPECT_EQ(readFile(dir / "x/readme.txt"), "読んでください\n");
        EXPECT_EQ(strayPaths(before, everythingBelow(dir.path())), std::vector<std::string>{});
        EXPECT_TRUE(everythingBelow(dir / "home").empty());

        const std::string desktop = theEntry(dir);
        ASSERT_FALSE(desktop.empty());
        EXPECT_EQ(validate(dir, desktop), "");
        const std::string entry = readFile(desktop);
        EXPECT_EQ(values(entry, "Name"), (std::vector<std::string>{"スタート"})) << entry;
        const std::vector<std::string> exec = values(entry, "Exec");
        ASSERT_EQ(exec.size(), 1u) << entry;
        EXPECT_EQ(execTarget(exec[0]), realPath(dir / "x/bin/start.sh")) << entry;
        EXPECT_EQ(values(entry, "Path"), (std::vector<std::string>{realPath(dir / "x")}));
        // The submenu: its directory file names the group, the merged menu includes the
        // entry's own category.
        const std::vector<std::string> directories = filesBelow(dir / "data/desktop-directories");
        ASSERT_EQ(directories.size(), 1u);
        const std::string directoryFile = dir / ("data/desktop-directories/" + directories[0]);
        EXPECT_EQ(validate(dir, directoryFile), "");
        EXPECT_EQ(values(readFile(directoryFile), "Name"),
                  (std::vector<std::string>{"テスト用グループ"}));
        const std::vector<std::string> menus = filesBelow(dir / "config/menus/applications-merged");
        ASSERT_EQ(menus.size(), 1u);
        const std::string menu = readFile(dir / ("config/menus/applications-merged/" + menus[0]));
        const std::vector<std::string> categories = values(entry, "Categories");
        ASSERT_EQ(categories.size(), 1u);
        const std::string category = categories[0].substr(0, categories[0].find(';'));
        EXPECT_NE(menu.find("<Category>" + category + "</Category>"), std::string::npos) << menu;
        EXPECT_NE(menu.find("<Directory>" + directories[0] + "</Directory>"), std::string::npos)
            << menu;
        // The script is started, so it must be executable (cabinets keep no mode bits).
        EXPECT_EQ(shell(quote(execTarget(exec[0])) + " >/dev/null"), 0);
    }
}

TEST(SelfExtractingMenu, WithoutXdgDataHomeTheEntryGoesBelowHome)
{
    TempFolder dir;
    const std::string stage = dir / "stage";
    writeFile(stage + "/tool.sh", "#!/bin/sh\n");
    writeFile(stage + "/$", "$GroupTitle=T\r\n$Group=G,N,tool.sh,");
    std::filesystem::create_directories(dir / "home");
    const std::string program = makeRun(dir, Maker::OurLzh, stage, {}, "tool");
    ASSERT_FALSE(program.empty());
    std::string output;
    ASSERT_EQ(runStubWith(dir, "-u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME=" + quote(dir / "home"),
                          program, "--dest " + quote(dir / "x") + " --yes", &output),
              0)
        << output;
    const std::vector<std::string> below = filesBelow(dir / "home");
    ASSERT_EQ(below.size(), 3u) << output;
    EXPECT_EQ(below[0].rfind(".config/menus/applications-merged/", 0), 0u) << below[0];
    EXPECT_EQ(below[1].rfind(".local/share/applications/", 0), 0u) << below[1];
    EXPECT_EQ(below[2].rfind(".local/share/desktop-directories/", 0), 0u) << below[2];

    // Neither XDG_DATA_HOME nor HOME: no entry anywhere, and the run says it failed.
    EXPECT_NE(runStubWith(dir, "-u XDG_DATA_HOME -u XDG_CONFIG_HOME -u HOME", program,
                          "--dest " + quote(dir / "y") + " --yes", &output),
              0);
    EXPECT_NE(output.find("メニューのフォルダが分かりません"), std::string::npos) << output;
    EXPECT_EQ(readFile(dir / "y/tool.sh"), "#!/bin/sh\n");
}

namespace
{

struct Hostile {
    std::string what;
    std::string directive;
    bool entryWritten;
};

} // namespace

TEST(SelfExtractingMenu, HostileDirectivesStayInsideTheDataFolder)
{
    if (!haveTool("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const std::string longName(20000, 'A');
    std::string longJapanese;
    for (int i = 0; i < 3000; ++i)
        longJapanese += "あ";
    const std::vector<Hostile> cases = {
        {"file climbing out", "$Group=G,N,..\\..\\outside.sh,", false},
        {"file climbing out with slashes", "$Group=G,N,bin/../../outside.sh,", false},
        {"absolute file", "$Group=G,N,/bin/sh,", false},
        {"file missing", "$Group=G,N,nothere.sh,", false},
        {"file is a folder", "$Group=G,N,bin,", false},
        {"incomplete", "$GroupTitle=only a title", false},
        {"key injected through CR", "$Group=G,Evil\rExec=/bin/false\rX,bin\\ok.sh,", true},
        {"path separators and dots in the group and name",
         "$Group=../../../../escape/..,../../up/name,bin\\ok.sh,", true},
        {"field codes", "$GroupTitle=%F %u\r\n$Group=%k,%c %i,bin\\odd %u \"$x`.sh,", true},
        {"backslash escapes in values", "$Group=a\\nb,c\\;d\\s,bin\\ok.sh,", true},
        {"very long fields",
         "$GroupTitle=" + longName + "\r\n$Group=" + longJapanese + "," + longJapanese +
             ",bin\\ok.sh,",
         true},
    };
    for (const Hostile& h : cases) {
        SCOPED_TRACE(h.what);
        TempFolder dir;
        const std::string stage = dir / "stage";
        writeFile(stage + "/bin/ok.sh", "#!/bin/sh\n");
        writeFile(stage + "/bin/odd %u \"$x`.sh", "#!/bin/sh\n");
        writeFile(stage + "/$", h.directive);
        writeFile(dir / "outside.sh", "#!/bin/sh\n");
        std::filesystem::create_directories(dir / "home");
        const std::string program = makeRun(dir, Maker::OurLzh, stage, {}, "h");
        ASSERT_FALSE(program.empty());
        const std::set<std::string> before = everythingBelow(dir.path());
        std::string output;
        const int status = runStubWith(dir, userEnvironment(dir), program,
                                       "--dest " + quote(dir / "x") + " --yes", &output);
        EXPECT_EQ(strayPaths(before, everythingBelow(dir.path())), std::vector<std::string>{});
        // The files themselves are extracted in every case.
        EXPECT_EQ(readFile(dir / "x/bin/ok.sh"), "#!/bin/sh\n");
        if (!h.entryWritten) {
            EXPECT_NE(status, 0) << output;
            EXPECT_TRUE(filesBelow(dir / "data").empty()) << output;
            EXPECT_TRUE(filesBelow(dir / "config").empty()) << output;
            continue;
        }
        ASSERT_EQ(status, 0) << output;
        const std::string desktop = theEntry(dir);
        ASSERT_FALSE(desktop.empty());
        EXPECT_EQ(validate(dir, desktop), "");
        const std::string entry = readFile(desktop);
        for (const char* key : {"Type", "Name", "Exec", "Path", "Terminal", "Categories"})
            EXPECT_EQ(values(entry, key).size(), 1u) << key << "\n" << entry;
        EXPECT_LE(values(entry, "Name")[0].size(), 255u);
        for (const std::string& v : values(entry, "Comment"))
            EXPECT_LE(v.size(), 255u);
        const std::string target = execTarget(values(entry, "Exec")[0]);
        EXPECT_EQ(target.rfind(realPath(dir / "x") + "/bin/", 0), 0u) << entry;
        EXPECT_TRUE(exists(target)) << target;
        for (const std::string& d : filesBelow(dir / "data/desktop-directories"))
            EXPECT_EQ(validate(dir, dir / ("data/desktop-directories/" + d)), "");
        EXPECT_EQ(filesBelow(dir / "data/desktop-directories").size(), 1u);
    }
}
