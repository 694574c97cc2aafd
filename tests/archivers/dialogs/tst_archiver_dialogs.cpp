// Overwrite questions under a real display: the test runs itself again inside xvfb-run with
// the xcb platform and answers the questions by pressing their buttons.

#include "ArchiverTestSupport.h"
#include "QuestionAnswerer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>
#include <unistd.h>

using namespace testsupport;

namespace
{

bool inChild()
{
    return std::getenv("KORAMO_DIALOG_CHILD") != nullptr;
}

std::string treeZip(const TempFolder& dir)
{
    writeFile(dir / "tree/dir/a.txt", "alpha\n");
    writeFile(dir / "tree/c.txt", "gamma\n");
    const std::string zip = dir / "tree.zip";
    EXPECT_EQ(shell("cd " + quote(dir / "tree") + " && zip -qr " + quote(zip) + " dir c.txt"), 0);
    return zip;
}

void putMine(const TempFolder& dir)
{
    writeFile(dir / "out/dir/a.txt", "mine\n");
    writeFile(dir / "out/c.txt", "mine\n");
}

} // namespace

TEST(ArchiverDialogs, OverwriteQuestionsUnderADisplay)
{
    if (inChild())
        GTEST_SKIP() << "parent only";
    if (shell("command -v xvfb-run >/dev/null") != 0)
        GTEST_SKIP() << "xvfb-run is not installed";
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    const int status = shell("xvfb-run -a env QT_QPA_PLATFORM=xcb KORAMO_DIALOG_CHILD=1 " +
                             quote(self) + " --gtest_filter='ArchiverDialogsChild.*'");
    EXPECT_EQ(status, 0);
}

TEST(ArchiverDialogsChild, Scenario)
{
    if (!inChild())
        GTEST_SKIP() << "runs under xvfb-run only";
    static int argc = 1;
    static char name[] = "dialog-test";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    LoadedArchiver unzip("libunzip32.so", "UnZip");
    LoadedArchiver cab("libcab32.so", "Cab");
    ASSERT_TRUE(unzip.loaded() && cab.loaded());
    TempFolder dir;
    const std::string zip = treeZip(dir);
    const std::string line = "-x --i \"" + zip + "\" " + dir.path() + "/out/";

    putMine(dir);
    {
        testsupport::QuestionAnswerer answer(QStringLiteral("すべて上書き"));
        const auto run = unzip.run(line);
        EXPECT_EQ(run.result, 0) << run.report;
        ASSERT_EQ(answer.seen().size(), 1) << "yes to all asks once";
        EXPECT_TRUE(answer.seen()[0].contains(QStringLiteral("上書きしますか")));
    }
    EXPECT_EQ(readFile(dir / "out/dir/a.txt"), "alpha\n");
    EXPECT_EQ(readFile(dir / "out/c.txt"), "gamma\n");

    putMine(dir);
    {
        testsupport::QuestionAnswerer answer(QStringLiteral("いいえ"));
        const auto run = unzip.run(line);
        EXPECT_EQ(run.result, 0) << run.report;
        EXPECT_EQ(answer.seen().size(), 2);
        EXPECT_NE(run.report.find("上書きしませんでした"), std::string::npos) << run.report;
    }
    EXPECT_EQ(readFile(dir / "out/dir/a.txt"), "mine\n");
    EXPECT_EQ(readFile(dir / "out/c.txt"), "mine\n");

    {
        testsupport::QuestionAnswerer answer(QStringLiteral("キャンセル"));
        const auto run = unzip.run(line);
        EXPECT_EQ(run.result, ARCHIVER_ERROR_USER_CANCEL) << run.report;
        EXPECT_EQ(answer.seen().size(), 1);
    }
    EXPECT_EQ(readFile(dir / "out/dir/a.txt"), "mine\n");

    // Making a cabinet over an existing one asks too.
    writeFile(dir / "old.cab", "old");
    {
        testsupport::QuestionAnswerer answer(QStringLiteral("はい"));
        const auto run =
            cab.run("-a -r -i \"" + dir.path() + "/old.cab\" \"" + dir.path() + "/tree/\"");
        EXPECT_EQ(run.result, 0) << run.report;
        EXPECT_EQ(answer.seen().size(), 1);
    }
    EXPECT_EQ(readFile(dir / "old.cab").substr(0, 4), "MSCF");
}

namespace
{

// 150 members of 200 KB in three folders, packed by Info-ZIP and by jlha; their paths in
// archive order.
std::vector<std::string> manyMembers(const TempFolder& dir)
{
    std::vector<std::string> order;
    std::string names;
    for (int i = 0; i < 150; ++i) {
        const std::string path = "f" + std::to_string(i % 3) + "/m" + std::to_string(i) + ".txt";
        std::string data;
        for (int n = 0; data.size() < 200000; ++n)
            data += "member " + std::to_string(i) + " line " + std::to_string(n * 31 % 977) + "\n";
        writeFile(dir / ("many/" + path), data);
        order.push_back(path);
        names += " " + path;
    }
    EXPECT_EQ(shell("cd " + quote(dir / "many") + " && zip -q ../many.zip" + names), 0);
    EXPECT_EQ(shell("cd " + quote(dir / "many") + " && jlha a2o5q ../many.lzh" + names), 0);
    return order;
}

} // namespace

TEST(ArchiverDialogsChild, SideBySideQuestionsComeInArchiveOrder)
{
    if (!inChild())
        GTEST_SKIP() << "runs under xvfb-run only";
    static int argc = 1;
    static char name[] = "dialog-test";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    setenv("KORAMO_EXTRACT_THREADS", "4", 1);
    LoadedArchiver unzip("libunzip32.so", "UnZip");
    LoadedArchiver unlha("libunlha32.so", "Unlha");
    ASSERT_TRUE(unzip.loaded() && unlha.loaded());
    TempFolder dir;
    manyMembers(dir);
    const std::string zip = dir / "many.zip", lzh = dir / "many.lzh";
    for (const bool isZip : {true, false}) {
        SCOPED_TRACE(isZip ? "ZIP" : "LZH");
        const LoadedArchiver& lib = isZip ? unzip : unlha;
        // Three files in the way: the questions come in archive order, and "no" keeps them.
        const std::string out = dir / (isZip ? "q-zip" : "q-lzh");
        for (const char* mine : {"f1/m10.txt", "f0/m60.txt", "f2/m140.txt"})
            writeFile(out + "/" + mine, "mine\n");
        {
            testsupport::QuestionAnswerer answer(QStringLiteral("いいえ"));
            const auto run = lib.run(isZip ? "-x --i \"" + zip + "\" \"" + out + "/\""
                                           : "e -d1 -n \"" + lzh + "\" \"" + out + "/\"");
            EXPECT_EQ(run.result, 0) << run.report;
            ASSERT_EQ(answer.seen().size(), 3) << run.report.substr(0, 2000);
            EXPECT_TRUE(answer.seen()[0].contains(QStringLiteral("m10.txt")));
            EXPECT_TRUE(answer.seen()[1].contains(QStringLiteral("m60.txt")));
            EXPECT_TRUE(answer.seen()[2].contains(QStringLiteral("m140.txt")));
        }
        EXPECT_EQ(readFile(out + "/f0/m60.txt"), "mine\n");
        EXPECT_EQ(readFile(out + "/f1/m11.txt"), readFile(dir / "many/f1/m11.txt"));
    }
    unsetenv("KORAMO_EXTRACT_THREADS");
}
