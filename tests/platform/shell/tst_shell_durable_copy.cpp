// Copies put their files on the disk in batches: no file takes its final name before the batch
// it belongs to is on the disk, a batch that cannot be put there names nothing, and the hidden
// parts a killed copy left behind are removed when the next copy into that folder starts, while
// parts of running processes and files of the user that merely look alike are kept.
#include "RecordingShellUi.h"
#include "ShellTestFiles.h"

#include "desktop/LinuxShell.h"
#include "platform/shell/DurableBatch.h"
#include "platform/shell/PartFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <ostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace shelltest;
using platform::Shell;
using platform::filecopy::DurableBatch;

std::ostream& operator<<(std::ostream& out, const QString& text)
{
    return out << text.toStdString();
}

namespace
{

QByteArray bytes(const QString& path)
{
    return QFile::encodeName(path);
}

// The number of a process that has ended (and been reaped).
pid_t endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

int run(platform::LinuxShell& shell, Shell::Operation operation, const QStringList& from,
        const QString& to)
{
    Shell::FileOperation op;
    op.operation = operation;
    op.from = pathList(from);
    op.to = to;
    return shell.fileOperation(op);
}

TEST(DurableBatch, NothingTakesItsNameBeforeTheWholeBatchIsSynced)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSet<QByteArray> synced;
    QList<QByteArray> order;
    int syncs = 0;
    DurableBatch batch({3, qint64(1) << 30}, [&](const QList<QByteArray>& written, QByteArray&) {
        ++syncs;
        for (const QByteArray& path : written)
            synced.insert(path);
        return 0;
    });
    for (int i = 0; i < 3; ++i) {
        const QString part = dir.path() + QStringLiteral("/.f%1.koramo-1-0").arg(i);
        writeFile(part, QByteArray::number(i));
        batch.addFile(bytes(part), 1, [&, part, i] {
            // Every file of the batch is on the disk before the first takes its name.
            EXPECT_EQ(synced.size(), 3);
            order.append(bytes(part));
            return QFile::rename(part, dir.path() + QStringLiteral("/f%1").arg(i));
        });
        EXPECT_EQ(batch.full(), i == 2);
    }
    batch.addStep([&] {
        order.append("step");
        return true;
    });
    EXPECT_EQ(syncs, 0);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/f0")));
    int error = -1;
    QByteArray failed;
    EXPECT_EQ(batch.flush(error, failed), DurableBatch::Outcome::Done);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(syncs, 1);
    ASSERT_EQ(order.size(), 4);
    EXPECT_EQ(order.last(), QByteArray("step"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(readFile(dir.path() + QStringLiteral("/f%1").arg(i)), QByteArray::number(i));
    EXPECT_TRUE(batch.empty());
}

TEST(DurableBatch, ABatchThatCannotReachTheDiskNamesNothingAndLeavesNoPart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DurableBatch batch({100, qint64(1) << 30},
                       [](const QList<QByteArray>& written, QByteArray& failed) {
                           failed = written.last();
                           return EIO;
                       });
    int named = 0;
    for (int i = 0; i < 5; ++i) {
        const QString part = dir.path() + QStringLiteral("/.g%1.koramo-1-0").arg(i);
        writeFile(part, "x");
        batch.addFile(bytes(part), 1, [&] { return ++named > 0; });
    }
    int error = 0;
    QByteArray failed;
    EXPECT_EQ(batch.flush(error, failed), DurableBatch::Outcome::SyncFailed);
    EXPECT_EQ(error, EIO);
    EXPECT_TRUE(failed.endsWith("/.g4.koramo-1-0"));
    EXPECT_EQ(named, 0);
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
}

TEST(DurableBatch, AFailedStepStopsTheBatchAndTheFilesAfterItAreRemoved)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DurableBatch batch;
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        parts << dir.path() + QStringLiteral("/.h%1.koramo-1-0").arg(i);
        writeFile(parts.last(), "x");
        const QString part = parts.last();
        batch.addFile(bytes(part), 1, [part, i] {
            if (i == 1) {
                QFile::remove(part); // the step that fails cleans up its own file
                return false;
            }
            return QFile::rename(part, part + QStringLiteral(".named"));
        });
    }
    int error = 0;
    QByteArray failed;
    EXPECT_EQ(batch.flush(error, failed), DurableBatch::Outcome::StepFailed);
    EXPECT_TRUE(QFileInfo::exists(parts[0] + QStringLiteral(".named")));
    for (int i = 1; i < 4; ++i) {
        EXPECT_FALSE(QFileInfo::exists(parts[i])) << parts[i];
        EXPECT_FALSE(QFileInfo::exists(parts[i] + QStringLiteral(".named"))) << parts[i];
    }
}

