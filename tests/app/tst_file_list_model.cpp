// The file list read from a folder: the names, their order and the masks match the plain
// reference (every name of the folder, filtered by matchesPattern, sorted by a comparison
// without regard to case), names that are not UTF-8 are listed and keep their bytes, and a
// refresh keeps the selection and the current entry.
#include "app/FileListBox.h"
#include "base/NativePath.h"

#include "ListedNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

using listtest::reference;

namespace
{

bool touch(const QString& folder, const QString& name)
{
    const QByteArray path = platform::toNativePath(folder + QLatin1Char('/') + name);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Names whose order depends on how case is folded: ASCII, Latin, Greek, Cyrillic, full-width
// letters, kana and kanji, digits and signs, a name outside the basic plane, and names that
// differ in case alone.
QStringList mixedNames()
{
    return {QStringLiteral("readme.TXT"),
            QStringLiteral("README.txt"),
            QStringLiteral("Readme.txt"),
            QStringLiteral("a.log"),
            QStringLiteral("B.log"),
            QStringLiteral("_under.txt"),
            QStringLiteral("[bracket].txt"),
            QStringLiteral("Zeta.jpg"),
            QStringLiteral("zeta.JPG"),
            QStringLiteral("Émile.txt"),
            QStringLiteral("émile.txt"),
            QStringLiteral("Ωmega.txt"),
            QStringLiteral("ωmega.txt"),
            QStringLiteral("Страница.txt"),
            QStringLiteral("страница.txt"),
            QStringLiteral("Ａｂｃ.txt"),
            QStringLiteral("ａＢＣ.txt"),
            QStringLiteral("straße.txt"),
            QStringLiteral("STRASSE.txt"),
            QStringLiteral("メモ.txt"),
            QStringLiteral("漢字.log"),
            QStringLiteral("ｶﾀｶﾅ.txt"),
            QStringLiteral("10.txt"),
            QStringLiteral("9.txt"),
            QStringLiteral("file with blanks.lzh"),
            QString::fromUtf8("\xF0\x90\x90\x80 deseret.txt"),
            QString::fromUtf8("\xF0\x90\x90\xA8 deseret.txt"),
            QStringLiteral("noext"),
            QStringLiteral("x.tar.gz")};
}

} // namespace

class FileListModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsTheNamesInTheReferenceOrderUnderEveryMask()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QStringList names = mixedNames();
        for (const QString& name : names)
            QVERIFY2(touch(dir.path(), name), qPrintable(name));
        // Folders and dot files are not listed.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.txt")));
        QVERIFY(touch(dir.path(), QStringLiteral(".hidden.txt")));

