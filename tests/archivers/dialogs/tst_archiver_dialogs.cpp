// Overwrite questions under a real display: the test runs itself again inside xvfb-run with
// the xcb platform and answers the questions by pressing their buttons.

#include "ArchiverTestSupport.h"
#include "QuestionAnswerer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

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
    EXPECT_EQ(runSelfUnderDisplay("KORAMO_DIALOG_CHILD", "ArchiverDialogsChild.*"), 0);
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

namespace
{

// What a cancelled extraction into `out` left: no part file, every file whole and one of
// the members before the first that was not finished; the members extracted are a head of
// the archive's order. Returns how many there are.
size_t checkCancelledOutput(const std::string& source, const std::string& out,
                            const std::vector<std::string>& order, const std::string& keptMine)
{
    std::vector<std::string> left = filesBelow(out);
    size_t members = 0;
    size_t last = 0;
    for (const std::string& file : left) {
        // No member's name starts with a dot: such a file is a part file left behind.
        const std::string base = file.substr(file.rfind('/') + 1);
        EXPECT_NE(base.front(), '.') << "part file left: " << file;
        EXPECT_EQ(file.find(".koramo-"), std::string::npos) << "part file left: " << file;
        if (file == keptMine) {
            EXPECT_EQ(readFile(out + "/" + file), "mine\n");
            continue;
        }
        const auto at = std::find(order.begin(), order.end(), file);
        EXPECT_NE(at, order.end()) << file;
        if (at == order.end())
            continue;
        EXPECT_EQ(readFile(out + "/" + file), readFile(source + "/" + file))
            << "half-written member: " << file;
        ++members;
        last = std::max(last, size_t(at - order.begin()) + 1);
    }
    EXPECT_EQ(members, last) << "a member was extracted although one before it was not";
    return members;
}

} // namespace

TEST(ArchiverDialogsChild, CancelWhileMembersAreDecodedSideBySide)
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
    LoadedArchiver cab("libcab32.so", "Cab");
    ASSERT_TRUE(unzip.loaded() && unlha.loaded() && cab.loaded());
    TempFolder dir;
    const std::vector<std::string> order = manyMembers(dir);
    std::string names;
    for (const std::string& path : order)
        names += " " + path;
    ASSERT_EQ(shell("cd " + quote(dir / "many") + " && gcab -c -z ../many.cab" + names), 0);
    const std::string zip = dir / "many.zip", lzh = dir / "many.lzh", gcab = dir / "many.cab";
    struct Kind {
        const char* name;
        const LoadedArchiver& lib;
        std::function<std::string(const std::string& out, bool progress)> line;
    };
    const Kind kinds[] = {
        {"ZIP", unzip,
         [&](const std::string& out, bool progress) {
             return std::string("-x ") + (progress ? "" : "--i ") + "\"" + zip + "\" \"" + out +
                    "/\"";
         }},
        {"LZH", unlha,
         [&](const std::string& out, bool progress) {
             return std::string("e -d1 ") + (progress ? "" : "-n ") + "\"" + lzh + "\" \"" + out +
                    "/\"";
         }},
        {"CAB", cab,
         [&](const std::string& out, bool progress) {
             return std::string("-x -r ") + (progress ? "" : "-i ") + "\"" + gcab + "\" \"" + out +
                    "/\"";
         }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        // "Cancel" to the question about the 61st member, while the workers still decode the
        // members before it: those 60 are there, whole, and nothing after it.
        const std::string asked = dir / (std::string("asked-") + kind.name);
        writeFile(asked + "/f0/m60.txt", "mine\n");
        {
            testsupport::QuestionAnswerer answer(QStringLiteral("キャンセル"));
            const auto run = kind.lib.run(kind.line(asked, false));
            EXPECT_EQ(run.result, ARCHIVER_ERROR_USER_CANCEL) << run.report;
            EXPECT_EQ(answer.seen().size(), 1);
            EXPECT_EQ(run.report.find("m61.txt"), std::string::npos) << run.report;
        }
        EXPECT_EQ(checkCancelledOutput(dir / "many", asked, order, "f0/m60.txt"), 60u);
    }
    unsetenv("KORAMO_EXTRACT_THREADS");
}

