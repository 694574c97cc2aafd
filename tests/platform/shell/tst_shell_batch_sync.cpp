// Many small files put on the disk together: when a copy returns, every file it named is on its
// disk (counted by the file system of a small ext4 image), and a failure in the last of 300
// files or a disk that fills up in the middle of a batch is reported by name, with the files
// before it whole and no hidden part left; a moved file's source goes only once its copy's name
// is on the disk.
#include "QStringPrinting.h"
#include "ShellFixture.h"

#include "base/NativePath.h"
#include "desktop/LinuxShell.h"
#include "platform/shell/DurableBatch.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

using namespace shelltest;
using platform::Shell;
using platform::filecopy::DurableBatch;

namespace
{

QByteArray bytes(const QString& path)
{
    return QFile::encodeName(path);
}

// Writes `content` under the raw name `name` (any bytes but '/' and NUL) in `folder`.
bool writeRaw(const QString& folder, const QByteArray& name, const QByteArray& content)
{
    QDir().mkpath(folder);
    const QByteArray path = bytes(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool whole = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && whole;
}

QByteArray readRaw(const QString& folder, const QByteArray& name)
{
    QFile file;
    const QByteArray path = bytes(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "<missing>";
    return file.readAll();
}

// Entries of `folder` other than "." and "..", by their bytes (QDir would fold the CP932
// names that do not decode into one).
int entriesIn(const QString& folder)
{
    DIR* dir = ::opendir(bytes(folder).constData());
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0;
    ::closedir(dir);
    return count;
}

// Removes `root` with every name in it, whatever its bytes.
void removeRaw(const QString& root)
{
    ::nftw(
        bytes(root).constData(),
        [](const char* path, const struct stat*, int, FTW*) {
            ::remove(path);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

// Names a copy must carry through unchanged: CP932 bytes, 200 bytes, a leading "-", blanks,
// quotes.
QByteArray hostileName(int i)
{
    switch (i % 6) {
    case 0:
        return "\x83\x65\x83\x58\x83\x67" + QByteArray::number(i) + ".txt";
    case 1:
        return QByteArray(196 - QByteArray::number(i).size(), 'n') + QByteArray::number(i) + ".txt";
    case 2:
        return "-" + QByteArray::number(i);
    case 3:
        return " blank " + QByteArray::number(i) + " .txt";
    case 4:
        return "it's \"" + QByteArray::number(i) + "\".txt";
    default:
        return "f" + QByteArray::number(i) + ".bin";
    }
}

// Hidden parts anywhere under `root`.
QStringList partsUnder(const QString& root)
{
    QStringList parts;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).fileName().contains(QStringLiteral(".koramo-")))
            parts << path;
    }
    return parts;
}

// The names of `folder` in the order readdir gives them, which is the order a copy walks them.
QList<QByteArray> walkOrder(const QString& folder)
{
    QList<QByteArray> names;
    DIR* dir = ::opendir(bytes(folder).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
            names << QByteArray(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

QByteArray hostileContent(const QByteArray& folder, int i)
{
    return folder + pattern(100 + (i % 97) * 13, i);
}

// Folders "a", "b" and "c" of small files under `root`, as many as `sizes` says for the folder
// that comes first, second and third in the walk, each file named by hostileName() so that the
// folders hold namesakes, with bytes that tell the folder; returns the files by folder in walk
// order (the folders too in walk order).
QList<QPair<QByteArray, QList<QByteArray>>> hostileTree(const QString& root,
                                                        const QList<int>& sizes)
{
    QDir().mkpath(root);
    for (const char* folder : {"a", "b", "c"})
        QDir(root).mkdir(QLatin1String(folder));
    const QList<QByteArray> folders = walkOrder(root);
    for (qsizetype f = 0; f < folders.size(); ++f) {
        for (int i = 0; i < sizes.value(f); ++i) {
            if (!writeRaw(root + u'/' + QString::fromUtf8(folders[f]), hostileName(i),
                          hostileContent(folders[f], i)))
                return {};
        }
    }
    QList<QPair<QByteArray, QList<QByteArray>>> order;
    for (const QByteArray& folder : folders)
        order.append({folder, walkOrder(root + u'/' + QString::fromUtf8(folder))});
    return order;
}

// A path as the shell's messages show it.
QString shownPath(const QByteArray& path)
{
    return platform::displayPath(platform::fromNativePath(path));
}

QByteArray hostileContent(const QByteArray& folder, const QByteArray& name)
{
    for (int i = 0;; ++i) {
        if (hostileName(i) == name)
            return hostileContent(folder, i);
    }
}

// Every file of `order` the copy in `target` holds, whole, up to the one at (folderIndex,
// fileIndex) and none from there on; returns how many were there.
int checkCopiedUpTo(const QString& target, const QList<QPair<QByteArray, QList<QByteArray>>>& order,
                    int folderIndex, int fileIndex)
{
    int there = 0;
    for (int f = 0; f < order.size(); ++f) {
        const QString folder = target + u'/' + QString::fromUtf8(order[f].first);
        for (int i = 0; i < order[f].second.size(); ++i) {
            const QByteArray& name = order[f].second[i];
            const bool before = f < folderIndex || (f == folderIndex && i < fileIndex);
            const QByteArray copied = readRaw(folder, name);
            if (before) {
                EXPECT_EQ(copied, hostileContent(order[f].first, name))
                    << order[f].first.toStdString() << '/' << name.toStdString();
                ++there;
            } else {
                EXPECT_EQ(copied, "<missing>")
                    << order[f].first.toStdString() << '/' << name.toStdString();
            }
        }
    }
    return there;
}

using BatchSync = ShellFixture;
using CopyAhead = ShellFixture;

#define NEED_IMAGE(image)                                                                          \
    do {                                                                                           \
        if (!(image).mounted())                                                                    \
            GTEST_SKIP() << "mounting an ext4 image needs root and mkfs.ext4 (" << (image).why()   \
                         << "); CI runs this as root";                                             \
    } while (false)

TEST_F(BatchSync, EveryFileIsOnItsDiskWhenTheCopyReturns)
{
    Ext4Image image(64 << 20);
    NEED_IMAGE(image);
    qint64 total = 0;
    for (int i = 0; i < 300; ++i) {
        const QByteArray content = pattern(12 << 10, i);
        ASSERT_TRUE(
            writeRaw(src(QStringLiteral("tree/d%1").arg(i / 100)), hostileName(i), content));
        total += content.size();
    }
    const qint64 writtenBefore = image.writtenKiB();
    ASSERT_GE(writtenBefore, 0) << "no write counter for the image's file system";

    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, image.path()), 0)
        << ui_->errors.join(u'\n');
    for (int i = 0; i < 300; ++i) {
        const QString folder = image.path() + QStringLiteral("/tree/d%1").arg(i / 100);
        EXPECT_EQ(readRaw(folder, hostileName(i)), pattern(12 << 10, i))
            << hostileName(i).toStdString();
    }
    for (int d = 0; d < 3; ++d)
        EXPECT_EQ(entriesIn(image.path() + QStringLiteral("/tree/d%1").arg(d)), 100) << d;
    removeRaw(src());
    EXPECT_TRUE(partsUnder(image.path()).isEmpty());
    // Without a wait for the disk the bytes would still be in memory, written some 30 seconds
    // later.
    EXPECT_GE(image.writtenKiB() - writtenBefore, total / 1024);
}

// The last of 300 sources cannot be copied (a FIFO; a file removed while the others are copied):
// the 299 before it take their names, whole and on the disk, and nothing is left of the last.
TEST_F(BatchSync, AFailureInTheLastOf300FilesLeavesThe299WholeAndNoPart)
{
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "removed");
        Ext4Image image(32 << 20);
        NEED_IMAGE(image);
        QDir(src()).removeRecursively();
        QStringList sources;
        qint64 total = 0;
        for (int i = 0; i < 299; ++i) {
            const QByteArray name = "-" + QByteArray::number(i) + " x.txt";
            ASSERT_TRUE(writeRaw(src(), name, pattern(8 << 10, i)));
            sources << src(QString::fromUtf8(name));
            total += 8 << 10;
        }
        const QString last = src(QStringLiteral("zz last.bin"));
        if (fifo)
            ASSERT_EQ(::mkfifo(bytes(last).constData(), 0600), 0);
        else
            writeFile(last, pattern(8 << 10, 299));
        sources << last;
        ui_->errors.clear();
        ui_->onStep = [&](int) {
            if (!fifo && ui_->lastCurrent.contains(QStringLiteral("-298 x.txt")))
                QFile::remove(last);
        };
        const qint64 writtenBefore = image.writtenKiB();

        EXPECT_EQ(run(Shell::Copy, sources, image.path()), Shell::kFailed);
        ui_->onStep = nullptr;
        ASSERT_EQ(ui_->errors.size(), 1);
        EXPECT_TRUE(ui_->errors[0].startsWith(QStringLiteral("コピーできません: ") + last))
            << ui_->errors[0];
        const auto copied = snapshot(image.path());
        int whole = 0;
        for (int i = 0; i < 299; ++i) {
            const QString name = QStringLiteral("-%1 x.txt").arg(i);
            EXPECT_EQ(copied.value(name), "F:" + pattern(8 << 10, i)) << name;
            whole += copied.value(name) == "F:" + pattern(8 << 10, i);
        }
        EXPECT_EQ(whole, 299);
        EXPECT_FALSE(copied.contains(QStringLiteral("zz last.bin")));
        EXPECT_TRUE(partsUnder(image.path()).isEmpty()) << partsUnder(image.path()).join(u'\n');
        EXPECT_GE(image.writtenKiB() - writtenBefore, total / 1024);
    }
}

// The disk fills up in the middle of a batch: the file that did not fit is named, the ones
// before it are whole, none after it is begun, and no hidden part is left.
TEST_F(BatchSync, AFullDiskInTheMiddleOfABatchIsNamedAndLeavesNoPart)
{
    Ext4Image image(8 << 20);
    NEED_IMAGE(image);
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(writeRaw(src(),
                             QStringLiteral("f%1.bin").arg(i, 3, 10, QLatin1Char('0')).toUtf8(),
                             pattern(40 << 10, i)));
    QStringList sources;
    for (int i = 0; i < 300; ++i)
        sources << src(QStringLiteral("f%1.bin").arg(i, 3, 10, QLatin1Char('0')));

    EXPECT_EQ(run(Shell::Copy, sources, image.path()), Shell::kFailed);
    ASSERT_EQ(ui_->errors.size(), 1);
    const auto copied = snapshot(image.path());
    int first = -1; // the first file that is not there
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("f%1.bin").arg(i, 3, 10, QLatin1Char('0'));
        if (!copied.contains(name)) {
            if (first < 0)
                first = i;
            continue;
        }
        EXPECT_LT(first, 0) << name << " was copied after a file that did not fit";
        EXPECT_EQ(copied.value(name), "F:" + pattern(40 << 10, i)) << name;
    }
    ASSERT_GT(first, 0) << "the disk took every file or none";
    EXPECT_TRUE(ui_->errors[0].startsWith(
        QStringLiteral("コピーできません: ") +
        src(QStringLiteral("f%1.bin").arg(first, 3, 10, QLatin1Char('0')))))
        << ui_->errors[0];
    EXPECT_TRUE(ui_->errors[0].contains(QStringLiteral("空き"))) << ui_->errors[0];
    EXPECT_TRUE(partsUnder(image.path()).isEmpty()) << partsUnder(image.path()).join(u'\n');
}

// A part that is gone when its batch is put on the disk (removed by someone else) is named, and
// no file of the batch takes its name.
TEST(DurableBatchSync, APartGoneBeforeTheSyncIsNamedAndNothingTakesItsName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DurableBatch batch;
    int named = 0;
    QStringList parts;
    for (int i = 0; i < 300; ++i) {
        parts << dir.path() + QStringLiteral("/.p%1.koramo-1-0").arg(i);
        writeFile(parts.last(), pattern(100, i));
        batch.addFile(bytes(parts.last()), 100, [&named] { return ++named > 0; });
    }
    ASSERT_TRUE(QFile::remove(parts.last()));
    int error = 0;
    QByteArray failed;
    EXPECT_EQ(batch.flush(error, failed), DurableBatch::Outcome::SyncFailed);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(failed, bytes(parts.last()));
    EXPECT_EQ(named, 0);
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
}

} // namespace

