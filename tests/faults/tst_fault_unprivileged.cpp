// What a user meets with read-only folders and files. Root ignores permissions, so when
// started as root this test runs itself again as the unprivileged user 65534 (setpriv), and
// every check below is made with a user's rights.
#include "QStringPrinting.h"
#include "RecordingShellUi.h"
#include "ShellTestFiles.h"

#include "base/IniFile.h"
#include "desktop/LinuxShell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

#include <sys/stat.h>
#include <unistd.h>

using namespace shelltest;
using platform::Shell;
using Overwrite = platform::ShellUi::Overwrite;

namespace
{

class ReadOnly : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(::geteuid(), 0u) << "must run as an unprivileged user";
        ASSERT_TRUE(m_root.isValid());
        auto ui = std::make_unique<RecordingShellUi>();
        ui_ = ui.get();
        shell_ = std::make_unique<platform::LinuxShell>(std::move(ui));
    }
    void TearDown() override
    {
        // Writable again, so that the temporary folder can go.
        for (const QString& folder : m_locked)
            ::chmod(QFile::encodeName(folder).constData(), 0755);
    }
    QString in(const QString& name) const { return m_root.path() + u'/' + name; }
    void lock(const QString& folder)
    {
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        m_locked.append(folder);
    }
    int run(Shell::Operation operation, const QStringList& from, const QString& to)
    {
        Shell::FileOperation op;
        op.operation = operation;
        op.from = pathList(from);
        op.to = to;
        return shell_->fileOperation(op);
    }

    QTemporaryDir m_root;
    QStringList m_locked;
    RecordingShellUi* ui_ = nullptr;
    std::unique_ptr<platform::LinuxShell> shell_;
};

TEST_F(ReadOnly, CopyIntoAReadOnlyFolderFailsWithAMessageAndWritesNothing)
{
    writeFile(in(QStringLiteral("src/a.txt")), "a");
    writeFile(in(QStringLiteral("src/tree/b.txt")), "b");
    writeFile(in(QStringLiteral("dst/old.txt")), "old");
    lock(in(QStringLiteral("dst")));
    for (Shell::Operation operation : {Shell::Copy, Shell::Move}) {
        ui_->errors.clear();
        EXPECT_EQ(run(operation, {in(QStringLiteral("src/a.txt")), in(QStringLiteral("src/tree"))},
                      in(QStringLiteral("dst"))),
                  Shell::kFailed);
        ASSERT_EQ(ui_->errors.size(), 1);
        EXPECT_TRUE(ui_->errors[0].contains(QStringLiteral("アクセス"))) << ui_->errors[0];
        EXPECT_EQ(snapshot(in(QStringLiteral("dst"))).keys(),
                  QStringList{QStringLiteral("old.txt")});
        EXPECT_EQ(readFile(in(QStringLiteral("src/a.txt"))), "a");
        EXPECT_EQ(readFile(in(QStringLiteral("src/tree/b.txt"))), "b");
    }
}

TEST_F(ReadOnly, MovingOutOfAReadOnlyFolderKeepsTheSource)
{
    writeFile(in(QStringLiteral("src/a.txt")), "a");
    QDir().mkpath(in(QStringLiteral("dst")));
    lock(in(QStringLiteral("src")));
    EXPECT_EQ(run(Shell::Move, {in(QStringLiteral("src/a.txt"))}, in(QStringLiteral("dst"))),
              Shell::kFailed);
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("移動できません: ") +
                                          in(QStringLiteral("src/a.txt"))))
        << ui_->errors[0];
    EXPECT_EQ(readFile(in(QStringLiteral("src/a.txt"))), "a");
    EXPECT_TRUE(snapshot(in(QStringLiteral("dst"))).isEmpty());
}

TEST_F(ReadOnly, DeletingInAReadOnlyFolderIsReported)
{
    writeFile(in(QStringLiteral("keep/a.txt")), "a");
    lock(in(QStringLiteral("keep")));
    ui_->answer(true);
    EXPECT_EQ(run(Shell::Delete, {in(QStringLiteral("keep/a.txt"))}, QString()), Shell::kFailed);
    ASSERT_EQ(ui_->errors.size(), 1);
    EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("削除できません: ") +
                                          in(QStringLiteral("keep/a.txt"))))
        << ui_->errors[0];
    EXPECT_EQ(readFile(in(QStringLiteral("keep/a.txt"))), "a");
}

TEST_F(ReadOnly, SettingsInAReadOnlyFolderAreNotSavedAndTheFileStays)
{
    const QString ini = in(QStringLiteral("program/exp.ini"));
    ASSERT_TRUE(QDir().mkpath(in(QStringLiteral("program"))));
    ASSERT_TRUE(settings::writeProfileString(ini, QStringLiteral("a"), QStringLiteral("b"),
                                             QStringLiteral("1")));
    const QByteArray before = readFile(ini);
    lock(in(QStringLiteral("program")));
    EXPECT_FALSE(settings::writeProfileString(ini, QStringLiteral("a"), QStringLiteral("b"),
                                              QStringLiteral("2")));
    EXPECT_EQ(readFile(ini), before);
    // Nothing beside it but the lock of the saves.
    EXPECT_EQ(QDir(in(QStringLiteral("program"))).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("exp.ini"), QStringLiteral("exp.ini.lock")}));
}

} // namespace

int main(int argc, char** argv)
{
    if (::geteuid() == 0) {
        // Root ignores permissions: run this very test as the unprivileged user instead.
        QCoreApplication app(argc, argv);
        const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
        std::vector<char*> args{const_cast<char*>("setpriv"), const_cast<char*>("--reuid=65534"),
                                const_cast<char*>("--regid=65534"),
                                const_cast<char*>("--clear-groups"),
                                const_cast<char*>(self.constData())};
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        ::setenv("HOME", "/tmp", 1);
        ::execvp("setpriv", args.data());
        std::perror("setpriv");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
