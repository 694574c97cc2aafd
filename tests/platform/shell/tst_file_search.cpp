// The file search on real temporary trees: name masks, contents in their own encodings, a text
// cut by the end of a read chunk, special files and links, names that are not UTF-8, stopping.
#include "base/NameMasks.h"
#include "base/NativePath.h"
#include "platform/TextEncoding.h"
#include "platform/shell/FileSearch.h"
#include "platform/shell/TextFinder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using platform::FileSearch;
using platform::FileSearchQuery;
using platform::FoundFile;
using platform::TextFinder;

namespace
{

QByteArray encoded(const QString& text, const char* encoding)
{
    platform::TextFormat format;
    format.encoding = QByteArray(encoding);
    QByteArray out;
    if (!platform::encodeText(text, format, out))
        qFatal("cannot encode the test text in %s", encoding);
    return out;
}

// A few lines of Japanese prose around the given word, so that the encoding can be told.
QString prose(const QString& word)
{
    return QStringLiteral("これは見積もりに関するお知らせです。\n来週の会議で") + word +
           QStringLiteral("について話し合います。\nよろしくお願いいたします。\n");
}

struct Outcome {
    QStringList paths; // relative to the searched folder, sorted
    platform::FileSearchSummary summary;
    int batches = 0;
};

} // namespace