// A moved file's source goes only once the folder that holds the copy's new name is on the disk
// too; if that folder cannot be put there, the names stay taken and every source stays.
TEST(DurableBatchSync, MovedSourcesGoOnlyAfterTheNamesAreOnTheDisk)
{
    for (const bool folderFails : {false, true}) {
        SCOPED_TRACE(folderFails ? "folder sync fails" : "all synced");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        QStringList events;
        DurableBatch batch({100, qint64(1) << 30}, [&](const QList<QByteArray>& paths,
                                                       QByteArray& failed) {
            for (const QByteArray& path : paths)
                events << QStringLiteral("sync ") + QFileInfo(QFile::decodeName(path)).fileName();
            if (folderFails && paths.first() == bytes(dir.path())) {
                failed = paths.first();
                return EIO;
            }
            return 0;
        });
        for (int i = 0; i < 3; ++i) {
            const QString part = dir.path() + QStringLiteral("/.m%1.koramo-1-0").arg(i);
            writeFile(part, "x");
            batch.addFile(
                bytes(part), 1,
                [&, part, i] {
                    events << QStringLiteral("name %1").arg(i);
                    return QFile::rename(part, dir.path() + QStringLiteral("/m%1").arg(i));
                },
                [&, i] {
                    events << QStringLiteral("remove source %1").arg(i);
                    return true;
                });
        }
        int error = 0;
        QByteArray failed;
        const DurableBatch::Outcome outcome = batch.flush(error, failed);
        QStringList expected = {QStringLiteral("sync .m0.koramo-1-0"),
                                QStringLiteral("sync .m1.koramo-1-0"),
                                QStringLiteral("sync .m2.koramo-1-0"),
                                QStringLiteral("name 0"),
                                QStringLiteral("name 1"),
                                QStringLiteral("name 2"),
                                QStringLiteral("sync ") + QFileInfo(dir.path()).fileName()};
        if (folderFails) {
            EXPECT_EQ(outcome, DurableBatch::Outcome::SyncFailed);
            EXPECT_EQ(error, EIO);
            EXPECT_EQ(failed, bytes(dir.path()));
        } else {
            EXPECT_EQ(outcome, DurableBatch::Outcome::Done);
            expected << QStringLiteral("remove source 0") << QStringLiteral("remove source 1")
                     << QStringLiteral("remove source 2");
        }
        EXPECT_EQ(events, expected);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(readFile(dir.path() + QStringLiteral("/m%1").arg(i)), "x") << i;
    }
}

