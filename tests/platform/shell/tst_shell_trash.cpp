// Deleting to the freedesktop trash: the info file's keys, names that collide, the trash of
// another volume, and what happens when no trash can be used.
#include "QStringPrinting.h"
#include "RecordingShellUi.h"
#include "ShellTestFiles.h"

#include "desktop/LinuxShell.h"
#include "platform/shell/Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace shelltest;
using platform::Shell;
using Question = platform::ShellUi::Question;

namespace
{

QMap<QByteArray, QByteArray> infoKeys(const QString& path)
{
    QMap<QByteArray, QByteArray> keys;
    const QList<QByteArray> lines = readFile(path).split('\n');
    if (lines.value(0) != "[Trash Info]")
        return keys;
    for (const QByteArray& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            keys.insert(line.left(eq), line.mid(eq + 1));
    }
    return keys;
}

class ShellTrash : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.isValid());
        ASSERT_TRUE(m_data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        auto ui = std::make_unique<RecordingShellUi>();
        ui_ = ui.get();
        shell_ = std::make_unique<platform::LinuxShell>(std::move(ui));
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }

    int trash(const QStringList& paths, unsigned flags = Shell::AllowUndo)
    {
        Shell::FileOperation op;
        op.operation = Shell::Delete;
        op.from = pathList(paths);
        op.flags = flags;
        return shell_->fileOperation(op);
    }
    QString file(const QString& name) const { return m_files.path() + u'/' + name; }
    QString home(const QString& rest) const
    {
        return m_data.path() + QStringLiteral("/Trash/") + rest;
    }

    QTemporaryDir m_files;
    QTemporaryDir m_data;
    RecordingShellUi* ui_ = nullptr;
    std::unique_ptr<platform::LinuxShell> shell_;
};

