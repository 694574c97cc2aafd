// Member names of ZIP archives as different writers store them, listed and extracted through
// libunzip32.so: Debian's zip (UTF-8 without the flag), Python with CP932 names, names with
// the UTF-8 flag, decomposed names from macOS, and an encoding the user chooses.

#include "ArchiverTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace
{

LoadedArchiver& unzip()
{
    static LoadedArchiver lib("libunzip32.so", "UnZip");
    return lib;
}

using SetNameEncoding = int (*)(const char*, const char*);

SetNameEncoding setNameEncoding()
{
    return reinterpret_cast<SetNameEncoding>(unzip().symbol("SetNameEncoding"));
}

std::string makeArchive(const TempFolder& dir, const std::string& kind)
{
    const std::string out = dir / (kind + ".zip");
    EXPECT_EQ(shell("python3 " + quote(KORAMO_NAME_FIXTURES) + " " + kind + " " + quote(out)), 0);
    return out;
}

std::vector<std::string> listedNames(const std::string& zip)
{
    bool ok = false;
    int end = 0;
    const auto members = unzip().list(zip, ok, end, "*.*", 0x20000000);
    EXPECT_TRUE(ok) << zip;
    EXPECT_EQ(end, ARCHIVER_FIND_END);
    std::vector<std::string> names;
    for (const auto& m : members)
        names.push_back(m.name);
    return names;
}

using Names = std::vector<std::string>;

} // namespace

TEST(ZipNames, DebianZipWritesUtf8WithoutTheFlag)
{
    ASSERT_TRUE(unzip().loaded()) << buildBin();
    TempFolder dir;
    writeFile(dir / "tree/日本語.txt", "hi\n");
    writeFile(dir / "tree/フォルダ/表.txt", "x\n");
    const std::string zip = dir / "debian.zip";
    ASSERT_EQ(shell("cd " + quote(dir / "tree") + " && LC_ALL=C.UTF-8 zip -qr " + quote(zip) +
                    " 日本語.txt フォルダ"),
              0);
    // Info-ZIP stores the names as the file system gives them and leaves bit 11 clear.
    const std::string bytes = readFile(zip);
    const size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    EXPECT_EQ(static_cast<unsigned char>(bytes[central + 9]) & 0x08, 0);

    EXPECT_EQ(listedNames(zip), (Names{"日本語.txt", "フォルダ/", "フォルダ/表.txt"}));

    const auto run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/out/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "out/日本語.txt"), "hi\n");
    EXPECT_EQ(readFile(dir / "out/フォルダ/表.txt"), "x\n");
    EXPECT_EQ(filesBelow(dir / "out"), (Names{"フォルダ/表.txt", "日本語.txt"}));
}

TEST(ZipNames, PythonCp932NamesWithoutTheFlag)
{
    TempFolder dir;
    const std::string zip = makeArchive(dir, "python_cp932");
    EXPECT_EQ(listedNames(zip), (Names{"表/ソ能.txt", "ダウンロード.txt", "ascii.txt"}));
    const auto run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/out/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "out/表/ソ能.txt"), "cp932 one\n");
    EXPECT_EQ(readFile(dir / "out/ダウンロード.txt"), "cp932 two\n");
    EXPECT_EQ(filesBelow(dir / "out"), (Names{"ascii.txt", "ダウンロード.txt", "表/ソ能.txt"}));
}

TEST(ZipNames, NamesWithTheUtf8Flag)
{
    TempFolder dir;
    const std::string zip = makeArchive(dir, "flagged");
    EXPECT_EQ(listedNames(zip), (Names{"日本語/ファイル①.txt", "Ünïcödé.txt"}));
    const auto run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/out/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "out/日本語/ファイル①.txt"), "flagged one\n");
    EXPECT_EQ(readFile(dir / "out/Ünïcödé.txt"), "flagged two\n");
}