namespace
{

// The small files of a tree are copied ahead of the walk; one of them is swapped for a FIFO
// after its folder was read and before its copy began (the last file of the tree, or one in
// the middle of the last folder with copies of the files after it under way): that file is the
// one failure told, by its path, every file before it in the walk's order is whole under its
// name, and nothing of the files after it is left, neither names nor hidden parts.
TEST_F(CopyAhead, AFileThatTurnsIntoAFifoEndsTheCopyThereWithNothingAfterIt)
{
    for (const bool last : {true, false}) {
        SCOPED_TRACE(last ? "the last file" : "a file in the middle of the last folder");
        removeRaw(src());
        const QString target =
            m_root.path() + (last ? QStringLiteral("/dst-last") : QStringLiteral("/dst-mid"));
        QDir().mkpath(target);
        // The last folder holds more files than may be copied ahead of the walk (about a
        // batch).
        const auto order = hostileTree(src(QStringLiteral("tree")), {30, 30, 4400});
        ASSERT_EQ(order.size(), 3);
        const int lastFolder = 2;
        const int failing = last ? 4399 : 4300;
        const QByteArray folderName = order[lastFolder].first;
        const QByteArray swapped = bytes(src(QStringLiteral("tree/"))) + folderName + '/' +
                                   order[lastFolder].second[failing];
        bool swappedYet = false;
        ui_->errors.clear();
        // The first file of the last folder to come back: that folder was read by then, and
        // the file to swap lies beyond the copies handed on so far.
        ui_->onStep = [&](int) {
            if (!swappedYet && ui_->lastCurrent.contains(QStringLiteral("/tree/") +
                                                         QString::fromUtf8(folderName) + u'/')) {
                swappedYet = true;
                ASSERT_EQ(::unlink(swapped.constData()), 0);
                ASSERT_EQ(::mkfifo(swapped.constData(), 0600), 0);
            }
        };

        EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, target), Shell::kFailed);
        ui_->onStep = nullptr;
        ASSERT_TRUE(swappedYet);
        ASSERT_EQ(ui_->errors.size(), 1) << ui_->errors.join(u'\n');
        EXPECT_TRUE(
            ui_->errors[0].startsWith(QStringLiteral("コピーできません: ") + shownPath(swapped)))
            << ui_->errors[0];
        EXPECT_TRUE(ui_->errors[0].contains(QStringLiteral("通常のファイルではありません")))
            << ui_->errors[0];
        EXPECT_EQ(checkCopiedUpTo(target + QStringLiteral("/tree"), order, lastFolder, failing),
                  30 * 2 + failing);
        EXPECT_TRUE(partsUnder(target).isEmpty()) << partsUnder(target).join(u'\n');
        EXPECT_EQ(entriesIn(target + QStringLiteral("/tree/") + QString::fromUtf8(folderName)),
                  failing);
        removeRaw(target);
    }
    removeRaw(src());
}