TEST(ArchiverDialogsChild, CancelButtonStopsTheDecodesUnderWay)
{
    if (!inChild())
        GTEST_SKIP() << "runs under xvfb-run only";
    static int argc = 1;
    static char name[] = "dialog-test";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // Two workers: when the first member is named, six are still to be decoded, so the press
    // comes while work is left even on a fast machine (with four, the last round could end first).
    setenv("KORAMO_EXTRACT_THREADS", "2", 1);
    LoadedArchiver unzip("libunzip32.so", "UnZip");
    LoadedArchiver unlha("libunlha32.so", "Unlha");
    LoadedArchiver cab("libcab32.so", "Cab");
    LoadedArchiver unarc("libunarc32.so", "UnArc");
    ASSERT_TRUE(unzip.loaded() && unlha.loaded() && cab.loaded() && unarc.loaded());
    TempFolder dir;
    // Eight members of 6 MB of words, namesakes in two folders: each keeps a decoder busy for
    // a while, so the cancel comes while several of them are under way.
    static const char* const words[] = {"alpha", "bravo", "charlie", "delta",  "echo", "foxtrot",
                                        "golf",  "hotel", "india",   "juliet", "kilo", "lima"};
    std::vector<std::string> order;
    std::string names;
    uint32_t seed = 12345;
    for (int i = 0; i < 8; ++i) {
        const std::string path = std::string(i % 2 ? "b" : "a") + "/same" + std::to_string(i / 2) +
                                 "/m" + std::to_string(i) + ".txt";
        std::string data;
        data.reserve(6u << 20);
        while (data.size() < (6u << 20)) {
            seed = seed * 1103515245u + 12345u;
            data += words[(seed >> 16) % 12];
            data += (seed & 0x700) ? ' ' : '\n';
        }
        writeFile(dir / ("big/" + path), data);
        order.push_back(path);
        names += " " + path;
    }
    const std::string zip = dir / "big.zip", lzh = dir / "big.lzh", gcab = dir / "big.cab";
    ASSERT_EQ(shell("cd " + quote(dir / "big") + " && zip -q ../big.zip" + names), 0);
    ASSERT_EQ(shell("cd " + quote(dir / "big") + " && jlha a2o5q ../big.lzh" + names), 0);
    ASSERT_EQ(shell("cd " + quote(dir / "big") + " && gcab -c -z ../big.cab" + names), 0);
    // One solid stream, decoded ahead of the writing on a thread of its own.
    const std::string sevenZip = dir / "big.7z";
    ASSERT_EQ(shell("cd " + quote(dir / "big") + " && 7z a -bd -bso0 -mx=1 ../big.7z" + names), 0);
    const std::pair<const LoadedArchiver*, std::string> kinds[] = {
        {&unzip, "-x \"" + zip + "\" \""},
        {&unlha, "e -d1 \"" + lzh + "\" \""},
        {&cab, "-x -r \"" + gcab + "\" \""},
        {&unarc, "-x \"" + sevenZip + "\" \""},
    };
    int turn = 0;
    for (const auto& [lib, start] : kinds) {
        SCOPED_TRACE(start);
        const std::string out = dir / ("out" + std::to_string(++turn));
        ASSERT_EQ(shell("rm -rf " + quote(out) + " && mkdir -p " + quote(out)), 0);
        // Pressed as soon as the window names a member. The LZH library names a member at its
        // turn, once it is decoded, while the members after it are still being decoded (the
        // case of the cancel that stops the workers); ZIP and CAB name it as it starts. On a
        // busy machine the decodes may all be done before the first name shows, so the button
        // is also pressed once the window has been there for 300 ms.
        QTimer presser;
        QElapsedTimer windowSeen;
        QObject::connect(&presser, &QTimer::timeout, [&windowSeen] {
            static const QRegularExpression member(QStringLiteral("m(\\d+)\\.txt"));
            for (QWidget* w : QApplication::allWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(w);
                if (!progress || progress->objectName() != QLatin1String("archiverProgress"))
                    continue;
                if (!windowSeen.isValid())
                    windowSeen.start();
                const QRegularExpressionMatch named = member.match(progress->labelText());
                if (named.hasMatch() || windowSeen.elapsed() >= 300) {
                    if (auto* button = progress->findChild<QPushButton*>())
                        button->click();
                }
            }
        });
        presser.start(5);
        // As in the program: the library works on a thread of its own, the window answers.
        std::atomic<bool> done{false};
        LoadedArchiver::Run run;
        std::thread worker([&, line = start + out + "/\""] {
            run = lib->run(line);
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        worker.join();
        presser.stop();
        EXPECT_EQ(run.result, ARCHIVER_ERROR_USER_CANCEL) << run.report.substr(0, 2000);
        EXPECT_LT(checkCancelledOutput(dir / "big", out, order, std::string()), order.size());
    }
    unsetenv("KORAMO_EXTRACT_THREADS");
}
