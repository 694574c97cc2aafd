// Faults injected into the archiver libraries: extraction with each library onto a small
// disk that fills up, and an LZH update whose new archive does not fit. The archive and any
// file already at the destination stay as they were, and the call reports a failure.
#include "QStringPrinting.h"
#include "ShellTestFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

using namespace shelltest;

namespace
{

using Command = int (*)(uintptr_t, const char*, char*, uint32_t);

// One archiver library from the program folder, as the program loads it.
class Library
{
public:
    Library(const char* file, const char* entry)
    {
        const QByteArray path = qgetenv("KORAMO_BUILD_BIN") + '/' + file;
        m_handle = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (m_handle)
            m_command = reinterpret_cast<Command>(::dlsym(m_handle, entry));
    }
    ~Library()
    {
        if (m_handle)
            ::dlclose(m_handle);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    bool loaded() const { return m_command != nullptr; }
    int run(const QString& line, QString* report = nullptr) const
    {
        QByteArray buffer(2048, '\0');
        const int result = m_command(0, line.toUtf8().constData(), buffer.data(), 2048);
        if (report)
            *report = QString::fromUtf8(buffer.constData());
        return result;
    }

private:
    void* m_handle = nullptr;
    Command m_command = nullptr;
};

QString quoted(const QString& path)
{
    return u'"' + path + u'"';
}

bool tool(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

class ArchiverFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        // The members: a small file, and one larger than the destination's disk.
        writeFile(in(QStringLiteral("files/small.txt")), "small");
        writeFile(in(QStringLiteral("files/big.bin")), pattern(3 << 20, 5));
    }
    QString in(const QString& name) const { return m_root.path() + u'/' + name; }

    // Extracts onto a 1 MiB disk that already holds an older big.bin: the call fails, the
    // archive and the older big.bin are unchanged, nothing partial is left.
    void extractOntoFullDisk(const Library& library, const QString& archive, const QString& line)
    {
        TmpfsMount tmpfs(1 << 20);
        if (!tmpfs.mounted())
            GTEST_SKIP() << "mounting a small tmpfs needs root (" << tmpfs.why()
                         << "); CI runs this as root";
        const QByteArray archiveBytes = readFile(archive);
        const QByteArray older = pattern(100 << 10, 6);
        writeFile(tmpfs.path() + QStringLiteral("/big.bin"), older);
        // Older than the member, so that no library skips it as newer.
        const struct timespec times[2] = {{946684800, 0}, {946684800, 0}};
        ::utimensat(AT_FDCWD,
                    QFile::encodeName(tmpfs.path() + QStringLiteral("/big.bin")).constData(), times,
                    0);
        QString report;
        const int result = library.run(line.arg(tmpfs.path() + u'/'), &report);
        EXPECT_NE(result, 0) << report;
        EXPECT_FALSE(report.trimmed().isEmpty()) << "the failure is reported";
        EXPECT_EQ(readFile(archive), archiveBytes);
        EXPECT_EQ(readFile(tmpfs.path() + QStringLiteral("/big.bin")), older);
        const auto left = snapshot(tmpfs.path());
        for (auto it = left.begin(); it != left.end(); ++it) {
            if (it.key() == QLatin1String("big.bin") || it.value() == "D")
                continue;
            EXPECT_EQ(it.key(), QStringLiteral("small.txt")) << "a stray file is left";
            EXPECT_EQ(it.value(), "F:small") << it.key();
        }
    }

    QTemporaryDir m_root;
};

TEST_F(ArchiverFaults, LzhExtractionOntoAFullDisk)
{
    Library lzh("libunlha32.so", "Unlha");
    ASSERT_TRUE(lzh.loaded());
    const QString archive = in(QStringLiteral("a.lzh"));
    QString report;
    ASSERT_EQ(lzh.run(QStringLiteral("a -n %1 %2 small.txt big.bin")
                          .arg(quoted(archive), quoted(in(QStringLiteral("files/")))),
                      &report),
              0)
        << report;
    extractOntoFullDisk(lzh, archive,
                        QStringLiteral("e -n -m1 ") + quoted(archive) + QStringLiteral(" \"%1\""));
}

TEST_F(ArchiverFaults, ZipExtractionOntoAFullDisk)
{
    Library zip("libunzip32.so", "UnZip");
    ASSERT_TRUE(zip.loaded());
    const QString archive = in(QStringLiteral("a.zip"));
    ASSERT_TRUE(tool(QStringLiteral("zip"),
                     {QStringLiteral("-q"), QStringLiteral("-0"), archive,
                      QStringLiteral("small.txt"), QStringLiteral("big.bin")},
                     in(QStringLiteral("files"))));
    extractOntoFullDisk(zip, archive,
                        QStringLiteral("-x -o ") + quoted(archive) + QStringLiteral(" \"%1\""));
}

TEST_F(ArchiverFaults, CabExtractionOntoAFullDisk)
{
    Library cab("libcab32.so", "Cab");
    ASSERT_TRUE(cab.loaded());
    const QString archive = in(QStringLiteral("a.cab"));
    ASSERT_TRUE(tool(
        QStringLiteral("gcab"),
        {QStringLiteral("-c"), archive, QStringLiteral("small.txt"), QStringLiteral("big.bin")},
        in(QStringLiteral("files"))));
    extractOntoFullDisk(
        cab, archive, QStringLiteral("-x -o -i -n ") + quoted(archive) + QStringLiteral(" \"%1\""));
}

TEST_F(ArchiverFaults, LzhUpdateThatDoesNotFitLeavesTheArchiveAsItWas)
{
    Library lzh("libunlha32.so", "Unlha");
    ASSERT_TRUE(lzh.loaded());
    TmpfsMount tmpfs(1 << 20);
    if (!tmpfs.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root (" << tmpfs.why()
                     << "); CI runs this as root";
    const QString archive = tmpfs.path() + QStringLiteral("/a.lzh");
    QString report;
    ASSERT_EQ(lzh.run(QStringLiteral("a -n %1 %2 small.txt")
                          .arg(quoted(archive), quoted(in(QStringLiteral("files/")))),
                      &report),
              0)
        << report;
    const QByteArray before = readFile(archive);
    // Noise does not compress: the new archive is larger than the disk.
    const int result = lzh.run(QStringLiteral("u -n %1 %2 big.bin")
                                   .arg(quoted(archive), quoted(in(QStringLiteral("files/")))),
                               &report);
    EXPECT_NE(result, 0) << report;
    EXPECT_FALSE(report.trimmed().isEmpty());
    EXPECT_EQ(readFile(archive), before);
    EXPECT_EQ(snapshot(tmpfs.path()).size(), 1) << "no temporary archive is left";
}

} // namespace