class TestFileSearch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString at(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }

    void write(const QString& relative, const QByteArray& bytes) const
    {
        const QString path = at(relative);
        QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    Outcome search(FileSearchQuery query, int batchFiles = 1000) const
    {
        if (query.folder.isEmpty())
            query.folder = m_dir.path();
        Outcome outcome;
        FileSearch search(query, [&](QList<FoundFile>&& batch, const QString&) {
            ++outcome.batches;
            for (const FoundFile& f : batch)
                outcome.paths << f.path().mid(m_dir.path().size() + 1);
        });
        search.setBatching(batchFiles, 1000000);
        const std::atomic<bool> never{false};
        outcome.summary = search.run(never);
        outcome.paths.sort();
        return outcome;
    }

    static FileSearchQuery names(const QString& pattern, bool subfolders = true)
    {
        FileSearchQuery q;
        q.pattern = pattern;
        q.subfolders = subfolders;
        return q;
    }

    static FileSearchQuery containing(const QString& text, const QString& pattern = {})
    {
        FileSearchQuery q;
        q.pattern = pattern.isEmpty() ? QStringLiteral("*") : pattern;
        q.text = text;
        return q;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        write(QStringLiteral("readme.txt"), "plain");
        write(QStringLiteral("Report.TXT"), "upper");
        write(QStringLiteral("a1.log"), "x");
        write(QStringLiteral("a22.log"), "x");
        write(QStringLiteral("notes.md"), "x");
        write(QStringLiteral("sub/deep.txt"), "x");
        write(QStringLiteral("sub/inner/b1.log"), "x");
        write(QStringLiteral("sub/inner/picture.jpg"), "x");
    }

    void namesByMasks()
    {
        QCOMPARE(search(names(QStringLiteral("*.txt"))).paths,
                 QStringList({QStringLiteral("Report.TXT"), QStringLiteral("readme.txt"),
                              QStringLiteral("sub/deep.txt")}));
        // "?" is exactly one character.
        QCOMPARE(search(names(QStringLiteral("?1.log"))).paths,
                 QStringList({QStringLiteral("a1.log"), QStringLiteral("sub/inner/b1.log")}));
        QCOMPARE(search(names(QStringLiteral("a??.LOG"))).paths,
                 QStringList({QStringLiteral("a22.log")}));
        // Several masks, blanks around them ignored, case ignored.
        QCOMPARE(
            search(names(QStringLiteral("*.JPG; readme.*"))).paths,
            QStringList({QStringLiteral("readme.txt"), QStringLiteral("sub/inner/picture.jpg")}));
        // Folders are not listed; "*.*" takes every file, also one without a dot.
        write(QStringLiteral("sub/Makefile"), "x");
        const Outcome all = search(names(QStringLiteral("*.*")));
        QVERIFY2(all.paths.contains(QStringLiteral("sub/Makefile")),
                 qPrintable(all.paths.join(u',')));
        QVERIFY(!all.paths.contains(QStringLiteral("sub")));
        QFile::remove(at(QStringLiteral("sub/Makefile")));
    }

    void masksAgreeWithWildcardExpressions()
    {
        // The masks are matched directly; Qt's wildcard expressions are the reference.
        const QStringList masks = {
            QStringLiteral("a?c"),      QStringLiteral("*a*b*"),   QStringLiteral("??"),
            QStringLiteral("*.tar.gz"), QStringLiteral("RE*ME.?"), QStringLiteral("*x"),
            QStringLiteral("見積*書?"), QStringLiteral("**a"),     QStringLiteral("Ａ*")};
        const QStringList names = {QStringLiteral("abc"),
                                   QStringLiteral("ABC"),
                                   QStringLiteral("ac"),
                                   QStringLiteral("aXbYb"),
                                   QStringLiteral("ba"),
                                   QStringLiteral("x.TAR.GZ"),
                                   QStringLiteral("tar.gz"),
                                   QStringLiteral("readme.1"),
                                   QStringLiteral("README.md"),
                                   QStringLiteral("xx"),
                                   QStringLiteral("見積もり書A"),
                                   QStringLiteral("見積書"),
                                   QStringLiteral("ａｂ"),
                                   QStringLiteral("aaaa"),
                                   QStringLiteral(""),
                                   QStringLiteral("a\U0001F600c")};
        for (const QString& mask : masks) {
            const QRegularExpression reference(
                QRegularExpression::wildcardToRegularExpression(mask),
                QRegularExpression::CaseInsensitiveOption);
            const platform::NameMasks ours(mask);
            for (const QString& name : names)
                QVERIFY2(ours.matches(name) == reference.match(name).hasMatch(),
                         qPrintable(mask + QStringLiteral(" / ") + name));
        }
        QVERIFY(platform::NameMasks(QStringLiteral("*.*")).matches(QStringLiteral("Makefile")));
        QVERIFY(!platform::NameMasks(QStringLiteral(" ; ")).matches(QStringLiteral("a")));
    }

    void subfoldersOff()
    {
        const Outcome top = search(names(QStringLiteral("*.txt;*.log;*.jpg"), false));
        QCOMPARE(top.paths, QStringList({QStringLiteral("Report.TXT"), QStringLiteral("a1.log"),
                                         QStringLiteral("a22.log"), QStringLiteral("readme.txt")}));
    }

    void japaneseContentInEveryEncoding()
    {
        QTemporaryDir d;
        const QString word = QStringLiteral("見積書");
        auto put = [&](const char* name, const QByteArray& bytes) {
            QFile f(d.path() + QLatin1Char('/') + QString::fromLatin1(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        put("sjis.txt", encoded(prose(word), "windows-31j"));
        put("euc.txt", encoded(prose(word), "EUC-JP"));
        put("utf8.txt", prose(word).toUtf8());
        put("utf16.txt", QByteArray("\xFF\xFE", 2) + encoded(prose(word), "UTF-16LE"));
        put("utf16be.txt", QByteArray("\xFE\xFF", 2) + encoded(prose(word), "UTF-16BE"));
        put("other-sjis.txt", encoded(prose(QStringLiteral("請求書")), "windows-31j"));
        put("other-utf8.txt", prose(QStringLiteral("請求書")).toUtf8());
        // The word's bytes in CP932 written into a binary file: binary files are not searched.
        put("binary.dat", QByteArray("\x00\x01\x02", 3) + encoded(word, "windows-31j"));
        FileSearchQuery q = containing(word);
        q.folder = d.path();
        QStringList found;
        FileSearch s(q, [&](QList<FoundFile>&& batch, const QString&) {
            for (const FoundFile& f : batch)
                found << f.name;
        });
        const std::atomic<bool> never{false};
        s.run(never);
        found.sort();
        QCOMPARE(found, QStringList({QStringLiteral("euc.txt"), QStringLiteral("sjis.txt"),
                                     QStringLiteral("utf16.txt"), QStringLiteral("utf16be.txt"),
                                     QStringLiteral("utf8.txt")}));
    }

    void contentIsMatchedAsCharactersNotBytes()
    {
        // "ソ" in CP932 is 83 5C: its second byte is the code of "\". A search for "\" must not
        // find it, and ASCII text is matched without regard to case.
        TextFinder backslash(QStringLiteral("\\"));
        TextFinder so(QStringLiteral("ソフト"));
        TextFinder latin(QStringLiteral("HELLO"));
        const QByteArray sjis = QByteArray("\x83\x5C\x83\x74\x83\x67\x95\x5C\x8E\xA6 hello\r\n") +
                                encoded(prose(QStringLiteral("表示")), "windows-31j");
        QCOMPARE(TextFinder::encodingForSample(sjis, false), QByteArray("windows-31j"));
        QTemporaryDir d;
        QFile f(d.path() + QStringLiteral("/s.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sjis);
        f.close();
        const int folder = ::open(QFile::encodeName(d.path()).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(folder >= 0);
        const std::atomic<bool> never{false};
        QCOMPARE(backslash.searchFileAt(folder, "s.txt", never), TextFinder::Result::NotFound);
        QCOMPARE(so.searchFileAt(folder, "s.txt", never), TextFinder::Result::Found);
        QCOMPARE(latin.searchFileAt(folder, "s.txt", never), TextFinder::Result::Found);
        ::close(folder);
    }

    void textAcrossChunkBoundaries()
    {
        QTemporaryDir d;
        const QString word = QStringLiteral("見積書番号");
        // Small chunks after the first read: every cut position through the word (and inside
        // its two-byte characters).
        QByteArray head = encoded(prose(QStringLiteral("打ち合わせ")), "windows-31j");
        while (head.size() < TextFinder::kDetectionBytes)
            head += "0123456789abcdef\r\n";
        head.truncate(TextFinder::kDetectionBytes);
        for (int pad = 0; pad < 16; ++pad) {
            const QByteArray body =
                head + QByteArray(pad, 'x') + encoded(word, "windows-31j") + "\r\n";
            QFile f(d.path() + QStringLiteral("/chunk.txt"));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(body);
            f.close();
            const int folder =
                ::open(QFile::encodeName(d.path()).constData(), O_RDONLY | O_DIRECTORY);
            const std::atomic<bool> never{false};
            QCOMPARE(TextFinder(word, 16).searchFileAt(folder, "chunk.txt", never),
                     TextFinder::Result::Found);
            QCOMPARE(TextFinder(QStringLiteral("見積書番号X"), 16)
                         .searchFileAt(folder, "chunk.txt", never),
                     TextFinder::Result::NotFound);
            ::close(folder);
        }
        // The real chunk size: the UTF-8 word begins two bytes before the first chunk's end.
        const qsizetype chunk = TextFinder::kDefaultChunkBytes;
        QByteArray big = prose(QStringLiteral("打ち合わせ")).toUtf8();
        while (big.size() < chunk - 2)
            big += "abcdefghij\n";
        big.truncate(chunk - 2);
        const QByteArray wordBytes = word.toUtf8();
        big += wordBytes + QByteArray(chunk, 'y');
        QVERIFY(big.indexOf(wordBytes) < chunk &&
                big.indexOf(wordBytes) + wordBytes.size() > chunk);
        QFile f(d.path() + QStringLiteral("/big.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(big);
        f.close();
        FileSearchQuery q = containing(word);
        q.folder = d.path();
        q.pattern = QStringLiteral("big.txt");
        int found = 0;
        FileSearch s(q, [&](QList<FoundFile>&& batch, const QString&) { found += batch.size(); });
        const std::atomic<bool> never{false};
        s.run(never);
        QCOMPARE(found, 1);
    }

    void aFileThatGrowsWhileSearched()
    {
        QTemporaryDir d;
        const QString path = d.path() + QStringLiteral("/growing.log");
        QByteArray start = prose(QStringLiteral("打ち合わせ")).toUtf8();
        while (start.size() < 4 * 1024 * 1024)
            start += "2026-12-09 06:00:00 INFO nothing to see here\n";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(start);
        f.close();
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        // Another program appends the word once the search has begun reading (the shared
        // file position moved), and goes on appending for as long as the search runs.
        std::atomic<bool> searching{true};
        std::atomic<qint64> appended{0};
        std::thread writer([&] {
            while (searching && ::lseek(fd, 0, SEEK_CUR) == 0)
                std::this_thread::yield();
            QFile out(path);
            if (!out.open(QIODevice::Append))
                return;
            const QByteArray block =
                QByteArray(60000, 'z') + QStringLiteral("\n見積書番号\n").toUtf8();
            while (searching && appended < 64 * 1024 * 1024) {
                out.write(block);
                out.flush();
                appended += block.size();
            }
        });
        const std::atomic<bool> never{false};
        // Small chunks: the search reads slower than the other program writes.
        const TextFinder::Result result =
            TextFinder(QStringLiteral("見積書番号"), 4096).searchDescriptor(fd, never);
        const qint64 read = ::lseek(fd, 0, SEEK_CUR);
        searching = false;
        writer.join();
        ::close(fd);
        QVERIFY(appended > 0);
        // The file as it was when the search began: not a byte beyond.
        QCOMPARE(result, TextFinder::Result::NotFound);
        QCOMPARE(read, qint64(start.size()));
        QVERIFY(QFile::remove(path));
    }

    void specialFilesAndLinks()
    {
        QTemporaryDir d;
        const QByteArray root = QFile::encodeName(d.path());
        QVERIFY(::mkfifo(QByteArray(root + "/pipe.txt").constData(), 0600) == 0);
        QFile t(d.path() + QStringLiteral("/target.txt"));
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("needle in a file");
        t.close();
        QDir().mkpath(d.path() + QStringLiteral("/loop"));
        // A link back up to the searched folder, and a link to the file.
        QVERIFY(::symlink(root.constData(), QByteArray(root + "/loop/up").constData()) == 0);
        QVERIFY(::symlink("../target.txt", QByteArray(root + "/loop/link.txt").constData()) == 0);

        // By name: the FIFO and the links are listed, nothing is entered twice.
        FileSearchQuery byName = names(QStringLiteral("*"));
        byName.folder = d.path();
        QStringList listed;
        FileSearch s1(byName, [&](QList<FoundFile>&& batch, const QString&) {
            for (const FoundFile& f : batch)
                listed << f.path().mid(d.path().size() + 1);
        });
        const std::atomic<bool> never{false};
        s1.run(never);
        listed.sort();
        QCOMPARE(listed, QStringList({QStringLiteral("loop/link.txt"), QStringLiteral("loop/up"),
                                      QStringLiteral("pipe.txt"), QStringLiteral("target.txt")}));

        // By content: the FIFO is never opened (an open would wait for a writer for ever).
        FileSearchQuery byText = containing(QStringLiteral("needle"));
        byText.folder = d.path();
        QStringList found;
        FileSearch s2(byText, [&](QList<FoundFile>&& batch, const QString&) {
            for (const FoundFile& f : batch)
                found << f.name;
        });
        QElapsedTimer timer;
        timer.start();
        s2.run(never);
        QVERIFY(timer.elapsed() < 10000);
        QCOMPARE(found, QStringList({QStringLiteral("target.txt")}));
        // Asked directly, the finder refuses the FIFO without waiting on it.
        const int folder = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
        QCOMPARE(TextFinder(QStringLiteral("x")).searchFileAt(folder, "pipe.txt", never),
                 TextFinder::Result::Unreadable);
        ::close(folder);
    }

    void namesThatAreNotUtf8()
    {
        QTemporaryDir d;
        // "表.txt" in CP932: not valid UTF-8.
        const QByteArray raw = QByteArray("\x95\x5C.txt");
        const QByteArray path = QFile::encodeName(d.path()) + '/' + raw;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "body", 4), ssize_t(4));
        ::close(fd);
        FileSearchQuery q = names(QStringLiteral("*.TXT"));
        q.folder = d.path();
        QList<FoundFile> found;
        FileSearch s(q, [&](QList<FoundFile>&& batch, const QString&) { found << batch; });
        const std::atomic<bool> never{false};
        s.run(never);
        QCOMPARE(found.size(), 1);
        QCOMPARE(platform::toNativePath(found.first().path()), path);
        QCOMPARE(found.first().size, qint64(4));
        QCOMPARE(platform::displayName(found.first().name),
                 platform::foreignNameMark() + QStringLiteral("表.txt"));
    }

    void batchesAndStopping()
    {
        QTemporaryDir d;
        for (int i = 0; i < 300; ++i) {
            QFile f(d.path() + QStringLiteral("/f%1.txt").arg(i));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        FileSearchQuery q = names(QStringLiteral("*.txt"));
        q.folder = d.path();
        // Batches of at most the given size, every file once.
        int batches = 0, files = 0, largest = 0;
        FileSearch whole(q, [&](QList<FoundFile>&& batch, const QString&) {
            ++batches;
            files += batch.size();
            largest = qMax(largest, int(batch.size()));
        });
        whole.setBatching(64, 1000000);
        const std::atomic<bool> never{false};
        const platform::FileSearchSummary all = whole.run(never);
        QCOMPARE(files, 300);
        QCOMPARE(all.found, qint64(300));
        QCOMPARE(batches, 5);
        QCOMPARE(largest, 64);
        QVERIFY(!all.cancelled);

        // Stopped from inside the first batch: nothing more is visited, the rest not sent.
        std::atomic<bool> stop{false};
        int seen = 0;
        FileSearch stopped(q, [&](QList<FoundFile>&& batch, const QString&) {
            seen += batch.size();
            stop = true;
        });
        stopped.setBatching(10, 1000000);
        const platform::FileSearchSummary part = stopped.run(stop);
        QVERIFY(part.cancelled);
        QCOMPARE(seen, 10);
        QCOMPARE(part.found, qint64(10));
        QVERIFY(part.examined < 300);
    }

    // Run as an ordinary user (see CMakeLists.txt): as root, permissions do not matter.
    void unreadableFolders()
    {
        if (::geteuid() == 0)
            QSKIP("needs an ordinary user; run through run_unprivileged.sh");
        QTemporaryDir d;
        QDir().mkpath(d.path() + QStringLiteral("/closed/inside"));
        QDir().mkpath(d.path() + QStringLiteral("/open"));
        for (const char* name : {"/closed/inside/a.txt", "/open/b.txt"}) {
            QFile f(d.path() + QString::fromLatin1(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("needle");
        }
        QVERIFY(::chmod(QFile::encodeName(d.path() + QStringLiteral("/closed")).constData(), 0) ==
                0);
        FileSearchQuery q = containing(QStringLiteral("needle"));
        q.folder = d.path();
        QStringList found;
        FileSearch s(q, [&](QList<FoundFile>&& batch, const QString&) {
            for (const FoundFile& f : batch)
                found << f.name;
        });
        const std::atomic<bool> never{false};
        const platform::FileSearchSummary summary = s.run(never);
        ::chmod(QFile::encodeName(d.path() + QStringLiteral("/closed")).constData(), 0700);
        QCOMPARE(found, QStringList({QStringLiteral("b.txt")}));
        QCOMPARE(summary.unreadableFolders, qint64(1));
        QVERIFY(!summary.cancelled);
    }

    void aFolderThatIsNotThere()
    {
        FileSearchQuery q = names(QStringLiteral("*"));
        q.folder = m_dir.path() + QStringLiteral("/missing");
        int files = 0;
        FileSearch s(q, [&](QList<FoundFile>&& batch, const QString&) { files += batch.size(); });
        const std::atomic<bool> never{false};
        const platform::FileSearchSummary summary = s.run(never);
        QCOMPARE(files, 0);
        QCOMPARE(summary.unreadableFolders, qint64(1));
    }
};

QTEST_GUILESS_MAIN(TestFileSearch)
#include "tst_file_search.moc"
