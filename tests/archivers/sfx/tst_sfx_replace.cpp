// Writing NAME.run over a file of that name: Unlha s and Cab -f ask first, keep the old file
// when the answer is no or when no question can be shown, and replace it only as a whole.
// The questions themselves are answered on a virtual display (the test runs itself again
// inside xvfb-run).

#include "ArchiverTestSupport.h"
#include "QuestionAnswerer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace
{

bool inChild()
{
    return std::getenv("KORAMO_SFX_DIALOG_CHILD") != nullptr;
}

struct Library {
    std::string file;
    std::string prefix;
    std::string archiveName;
    // The command line that writes save/NAME.run for dir/NAME.ext, with a switch that
    // replaces without asking when `force`.
    std::string (*command)(const TempFolder& dir, bool force);
};

std::string unlhaCommand(const TempFolder& dir, bool force)
{
    return std::string("s -gw3 ") + (force ? "-m1 " : "") + "\"" + dir.path() + "/p.lzh\" \"" +
           dir.path() + "/save/\"";
}

std::string cabCommand(const TempFolder& dir, bool force)
{
    return std::string("-f ") + (force ? "-o " : "") + "\"" + dir.path() + "/p.cab\" \"" +
           dir.path() + "/save/\"";
}

const std::vector<Library>& libraries()
{
    static const std::vector<Library> all = {
        {"libunlha32.so", "Unlha", "p.lzh", unlhaCommand},
        {"libcab32.so", "Cab", "p.cab", cabCommand},
    };
    return all;
}

// An archive for the library made with the library itself, and the user's own p.run.
void prepare(const TempFolder& dir, const Library& lib, LoadedArchiver& archiver)
{
    writeFile(dir / "src/a.txt", "packed\n");
    const std::string create =
        lib.prefix == "Unlha" ? "u \"" + dir.path() + "/p.lzh\" \"" + dir.path() + "/src/\" *.*"
                              : "-a -r \"" + dir.path() + "/p.cab\" \"" + dir.path() + "/src/\"";
    const auto run = archiver.run(create);
    ASSERT_EQ(run.result, 0) << run.report;
    writeFile(dir / "save/p.run", "the user's own file\n");
}

ino_t inode(const std::string& path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Only p.run in the folder: no temporary file is left beside it.
void expectOnlyTheRun(const TempFolder& dir)
{
    EXPECT_EQ(filesBelow(dir / "save"), (std::vector<std::string>{"p.run"}));
}

bool isRun(const std::string& path)
{
    return readFile(path).substr(0, 4) == "\x7F"
                                          "ELF";
}

// A picture of the first question, for looking at it, when KORAMO_SHOT_DIR is set.
testsupport::QuestionAnswerer answering(const QString& button)
{
    return testsupport::QuestionAnswerer(button, [](QMessageBox* box) {
        if (const char* shots = std::getenv("KORAMO_SHOT_DIR"))
            box->grab().save(QString::fromUtf8(shots) + QStringLiteral("/replace-question.png"));
    });
}

} // namespace

TEST(SelfExtractingReplace, WithoutADisplayTheOldFileIsKept)
{
    if (inChild())
        GTEST_SKIP() << "parent only";
    for (const Library& lib : libraries()) {
        SCOPED_TRACE(lib.prefix);
        LoadedArchiver archiver(lib.file, lib.prefix);
        ASSERT_TRUE(archiver.loaded()) << buildBin();
        TempFolder dir;
        prepare(dir, lib, archiver);
        const auto run = archiver.run(lib.command(dir, false));
        EXPECT_EQ(run.result, ARCHIVER_ERROR_ALREADY_EXIST) << run.report;
        EXPECT_NE(run.report.find("確認の画面を出せないため作成しませんでした: " + dir.path() +
                                  "/save/p.run"),
                  std::string::npos)
            << run.report;
        EXPECT_EQ(readFile(dir / "save/p.run"), "the user's own file\n");
        expectOnlyTheRun(dir);

        // The switch that answers yes replaces it, through a new file renamed into place.
        const ino_t old = inode(dir / "save/p.run");
        const auto forced = archiver.run(lib.command(dir, true));
        EXPECT_EQ(forced.result, 0) << forced.report;
        EXPECT_TRUE(isRun(dir / "save/p.run"));
        EXPECT_NE(inode(dir / "save/p.run"), old);
        expectOnlyTheRun(dir);
    }
}

TEST(SelfExtractingReplace, QuestionsUnderADisplay)
{
    if (inChild())
        GTEST_SKIP() << "parent only";
    if (shell("command -v xvfb-run >/dev/null") != 0)
        GTEST_SKIP() << "xvfb-run is not installed";
    EXPECT_EQ(runSelfUnderDisplay("KORAMO_SFX_DIALOG_CHILD", "SelfExtractingReplaceChild.*"), 0);
}

TEST(SelfExtractingReplaceChild, Scenario)
{
    if (!inChild())
        GTEST_SKIP() << "runs under xvfb-run only";
    static int argc = 1;
    static char name[] = "sfx-replace-test";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    for (const Library& lib : libraries()) {
        SCOPED_TRACE(lib.prefix);
        LoadedArchiver archiver(lib.file, lib.prefix);
        ASSERT_TRUE(archiver.loaded());
        TempFolder dir;
        prepare(dir, lib, archiver);
        {
            testsupport::QuestionAnswerer answer = answering(QStringLiteral("いいえ"));
            const auto run = archiver.run(lib.command(dir, false));
            EXPECT_EQ(run.result, ARCHIVER_ERROR_ALREADY_EXIST) << run.report;
            ASSERT_EQ(answer.seen().size(), 1);
            EXPECT_TRUE(answer.seen()[0].contains(QStringLiteral("置き換えますか")));
            EXPECT_TRUE(answer.seen()[0].contains(QString::fromStdString(dir / "save/p.run")));
            EXPECT_NE(run.report.find("既に存在するため作成しませんでした"), std::string::npos)
                << run.report;
        }
        EXPECT_EQ(readFile(dir / "save/p.run"), "the user's own file\n");
        expectOnlyTheRun(dir);
        {
            testsupport::QuestionAnswerer answer = answering(QStringLiteral("はい"));
            const auto run = archiver.run(lib.command(dir, false));
            EXPECT_EQ(run.result, 0) << run.report;
            EXPECT_EQ(answer.seen().size(), 1);
        }
        EXPECT_TRUE(isRun(dir / "save/p.run"));
        expectOnlyTheRun(dir);
        // No file of that name: nothing is asked.
        ::unlink((dir / "save/p.run").c_str());
        {
            testsupport::QuestionAnswerer answer = answering(QStringLiteral("いいえ"));
            const auto run = archiver.run(lib.command(dir, false));
            EXPECT_EQ(run.result, 0) << run.report;
            EXPECT_TRUE(answer.seen().isEmpty());
        }
        EXPECT_TRUE(isRun(dir / "save/p.run"));
    }
}