TEST(PartFiles, OnlyExactPartNamesHaveAWriter)
{
    using platform::partfiles::writerOf;
    EXPECT_EQ(writerOf(".report.txt.koramo-4242-0"), 4242);
    EXPECT_EQ(writerOf(".-x.koramo-99-12"), 99);
    EXPECT_EQ(writerOf(".a.koramo-1-0.koramo-77-3"), 77);
    EXPECT_EQ(writerOf(".\x83\x65\x83\x58\x83\x67.koramo-5000-1"), 5000); // CP932 bytes
    for (const char* name :
         {"report.txt.koramo-4242-0", ".koramo-4242-0", "..koramo-4242-0x", ".a.koramo-4242-0.txt",
          ".a.koramo-abc-0", ".a.koramo-4242-", ".a.koramo--0", ".a.koramo-4242", ".a.koramo-1-0",
          ".a.koramo-4242-0 ", ".a.koramo-+42-0", ".a.koramo-99999999999999999999-0",
          ".a.Koramo-42-0"})
        EXPECT_EQ(writerOf(name), 0) << name;
}

class Leftovers : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }
    QString at(const QString& name) const { return m_root.path() + u'/' + name; }
    QTemporaryDir m_root;
};

TEST_F(Leftovers, PartsOfEndedProcessesGoAndEverythingElseStays)
{
    const QString dead = QString::number(endedProcess());
    const QString mine = QString::number(::getpid());
    // A process that is still running (and not this one).
    const pid_t sleeper = ::fork();
    if (sleeper == 0) {
        ::pause();
        ::_exit(0);
    }
    const QString alive = QString::number(sleeper);
    const QStringList gone = {QStringLiteral(".big.bin.koramo-%1-0").arg(dead),
                              QStringLiteral(".-dash name.koramo-%1-7").arg(dead)};
    const QStringList kept = {QStringLiteral(".big.bin.koramo-%1-1").arg(alive),
                              QStringLiteral(".big.bin.koramo-%1-0").arg(mine),
                              QStringLiteral(".big.bin.koramo-%1-0.txt").arg(dead),
                              QStringLiteral("big.bin.koramo-%1-0").arg(dead),
                              QStringLiteral(".koramo-%1-0").arg(dead),
                              QStringLiteral(".big.bin.koramo-%1-x").arg(dead),
                              QStringLiteral("notes.txt")};
    for (const QString& name : gone + kept)
        writeFile(at(name), "data");
    // A folder and a link with a part's name are never touched, nor what the link leads to.
    QDir().mkdir(at(QStringLiteral(".folder.koramo-%1-0").arg(dead)));
    writeFile(at(QStringLiteral(".folder.koramo-%1-0/inside").arg(dead)), "in");
    ASSERT_EQ(::symlink("notes.txt",
                        bytes(at(QStringLiteral(".link.koramo-%1-0").arg(dead))).constData()),
              0);

    EXPECT_EQ(platform::partfiles::removeLeftovers(bytes(m_root.path())), 2);
    ::kill(sleeper, SIGKILL);
    ::waitpid(sleeper, nullptr, 0);
    for (const QString& name : gone)
        EXPECT_FALSE(QFileInfo::exists(at(name))) << name;
    for (const QString& name : kept)
        EXPECT_EQ(readFile(at(name)), QByteArray("data")) << name;
    EXPECT_EQ(readFile(at(QStringLiteral(".folder.koramo-%1-0/inside").arg(dead))),
              QByteArray("in"));
    EXPECT_TRUE(isLink(at(QStringLiteral(".link.koramo-%1-0").arg(dead))));
}

TEST_F(Leftovers, AnotherUsersPartIsKept)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root; CI runs this as root";
    const QString name = QStringLiteral(".theirs.koramo-%1-0").arg(endedProcess());
    writeFile(at(name), "theirs");
    ASSERT_EQ(::chown(bytes(at(name)).constData(), 65534, 65534), 0);
    EXPECT_EQ(platform::partfiles::removeLeftovers(bytes(m_root.path())), 0);
    EXPECT_EQ(readFile(at(name)), QByteArray("theirs"));
}

