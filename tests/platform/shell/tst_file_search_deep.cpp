// The file search on a very deep tree, whose paths are far longer than the system takes in
// one call: it finds what lies at the bottom, and what it keeps while walking does not grow
// with depth times path length. And links: one to a folder is listed as such, never entered.
#include "platform/shell/FileSearch.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::FileSearch;
using platform::FileSearchQuery;
using platform::FoundFile;

namespace
{

long peakKilobytes()
{
    struct rusage usage {
    };
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// `depth` folders one inside the other, each named `name` with its level number in front, and
// a file at the bottom and one half way down; made relative to each parent, as no path to the
// bottom could be given in one call.
bool makeDeepTree(const QByteArray& root, int depth, const QByteArray& name)
{
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < depth && fd >= 0; ++level) {
        const QByteArray folder = QByteArray::number(level) + name;
        if (::mkdirat(fd, folder.constData(), 0700) != 0)
            return false;
        const int sub = ::openat(fd, folder.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = sub;
        if (fd >= 0 && level == depth / 2)
            ::close(::openat(fd, "half way.txt", O_WRONLY | O_CREAT, 0600));
    }
    if (fd < 0)
        return false;
    const int file = ::openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0600);
    const bool written = file >= 0 && ::write(file, "bottom", 6) == 6;
    ::close(file);
    ::close(fd);
    return written;
}

QList<FoundFile> searchAll(const QString& folder)
{
    FileSearchQuery query;
    query.folder = folder;
    query.pattern = QStringLiteral("*");
    QList<FoundFile> found;
    FileSearch search(query, [&](QList<FoundFile>&& batch, const QString&) { found << batch; });
    const std::atomic<bool> never{false};
    search.run(never);
    return found;
}

} // namespace

class TestFileSearchDeep : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aDeepTreeIsWalkedInLittleMemory()
    {
        QTemporaryDir dir;
        // 800 levels of 240-byte names: the bottom's path is about 195,000 bytes long. One
        // path kept per level, in bytes and as text, would come to about 220 MB.
        constexpr int depth = 800;
        const QByteArray name(240, 'd');
        const QByteArray root = QFile::encodeName(dir.path());
        const bool made = makeDeepTree(root, depth, name);
        const long before = peakKilobytes();
        const QList<FoundFile> found = made ? searchAll(dir.path()) : QList<FoundFile>();
        const long grown = peakKilobytes() - before;
        // QTemporaryDir cannot remove a tree this deep; rm can.
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir.path()});
        QVERIFY(made);

        QCOMPARE(found.size(), 2);
        QStringList names;
        for (const FoundFile& f : found)
            names << f.name;
        names.sort();
        QCOMPARE(names,
                 QStringList({QStringLiteral("bottom.txt"), QStringLiteral("half way.txt")}));
        for (const FoundFile& f : found) {
            const int levels = f.name == QStringLiteral("bottom.txt") ? depth : depth / 2 + 1;
            QCOMPARE(f.folder.count(QLatin1Char('/')), dir.path().count(QLatin1Char('/')) + levels);
            QVERIFY(f.folder.startsWith(dir.path() + QStringLiteral("/0ddd")));
            QVERIFY(f.folder.endsWith(QString::number(levels - 1) + QString::fromLatin1(name)));
        }
        QCOMPARE(found.first().name == QStringLiteral("bottom.txt") ? found.first().size
                                                                    : found.last().size,
                 qint64(6));
        // A few copies of the deepest path at most, never one per level.
        QVERIFY2(grown < 30 * 1024, qPrintable(QStringLiteral("grew by %1 kB").arg(grown)));
    }

    void aLinkToAFolderIsListedAsOne()
    {
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        QVERIFY(::mkdir(QByteArray(root + "/real folder").constData(), 0700) == 0);
        QFile inside(dir.path() + QStringLiteral("/real folder/inside.txt"));
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.write("12345");
        inside.close();
        QVERIFY(::symlink("real folder", QByteArray(root + "/-folder link").constData()) == 0);
        QVERIFY(::symlink("real folder/inside.txt", QByteArray(root + "/file link").constData()) ==
                0);
        QVERIFY(::symlink("nowhere", QByteArray(root + "/dangling").constData()) == 0);

        QMap<QString, FoundFile> byName;
        for (const FoundFile& f : searchAll(dir.path()))
            byName.insert(f.path().mid(dir.path().size() + 1), f);
        // The folder behind the link is walked once, by its own name; the link is not entered.
        QCOMPARE(
            byName.keys(),
            QStringList({QStringLiteral("-folder link"), QStringLiteral("dangling"),
                         QStringLiteral("file link"), QStringLiteral("real folder/inside.txt")}));
        QVERIFY(byName.value(QStringLiteral("-folder link")).folderLink);
        QCOMPARE(byName.value(QStringLiteral("-folder link")).size, qint64(0));
        QVERIFY(!byName.value(QStringLiteral("file link")).folderLink);
        QVERIFY(!byName.value(QStringLiteral("dangling")).folderLink);
        QVERIFY(!byName.value(QStringLiteral("real folder/inside.txt")).folderLink);
        QCOMPARE(byName.value(QStringLiteral("real folder/inside.txt")).size, qint64(5));
    }
};

QTEST_GUILESS_MAIN(TestFileSearchDeep)
#include "tst_file_search_deep.moc"