// A cancel while copies run ahead: every name there is a whole file, nothing else is left (no
// hidden part, no half file), and the copy did stop part of the way.
TEST_F(CopyAhead, ACancelWhileCopiesRunAheadLeavesOnlyWholeNamedFiles)
{
    const auto order = hostileTree(src(QStringLiteral("tree")), {200, 200, 200});
    ASSERT_EQ(order.size(), 3);
    const QString target = m_root.path() + QStringLiteral("/dst");
    QDir().mkpath(target);
    ui_->cancelAtStep(300);

    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, target), Shell::kCancelled);
    EXPECT_TRUE(partsUnder(target).isEmpty()) << partsUnder(target).join(u'\n');
    int named = 0;
    for (const auto& [folder, names] : order) {
        const QString copied = target + QStringLiteral("/tree/") + QString::fromUtf8(folder);
        for (const QByteArray& name : names) {
            const QByteArray content = readRaw(copied, name);
            if (content == "<missing>")
                continue;
            ++named;
            EXPECT_EQ(content, hostileContent(folder, name)) << name.toStdString();
        }
        const int entries = entriesIn(copied);
        if (entries >= 0) {
            // Nothing in the folder but the named files.
            int here = 0;
            for (const QByteArray& name : names)
                here += readRaw(copied, name) != "<missing>";
            EXPECT_EQ(entries, here) << folder.toStdString();
        }
    }
    EXPECT_GT(named, 0);
    EXPECT_LT(named, 600);
    removeRaw(src());
    removeRaw(target);
}

