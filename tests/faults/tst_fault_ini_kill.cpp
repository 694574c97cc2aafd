// The settings file under a kill -9 in the middle of saving, 200 times: afterwards it is
// always either the old file or the new one, byte for byte, never a torn mixture.
#include "base/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace
{

QString g_self;

QString value(int which)
{
    // Long values, so that one save takes long enough to be cut in the middle.
    return QString(4000, which ? QChar(u'B') : QChar(u'A'));
}

// Fills the file with many keys, as a file grown over years of use would be.
void populate(const QString& path)
{
    for (int i = 0; i < 300; ++i)
        settings::writeProfileString(path, QStringLiteral("section%1").arg(i % 7),
                                     QStringLiteral("key%1").arg(i), QString(60, QChar(u'x')));
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(IniKill, EverySaveCutByKillLeavesTheOldOrTheNewFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/exp.ini");
    populate(path);
    ASSERT_TRUE(settings::writeProfileString(path, QStringLiteral("window"),
                                             QStringLiteral("value"), value(0)));
    const QByteArray withA = bytesOf(path);
    ASSERT_TRUE(settings::writeProfileString(path, QStringLiteral("window"),
                                             QStringLiteral("value"), value(1)));
    const QByteArray withB = bytesOf(path);
    ASSERT_NE(withA, withB);

    int cutInside = 0;
    for (int round = 0; round < 200; ++round) {
        QProcess writer;
        writer.start(g_self, {QStringLiteral("--writer"), path});
        ASSERT_TRUE(writer.waitForStarted(10000));
        // The writer says "saving" as it enters each save. Wait until it has entered a
        // chosen one, however slow the machine is, then cut it somewhere inside that save.
        const int wanted = 1 + QRandomGenerator::global()->bounded(4);
        int entered = 0;
        QByteArray said;
        while (entered < wanted) {
            ASSERT_TRUE(writer.waitForReadyRead(60000))
                << "round " << round << ": the writer never began a save";
            said += writer.readAllStandardOutput();
            entered = int(said.count("saving\n"));
        }
        // Somewhere inside that save, at random.
        QThread::usleep(QRandomGenerator::global()->bounded(3000));
        writer.kill(); // SIGKILL
        ASSERT_TRUE(writer.waitForFinished(10000));
        said += writer.readAllStandardOutput();
        const QByteArray now = bytesOf(path);
        ASSERT_TRUE(now == withA || now == withB) << "round " << round << ": " << now.size()
                                                  << " bytes, neither the old nor the new file";
        // The writer had not finished the save it was in when the kill came.
        if (!said.contains(QByteArray("saved " + QByteArray::number(entered) + "\n")))
            ++cutInside;
    }
    EXPECT_GT(cutInside, 0) << "no kill came inside a save: the test proved nothing";
    // Temporary files of saves that were cut are left beside the file; say how many.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    std::printf("saves cut inside by the kill: %d of 200; files beside exp.ini afterwards: %d\n",
                cutInside, int(left.size()) - 1);
}

// Saves the two values in turn until killed, saying when each save begins and ends.
int writerLoop(const QString& path)
{
    for (int i = 1;; ++i) {
        std::fputs("saving\n", stdout);
        std::fflush(stdout);
        settings::writeProfileString(path, QStringLiteral("window"), QStringLiteral("value"),
                                     value((i + 1) % 2));
        std::printf("saved %d\n", i);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        return writerLoop(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    g_self = QCoreApplication::applicationFilePath();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