        app::FileListBox list;
        list.setPath(dir.path());
        QVERIFY(!list.readFailed());
        for (const QString& pattern :
             {QStringLiteral("*.*"), QStringLiteral("*.txt"), QStringLiteral("*.TXT;*.log"),
              QStringLiteral("*.jpg;*.lzh"), QStringLiteral("re*.t?t"), QStringLiteral("*"),
              QStringLiteral("*.none")}) {
            list.setPattern(pattern);
            const QStringList want = reference(names, pattern);
            QCOMPARE(list.names(), want);
            QCOMPARE(list.count(), want.size());
            for (int i = 0; i < list.count(); ++i)
                QCOMPARE(list.textAt(i), want.at(i));
        }
    }

    void manyNamesKeepTheReferenceOrder()
    {
        // Enough names that every comparison path is taken: common heads longer than the part
        // of the key kept inline, names that end inside it, mixed case at every position.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QStringList names;
        const QStringList heads = {QStringLiteral("a"),
                                   QStringLiteral("A"),
                                   QStringLiteral("averyveryverylongcommonhead_"),
                                   QStringLiteral("AVeryVeryVeryLongCommonHead_"),
                                   QStringLiteral("データ"),
                                   QStringLiteral("ﾃﾞｰﾀ")};
        for (const QString& head : heads) {
            for (int i = 0; i < 40; ++i) {
                QString name = head + QString::number(i * 7919 % 1000);
                if (i % 3 == 0)
                    name += QStringLiteral(".TxT");
                else if (i % 3 == 1)
                    name += QStringLiteral("b.txt");
                if (!names.contains(name) && touch(dir.path(), name))
                    names << name;
            }
        }
        app::FileListBox list;
        list.setPath(dir.path());
        QCOMPARE(list.names(), reference(names, QStringLiteral("*.*")));
        list.setPattern(QStringLiteral("*.txt"));
        QCOMPARE(list.names(), reference(names, QStringLiteral("*.txt")));
    }

    void namesThatAreNotUtf8AreListedAndKeepTheirBytes()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // "メモ.txt" in Shift-JIS, and a lone byte that is no text in any encoding.
        const QByteArray sjis = QByteArray::fromHex("83818382") + ".txt";
        const QByteArray odd = QByteArray("odd-") + char(0xFF) + ".log";
        for (const QByteArray& bytes : {sjis, odd}) {
            const QByteArray path = QFile::encodeName(dir.path()) + '/' + bytes;
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        QVERIFY(touch(dir.path(), QStringLiteral("plain.txt")));

        app::FileListBox list;
        list.setPath(dir.path());
        QCOMPARE(list.count(), 3);
        QStringList bytesSeen;
        for (int i = 0; i < list.count(); ++i) {
            const QString name = list.nameAt(i);
            // The name goes back to the system as the bytes it came as.
            QVERIFY(
                QFile::exists(dir.path() + QLatin1Char('/') + name) ||
                ::access(platform::toNativePath(dir.path() + QLatin1Char('/') + name).constData(),
                         F_OK) == 0);
            bytesSeen << QString::fromLatin1(platform::toNativePath(name).toHex());
        }
        QVERIFY(bytesSeen.contains(QString::fromLatin1(sjis.toHex())));
        QVERIFY(bytesSeen.contains(QString::fromLatin1(odd.toHex())));
        // Shown readably behind the mark, the real name kept apart.
        const int shown = list.rowShowing(platform::foreignNameMark() + QStringLiteral("メモ.txt"));
        QVERIFY(shown >= 0);
        QCOMPARE(platform::toNativePath(list.nameAt(shown)), sjis);
        QVERIFY(!list.model()->index(shown, 0).data(Qt::ToolTipRole).toString().isEmpty());
        // The mask sees the real name: "*.log" lets the odd name through, not the others.
        list.setPattern(QStringLiteral("*.log"));
        QCOMPARE(list.count(), 1);
        QCOMPARE(platform::toNativePath(list.names().first()), odd);
        QVERIFY(list.textAt(0).startsWith(platform::foreignNameMark()));
    }

    void refreshKeepsTheSelectionAndTheCurrentEntry()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (int i = 0; i < 10; ++i)
            QVERIFY(touch(dir.path(), QStringLiteral("f%1.txt").arg(i)));
        app::FileListBox list;
        list.setPath(dir.path());
        QCOMPARE(list.count(), 10);
        // Two runs of selected entries and one alone; the current entry is not selected.
        for (int row : {1, 2, 3, 5, 8})
            list.setRowSelected(row, true);
        list.setCurrentRow(6, QItemSelectionModel::NoUpdate);
        QCOMPARE(list.fileName(), QStringLiteral("f6.txt"));

        QSignalSpy changed(&list, &app::FileListBox::currentEntryChanged);
        QVERIFY(QFile::remove(dir.path() + QStringLiteral("/f2.txt")));
        QVERIFY(touch(dir.path(), QStringLiteral("f25.txt")));
        list.refresh();
        QCOMPARE(changed.count(), 0);
        QCOMPARE(list.selectedNames(),
                 (QStringList{QStringLiteral("f1.txt"), QStringLiteral("f3.txt"),
                              QStringLiteral("f5.txt"), QStringLiteral("f8.txt")}));
        QCOMPARE(list.fileName(), QStringLiteral("f6.txt"));
        QVERIFY(!list.isRowSelected(list.currentRow()));
        QVERIFY(list.rowShowing(QStringLiteral("f25.txt")) >= 0);
        QVERIFY(!list.isRowSelected(list.rowShowing(QStringLiteral("f25.txt"))));

        // Another folder starts with nothing selected.
        QTemporaryDir other;
        QVERIFY(touch(other.path(), QStringLiteral("f1.txt")));
        list.setPath(other.path());
        QVERIFY(list.selectedNames().isEmpty());
        QVERIFY(list.fileName().isEmpty());
    }
};

QTEST_MAIN(FileListModelTest)
#include "tst_file_list_model.moc"