// Files already in the target are asked about one by one in the walk's order while the copies
// of the others run ahead, and each answer holds; a file that fails before a later collision
// ends the copy before that question is asked.
TEST_F(CopyAhead, QuestionsComeInTheWalksOrderAndNoneAfterAFailure)
{
    using Overwrite = platform::ShellUi::Overwrite;
    const auto order = hostileTree(src(QStringLiteral("tree")), {120, 120, 4400});
    // Every 25th file is there already in the small folders, every 500th in the large one.
    const auto collides = [](qsizetype i, qsizetype of) { return i % (of > 1000 ? 500 : 25) == 0; };
    ASSERT_EQ(order.size(), 3);
    const QString target = m_root.path() + QStringLiteral("/dst");
    // Some files of every folder are there already (namesakes in each folder), so the
    // folders are too: first "tree" is asked about, then each folder before its files.
    struct Question {
        QByteArray folder; // where the item is
        QByteArray name;
        bool yes;
    };
    QList<Question> questions = {{bytes(target), "tree", true}};
    for (const auto& [folder, names] : order) {
        const QString copied = target + QStringLiteral("/tree/") + QString::fromUtf8(folder);
        questions.append({bytes(target + QStringLiteral("/tree")), folder, true});
        for (int i = 0; i < names.size(); ++i) {
            if (!collides(i, names.size()))
                continue;
            ASSERT_TRUE(writeRaw(copied, names[i], "old " + names[i]));
            questions.append({bytes(copied), names[i], questions.size() % 2 == 0});
        }
    }
    for (const Question& question : questions)
        ui_->answerOverwrite(question.yes ? Overwrite::Yes : Overwrite::No);

    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, target), 0)
        << ui_->errors.join(u'\n');
    ASSERT_EQ(ui_->overwriteTexts.size(), questions.size());
    for (qsizetype i = 0; i < questions.size(); ++i) {
        const Question& question = questions[i];
        // The question names the item's folder and the item.
        const QString text = ui_->overwriteTexts[i];
        EXPECT_TRUE(text.contains(shownPath(question.folder))) << i << ' ' << text;
        EXPECT_TRUE(text.contains(u'「' + shownPath(question.name) + u'」')) << i << ' ' << text;
        if (i == 0 || question.folder.endsWith("/tree"))
            continue;
        const QString folder = QFile::decodeName(question.folder);
        const QByteArray folderName = question.folder.mid(question.folder.lastIndexOf('/') + 1);
        EXPECT_EQ(readRaw(folder, question.name),
                  question.yes ? hostileContent(folderName, question.name) : "old " + question.name)
            << i;
    }
    EXPECT_EQ(ui_->unexpected, 0);
    EXPECT_TRUE(partsUnder(target).isEmpty()) << partsUnder(target).join(u'\n');
    for (const auto& [folder, names] : order) {
        const QString copied = target + QStringLiteral("/tree/") + QString::fromUtf8(folder);
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (!collides(i, names.size())) {
                EXPECT_EQ(readRaw(copied, names[i]), hostileContent(folder, names[i]));
            }
        }
    }

    // Again into a new target where a file of the last folder collides, and the one before it
    // has turned into a FIFO by the time its copy begins (swapped when the first file of that
    // folder comes back, before that one is handed on): the failure is told and the question
    // about the file right after it is never asked.
    const QString again = m_root.path() + QStringLiteral("/again");
    const QByteArray lastFolder = order[2].first;
    const QString lastCopied = again + QStringLiteral("/tree/") + QString::fromUtf8(lastFolder);
    ASSERT_TRUE(writeRaw(lastCopied, order[2].second[4301], "old"));
    const QByteArray swapped =
        bytes(src(QStringLiteral("tree/"))) + lastFolder + '/' + order[2].second[4300];
    ui_->errors.clear();
    ui_->overwriteTexts.clear();
    ui_->answerOverwrite(Overwrite::Yes); // "tree"
    ui_->answerOverwrite(Overwrite::Yes); // the last folder
    bool swappedYet = false;
    ui_->onStep = [&](int) {
        if (!swappedYet && ui_->lastCurrent.contains(QStringLiteral("/tree/") +
                                                     QString::fromUtf8(lastFolder) + u'/')) {
            swappedYet = true;
            ASSERT_EQ(::unlink(swapped.constData()), 0);
            ASSERT_EQ(::mkfifo(swapped.constData(), 0600), 0);
        }
    };
    EXPECT_EQ(run(Shell::Copy, {src(QStringLiteral("tree"))}, again), Shell::kFailed);
    ui_->onStep = nullptr;
    ASSERT_TRUE(swappedYet);
    ASSERT_EQ(ui_->overwriteTexts.size(), 2) << ui_->overwriteTexts.join(u'\n');
    EXPECT_TRUE(ui_->overwriteTexts[1].contains(u'「' + shownPath(lastFolder) + u'」'))
        << ui_->overwriteTexts[1];
    ASSERT_EQ(ui_->errors.size(), 1) << ui_->errors.join(u'\n');
    EXPECT_TRUE(
        ui_->errors[0].startsWith(QStringLiteral("コピーできません: ") + shownPath(swapped)))
        << ui_->errors[0];
    EXPECT_EQ(readRaw(lastCopied, order[2].second[4301]), "old");
    EXPECT_EQ(entriesIn(lastCopied), 1 + 4300);
    EXPECT_TRUE(partsUnder(again).isEmpty()) << partsUnder(again).join(u'\n');
    removeRaw(m_root.path() + QStringLiteral("/src"));
    removeRaw(target);
    removeRaw(again);
}

} // namespace