// A copy killed (SIGKILL) while small files of a tree wait for their batch: nothing under a final
// name is incomplete, and the next copy into the same folder removes what the killed one left and
// completes the tree.
TEST_F(Leftovers, AKilledCopyLeavesNoIncompleteNameAndTheNextCopyClearsItsParts)
{
    const QString tree = at(QStringLiteral("src/tree"));
    for (int i = 0; i < 40; ++i)
        writeFile(tree + QStringLiteral("/%1-small.txt").arg(i, 2, 10, QLatin1Char('0')),
                  pattern(100 + i * 37, i));
    writeFile(tree + QStringLiteral("/sub/zz-large.bin"), pattern(40 << 20, 99));
    const QString target = at(QStringLiteral("dst"));
    QDir().mkpath(target);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto ui = std::make_unique<RecordingShellUi>();
        RecordingShellUi* seen = ui.get();
        // Killed after twenty small files, which wait for their batch by then.
        seen->onStep = [seen, smalls = 0](int) mutable {
            if (seen->lastCurrent.endsWith(QStringLiteral("-small.txt")) && ++smalls == 20)
                ::raise(SIGKILL);
        };
        platform::LinuxShell shell(std::move(ui));
        run(shell, Shell::Copy, {tree}, target);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

    const auto source = snapshot(tree);
    auto copied = snapshot(target + QStringLiteral("/tree"));
    int parts = 0;
    for (auto it = copied.begin(); it != copied.end(); ++it) {
        if (QFileInfo(it.key()).fileName().contains(QStringLiteral(".koramo-"))) {
            ++parts;
            EXPECT_TRUE(QFileInfo(it.key()).fileName().startsWith(u'.')) << it.key();
        } else {
            EXPECT_EQ(it.value(), source.value(it.key())) << it.key();
        }
    }
    EXPECT_FALSE(copied.contains(QStringLiteral("sub/zz-large.bin")));
    EXPECT_GE(parts, 1);

    // Copying the tree again merges into the folders the killed copy made; its parts go.
    auto ui = std::make_unique<RecordingShellUi>();
    RecordingShellUi* seen = ui.get();
    for (int i = 0; i < 50; ++i)
        ui->answerOverwrite(platform::ShellUi::Overwrite::YesToAll);
    platform::LinuxShell shell(std::move(ui));
    EXPECT_EQ(run(shell, Shell::Copy, {tree}, target), 0) << seen->errors.join(u'\n');
    EXPECT_EQ(snapshot(target + QStringLiteral("/tree")), source);
}

TEST_F(Leftovers, ManyFilesAndTheirFoldersArriveWhole)
{
    // More files than one batch holds, in nested folders whose times must survive the files
    // taking their names inside them afterwards.
    const QString tree = at(QStringLiteral("src/many"));
    for (int i = 0; i < 4500; ++i)
        writeFile(tree + QStringLiteral("/d%1/f%2.txt").arg(i / 500).arg(i), QByteArray::number(i));
    for (int d = 0; d < 9; ++d) {
        const QByteArray folder = bytes(tree + QStringLiteral("/d%1").arg(d));
        const struct timespec times[2] = {{1000000000 + d, 0}, {1000000000 + d, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, folder.constData(), times, 0), 0);
    }
    QDir().mkpath(at(QStringLiteral("dst")));
    auto ui = std::make_unique<RecordingShellUi>();
    RecordingShellUi* seen = ui.get();
    platform::LinuxShell shell(std::move(ui));
    ASSERT_EQ(run(shell, Shell::Copy, {tree}, at(QStringLiteral("dst"))), 0)
        << seen->errors.join(u'\n');
    EXPECT_EQ(seen->unexpected, 0);
    EXPECT_EQ(snapshot(at(QStringLiteral("dst/many"))), snapshot(tree));
    for (int d = 0; d < 9; ++d) {
        struct stat st {
        };
        ASSERT_EQ(::stat(bytes(at(QStringLiteral("dst/many/d%1").arg(d))).constData(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, 1000000000 + d) << d;
    }
}

} // namespace