TEST(ZipNames, DecomposedNamesComeOutComposed)
{
    TempFolder dir;
    const std::string plain = makeArchive(dir, "nfd_unflagged");
    const std::string flagged = makeArchive(dir, "nfd_flagged");
    // Composed: が is one character (E3 81 8C), not か + U+3099.
    EXPECT_EQ(listedNames(plain), (Names{"がぎぐ/パン.txt", "Café.txt"}));
    EXPECT_EQ(listedNames(flagged), (Names{"ポケット.txt"}));

    // A member asked for by its name as typed (composed) is found and written composed.
    auto run = unzip().run("-x \"" + plain + "\" \"" + dir.path() + "/out/\" がぎぐ/パン.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "out"), (Names{"がぎぐ/パン.txt"}));
    EXPECT_EQ(readFile(dir / "out/がぎぐ/パン.txt"), "nfd plain\n");
    run = unzip().run("-x \"" + flagged + "\" \"" + dir.path() + "/flagged/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "flagged"), (Names{"ポケット.txt"}));
}

TEST(ZipNames, ChosenEncodingForListingAndExtraction)
{
    ASSERT_NE(setNameEncoding(), nullptr);
    TempFolder dir;
    const std::string zip = makeArchive(dir, "eucjp");
    // The guess takes the EUC-JP bytes for CP932 and gets another text.
    const Names guessed = listedNames(zip);
    ASSERT_EQ(guessed.size(), 2u);
    EXPECT_NE(guessed[0], "日本語の名前.txt");
    EXPECT_EQ(guessed[1], "旗付き.txt");

    ASSERT_EQ(setNameEncoding()(zip.c_str(), "EUC-JP"), ARCHIVER_OK);
    // The flagged name stays UTF-8 whatever was chosen.
    EXPECT_EQ(listedNames(zip), (Names{"日本語の名前.txt", "旗付き.txt"}));
    // Reached by another spelling of its path, it is the same archive.
    EXPECT_EQ(listedNames(dir.path() + "/./eucjp.zip"), (Names{"日本語の名前.txt", "旗付き.txt"}));
    auto run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/out/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "out"), (Names{"旗付き.txt", "日本語の名前.txt"}));
    EXPECT_EQ(readFile(dir / "out/日本語の名前.txt"), "euc-jp\n");
    run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/one/\" 日本語の名前.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "one"), (Names{"日本語の名前.txt"}));

    // Another archive is not affected by this one's choice.
    const std::string other = makeArchive(dir, "python_cp932");
    EXPECT_EQ(listedNames(other)[1], "ダウンロード.txt");

    // An empty choice goes back to the guess.
    ASSERT_EQ(setNameEncoding()(zip.c_str(), ""), ARCHIVER_OK);
    EXPECT_EQ(listedNames(zip), guessed);
}

TEST(ZipNames, EveryOfferedEncoding)
{
    ASSERT_NE(setNameEncoding(), nullptr);
    TempFolder dir;
    const struct {
        const char* kind;
        const char* encoding;
        const char* name;
    } cases[] = {
        {"gbk", "GBK", "简体中文.txt"},      {"big5", "Big5", "繁體中文.txt"},
        {"euckr", "EUC-KR", "한국어.txt"},   {"python_cp932", "CP932", "ダウンロード.txt"},
        {"flagged", "UTF-8", "Ünïcödé.txt"},
    };
    for (const auto& c : cases) {
        const std::string zip = makeArchive(dir, c.kind);
        ASSERT_EQ(setNameEncoding()(zip.c_str(), c.encoding), ARCHIVER_OK) << c.encoding;
        const Names names = listedNames(zip);
        EXPECT_NE(std::find(names.begin(), names.end(), c.name), names.end()) << c.encoding;
        const std::string out = dir / (std::string("out_") + c.kind);
        const auto run = unzip().run("-x \"" + zip + "\" \"" + out + "/\"");
        EXPECT_EQ(run.result, 0) << run.report;
        EXPECT_TRUE(exists(out + "/" + c.name)) << c.encoding << "\n" << run.report;
    }
}

TEST(ZipNames, UnknownEncodingRefused)
{
    ASSERT_NE(setNameEncoding(), nullptr);
    TempFolder dir;
    const std::string zip = makeArchive(dir, "python_cp932");
    EXPECT_EQ(setNameEncoding()(zip.c_str(), "KOI8-R"), ARCHIVER_ERROR_NOT_SUPPORT);
    EXPECT_EQ(setNameEncoding()(nullptr, "CP932"), ARCHIVER_ERROR_NOT_FIND_ARC_FILE);
    // Refusing changed nothing: the guess still lists the CP932 names.
    EXPECT_EQ(listedNames(zip)[0], "表/ソ能.txt");
}
