// The settings file under a kill -9 in the middle of saving, 200 times: afterwards it is
// always either the old file or the new one, byte for byte, never a torn mixture.
#include "settings/IniFile.h"

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

    int started = 0;
    for (int round = 0; round < 200; ++round) {
        QProcess writer;
        writer.start(g_self, {QStringLiteral("--writer"), path});
        ASSERT_TRUE(writer.waitForStarted(10000));
        // Let it save a number of times, then cut it at a random moment.
        QThread::usleep(2000 + QRandomGenerator::global()->bounded(30000));
        writer.kill(); // SIGKILL
        ASSERT_TRUE(writer.waitForFinished(10000));
        const QByteArray now = bytesOf(path);
        ASSERT_TRUE(now == withA || now == withB) << "round " << round << ": " << now.size()
                                                  << " bytes, neither the old nor the new file";
        if (writer.readAllStandardOutput().contains("saving"))
            ++started;
    }
    // The writer did get to save in most rounds; otherwise the test would prove nothing.
    EXPECT_GT(started, 100);
    // Temporary files of saves that were cut are left beside the file; say how many.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    std::printf("writer got to save in %d of 200 rounds; files beside exp.ini afterwards: %d\n",
                started, int(left.size()) - 1);
}

// Saves the two values in turn until killed.
int writerLoop(const QString& path)
{
    for (int i = 0;; ++i) {
        if (i == 0) {
            std::fputs("saving\n", stdout);
            std::fflush(stdout);
        }
        settings::writeProfileString(path, QStringLiteral("window"), QStringLiteral("value"),
                                     value(i % 2));
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