TEST_F(ShellTrash, HomeTrashGetsTheItemAndAnInfoFileOthersCanRestoreFrom)
{
    // テスト file.txt: a Japanese name with a blank, percent-encoded in Path=.
    const QString name = QStringLiteral("テスト file.txt");
    writeFile(file(name), "contents");
    ui_->answer(true);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    EXPECT_EQ(trash({file(name)}), 0);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    ASSERT_EQ(ui_->asked.size(), 1);
    EXPECT_EQ(ui_->asked[0].question, Question::DeleteToTrash);
    // The question names the full path where it once named the file alone.
    EXPECT_EQ(ui_->asked[0].text,
              QStringLiteral("「") + file(name) + QStringLiteral("」をごみ箱に移動しますか？"));
    EXPECT_FALSE(QFile::exists(file(name)));
    EXPECT_EQ(readFile(home(QStringLiteral("files/") + name)), "contents");

    const auto keys = infoKeys(home(QStringLiteral("info/") + name + QStringLiteral(".trashinfo")));
    EXPECT_EQ(keys.value("Path"),
              QFile::encodeName(m_files.path()) + "/%E3%83%86%E3%82%B9%E3%83%88%20file.txt");
    const QDateTime deleted = QDateTime::fromString(QString::fromLatin1(keys.value("DeletionDate")),
                                                    QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    ASSERT_TRUE(deleted.isValid()) << keys.value("DeletionDate").toStdString();
    EXPECT_GE(deleted, before.addMSecs(-before.time().msec()));
    EXPECT_LE(deleted, after);
    EXPECT_EQ(QFileInfo(home(QString())).permissions() & QFileDevice::ReadOther,
              QFileDevice::Permissions());
}

TEST_F(ShellTrash, SameNamesGetNamesOfTheirOwn)
{
    for (int round = 0; round < 3; ++round) {
        writeFile(file(QStringLiteral("dup.txt")), QByteArray::number(round));
        EXPECT_EQ(
            trash({file(QStringLiteral("dup.txt"))}, Shell::AllowUndo | Shell::NoConfirmation), 0);
    }
    EXPECT_EQ(readFile(home(QStringLiteral("files/dup.txt"))), "0");
    EXPECT_EQ(readFile(home(QStringLiteral("files/dup.2.txt"))), "1");
    EXPECT_EQ(readFile(home(QStringLiteral("files/dup.3.txt"))), "2");
    const auto keys = infoKeys(home(QStringLiteral("info/dup.3.txt.trashinfo")));
    EXPECT_EQ(keys.value("Path"), QFile::encodeName(file(QStringLiteral("dup.txt"))));
    EXPECT_TRUE(ui_->asked.isEmpty());
}

TEST_F(ShellTrash, FoldersAndLinksGoWholeWithoutFollowingLinks)
{
    writeFile(file(QStringLiteral("keep/kept.txt")), "kept");
    writeFile(file(QStringLiteral("folder/inner.txt")), "inner");
    ASSERT_EQ(::symlink(QFile::encodeName(file(QStringLiteral("keep"))).constData(),
                        QFile::encodeName(file(QStringLiteral("folder/link"))).constData()),
              0);
    EXPECT_EQ(trash({file(QStringLiteral("folder"))}, Shell::AllowUndo | Shell::NoConfirmation), 0);
    EXPECT_EQ(readFile(home(QStringLiteral("files/folder/inner.txt"))), "inner");
    EXPECT_TRUE(isLink(home(QStringLiteral("files/folder/link"))));
    EXPECT_EQ(readFile(file(QStringLiteral("keep/kept.txt"))), "kept");
}

TEST_F(ShellTrash, AnotherVolumeUsesItsOwnTopDirectoryTrash)
{
    TmpfsMount tmpfs(8 << 20);
    if (!tmpfs.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (" << tmpfs.why() << "), so no second volume";
    const QString item = tmpfs.path() + QStringLiteral("/sub/report.txt");
    writeFile(item, "on the volume");
    EXPECT_EQ(trash({item}, Shell::AllowUndo | Shell::NoConfirmation), 0);
    const QString trash = tmpfs.path() + QStringLiteral("/.Trash-") + QString::number(::getuid());
    EXPECT_EQ(readFile(trash + QStringLiteral("/files/report.txt")), "on the volume");
    // On a volume's own trash the path is relative to the volume's top folder.
    EXPECT_EQ(infoKeys(trash + QStringLiteral("/info/report.txt.trashinfo")).value("Path"),
              "sub/report.txt");
    EXPECT_FALSE(QDir(home(QString())).exists(QStringLiteral("files/report.txt")));
}

TEST_F(ShellTrash, ASharedStickyTrashIsUsedPerUser)
{
    TmpfsMount tmpfs(8 << 20);
    if (!tmpfs.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (" << tmpfs.why() << "), so no second volume";
    const QByteArray shared = QFile::encodeName(tmpfs.path() + QStringLiteral("/.Trash"));
    ASSERT_EQ(::mkdir(shared.constData(), 01777), 0);
    ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
    writeFile(tmpfs.path() + QStringLiteral("/a.txt"), "a");
    EXPECT_EQ(
        trash({tmpfs.path() + QStringLiteral("/a.txt")}, Shell::AllowUndo | Shell::NoConfirmation),
        0);
    const QString mine = tmpfs.path() + QStringLiteral("/.Trash/") + QString::number(::getuid());
    EXPECT_EQ(readFile(mine + QStringLiteral("/files/a.txt")), "a");
    EXPECT_EQ(infoKeys(mine + QStringLiteral("/info/a.txt.trashinfo")).value("Path"), "a.txt");
}

TEST_F(ShellTrash, WithoutATrashTheUserDecidesEvenWhenQuestionsAreOff)
{
    TmpfsMount tmpfs(8 << 20);
    if (!tmpfs.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (" << tmpfs.why() << "), so no second volume";
    // A read-only volume: no trash folder can be made on it.
    const QString item = tmpfs.path() + QStringLiteral("/locked.txt");
    writeFile(item, "locked");
    ASSERT_EQ(::mount(nullptr, QFile::encodeName(tmpfs.path()).constData(), nullptr,
                      MS_REMOUNT | MS_RDONLY, nullptr),
              0);
    ui_->answer(false);
    EXPECT_EQ(trash({item}, Shell::AllowUndo | Shell::NoConfirmation), 0);
    ASSERT_EQ(ui_->asked.size(), 1);
    EXPECT_EQ(ui_->asked[0].question, Question::DeleteWithoutTrash);
    EXPECT_TRUE(ui_->asked[0].text.contains(QStringLiteral("ごみ箱に移動できません")));
    EXPECT_TRUE(ui_->asked[0].text.contains(QStringLiteral("完全に削除しますか")));
    EXPECT_EQ(readFile(item), "locked");
}

TEST_F(ShellTrash, NoTrashAndYesDeletesForGood)
{
    // The same question through the function itself: an item inside the trash has no trash.
    writeFile(home(QStringLiteral("files/old.txt")), "old");
    const platform::trash::Outcome outcome =
        platform::trash::moveToTrash(home(QStringLiteral("files/old.txt")));
    EXPECT_EQ(outcome.result, platform::trash::Result::NoTrash);
    ui_->answer(true);
    EXPECT_EQ(
        trash({home(QStringLiteral("files/old.txt"))}, Shell::AllowUndo | Shell::NoConfirmation),
        0);
    EXPECT_EQ(ui_->asked.size(), 1);
    EXPECT_FALSE(QFile::exists(home(QStringLiteral("files/old.txt"))));
}

} // namespace
