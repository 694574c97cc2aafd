// The text saver: the file's own encoding and line ends, no lost characters, atomic replacement.
#include "TestFiles.h"

#include "base/NativePath.h"
#include "platform/TextEncoding.h"
#include "platform/TextSaver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Lowers the largest file this process may write while it lives, as a full disk would stop
// the writing (EFBIG instead of ENOSPC; SIGXFSZ is ignored so the write fails instead).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TextSaverTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void unchangedTextIsWrittenByteForByte_data();
    void unchangedTextIsWrittenByteForByte();
    void charactersTheEncodingLacksAreNamed();
    void fullDiskLeavesTheOldFile();
    void newTextIsUtf8();
    void nameThatIsNotUtf8IsReplacedInPlace();

private:
    QTemporaryDir m_dir;
};

void TextSaverTest::unchangedTextIsWrittenByteForByte_data()
{
    QTest::addColumn<QString>("file");
    for (const char* f : {"ja_cp932_crlf.txt", "ja_eucjp_lf.txt", "ja_utf8_bom_cr.txt",
                          "ja_utf16le_bom_crlf.txt", "ja_utf16be_bom_crlf.txt"})
        QTest::newRow(f) << QString::fromLatin1(f);
}

void TextSaverTest::unchangedTextIsWrittenByteForByte()
{
    QFETCH(QString, file);
    const QByteArray original = readAll(previewDataPath(file));
    const platform::DecodedText decoded = platform::decodeText(original);
    QVERIFY(!decoded.hadErrors);
    const QString path = m_dir.filePath(file);
    platform::SaveError error;
    QVERIFY2(platform::saveTextFile(path, decoded.text, decoded.format, &error),
             qPrintable(error.description));
    QCOMPARE(readAll(path), original);
}

void TextSaverTest::charactersTheEncodingLacksAreNamed()
{
    const QString path = m_dir.filePath(QStringLiteral("sjis.txt"));
    const QByteArray original = readAll(previewDataPath(QStringLiteral("ja_cp932_crlf.txt")));
    QVERIFY(writeAll(path, original));
    const platform::DecodedText decoded = platform::decodeText(original);
    QCOMPARE(decoded.format.encoding, QByteArray("windows-31j"));
    const QString edited = decoded.text + QStringLiteral("三行目\n四行目に 한국어 と 😀\n");
    const int line = int(decoded.text.count(QLatin1Char('\n'))) + 2;

    const platform::Unencodable bad = platform::firstUnencodable(edited, decoded.format);
    QCOMPARE(bad.character, QStringLiteral("한"));
    QCOMPARE(bad.line, line);
    platform::SaveError error;
    QVERIFY(!platform::saveTextFile(path, edited, decoded.format, &error));
    QCOMPARE(error.number, 0);
    QVERIFY2(error.description.contains(QString::number(line) + QStringLiteral(" 行目の「한」")),
             qPrintable(error.description));
    QVERIFY(error.description.contains(QStringLiteral("Shift_JIS")));
    QCOMPARE(readAll(path), original);

    // A surrogate pair is named whole.
    platform::TextFormat sjis = decoded.format;
    QCOMPARE(platform::firstUnencodable(QStringLiteral("ok\nok 😀"), sjis).character,
             QStringLiteral("😀"));
    QVERIFY(platform::firstUnencodable(QStringLiteral("全部 OK ｶﾅ"), sjis).character.isEmpty());
}

void TextSaverTest::fullDiskLeavesTheOldFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    const QByteArray original("old contents\r\n");
    QVERIFY(writeAll(path, original));
    const QString big = QString(300 * 1024, QLatin1Char('x'));
    platform::SaveError error;
    bool saved = true;
    {
        FileSizeLimit limit(64 * 1024);
        saved = platform::saveTextFile(path, big, platform::newTextFormat(), &error);
    }
    QVERIFY(!saved);
    QCOMPARE(error.number, 61);
    QVERIFY(error.description.contains(QStringLiteral("notes.txt")));
    QCOMPARE(readAll(path), original);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("notes.txt")});

    // A folder that does not exist.
    QVERIFY(
        !platform::writeFileAtomically(dir.filePath(QStringLiteral("none/a.txt")), "x", &error));
    QCOMPARE(error.number, 76);
    QVERIFY(!error.description.isEmpty());
}

void TextSaverTest::newTextIsUtf8()
{
    const QString path = m_dir.filePath(QStringLiteral("new.txt"));
    platform::SaveError error;
    QVERIFY(platform::saveTextFile(path, QStringLiteral("新しい\nテキスト 😀\n"),
                                   platform::newTextFormat(), &error));
    QCOMPARE(readAll(path), QStringLiteral("新しい\nテキスト 😀\n").toUtf8());
}

namespace
{

// The names in a folder as the system has them (bytes).
QList<QByteArray> nativeNames(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d)) {
            const QByteArray name(e->d_name);
            if (name != "." && name != "..")
                names << name;
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

QByteArray readNative(const QByteArray& path)
{
    QByteArray bytes;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<unreadable>";
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

} // namespace

void TextSaverTest::nameThatIsNotUtf8IsReplacedInPlace()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray folder = QFile::encodeName(dir.path());
    // "日本.txt" in Shift-JIS: not valid UTF-8.
    const QByteArray name("\x93\xfa\x96\x7b.txt");
    const QByteArray native = folder + '/' + name;
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0640);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "old", 3), ssize_t(3));
    ::close(fd);

    const QString path = platform::fromNativePath(native);
    QVERIFY(platform::hasForeignBytes(path));
    platform::SaveError error;
    QVERIFY2(
        platform::saveTextFile(path, QStringLiteral("新しい\n"), platform::newTextFormat(), &error),
        qPrintable(error.description));
    // The same file holds the new text; no other file appeared beside it.
    QCOMPARE(nativeNames(folder), QList<QByteArray>{name});
    QCOMPARE(readNative(native), QStringLiteral("新しい\n").toUtf8());
    struct stat st {
    };
    QCOMPARE(::stat(native.constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), 0640);

    // A new file of such a name is made under its own bytes too.
    const QByteArray other = folder + "/\x82\xa0.txt";
    QVERIFY(platform::writeFileAtomically(platform::fromNativePath(other), "x", &error));
    QCOMPARE(readNative(other), QByteArray("x"));
    QCOMPARE(nativeNames(folder).size(), 2);

    // A failure names the file as the user sees it, not with broken characters.
    QVERIFY(!platform::writeFileAtomically(
        platform::fromNativePath(folder + "/missing/\x93\xfa.txt"), "x", &error));
    QCOMPARE(error.number, 76);
    QVERIFY(!error.description.contains(QChar(0xDC93)));
}

QTEST_MAIN(TextSaverTest)
#include "tst_text_saver.moc"
