// A large folder in the file list: 20,000 names of every kind (200-byte names, CP932 names that
// are not UTF-8, Japanese UTF-8 names, names that start with "-", blanks, mixed case) are all
// listed, in the reference order, and each keeps its bytes; the mask
// switch lists the same subset as the reference.
#include "app/FileListBox.h"
#include "base/NativePath.h"

#include "ListedNames.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

using listtest::reference;
using listtest::touch;

namespace
{

// 20,000 names: a fifth of each kind.
QList<QByteArray> manyNames()
{
    QList<QByteArray> names;
    const QByteArray longHead(190, 'L');
    const QByteArray kanji = QStringLiteral("長い日本語の名前").toUtf8(); // 24 bytes
    for (int i = 0; i < 4000; ++i) {
        const QByteArray n = QByteArray::number(i * 7919 % 100000);
        // 200 bytes: a long common head, mixed case near the end.
        QByteArray longName = (i % 2 ? longHead : longHead.toLower()) + n.rightJustified(6, '0');
        names << longName + (i % 3 ? ".txt" : ".TXT");
        names.last().truncate(200);
        // CP932 "メモ" and "ﾃﾞｰﾀ" bytes, not UTF-8.
        names << QByteArray::fromHex(i % 2 ? "83818382" : "C3DEB0C0") + n +
                     (i % 4 ? ".txt" : ".log");
        QByteArray japanese;
        while (japanese.size() + kanji.size() <= 190)
            japanese += kanji;
        names << japanese + n + ".txt";
        names << "-" + n + (i % 2 ? " blank name.txt" : "-dash.jpg");
        names << (i % 2 ? "Case" : "case") + n + ".Txt";
    }
    return names;
}

} // namespace

class FileListLargeTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyNameIsListedInTheReferenceOrder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray folder = QFile::encodeName(dir.path());
        QList<QByteArray> names;
        for (const QByteArray& name : manyNames()) {
            if (touch(folder, name))
                names << name;
        }
        QCOMPARE(names.size(), 20000);
        app::FileListBox list;
        list.setPath(dir.path());
        QVERIFY(!list.readFailed());
        const QStringList all = reference(names, QStringLiteral("*.*"));
        QCOMPARE(list.count(), 20000);
        QCOMPARE(list.names(), all);
        // Each entry names a file that is there, by its own bytes.
        for (const QString& name : list.names()) {
            const QByteArray path = folder + '/' + platform::toNativePath(name);
            QVERIFY2(::access(path.constData(), F_OK) == 0, qPrintable(name));
        }
        list.setPattern(QStringLiteral("*.txt"));
        QCOMPARE(list.names(), reference(names, QStringLiteral("*.txt")));
        list.setPattern(QStringLiteral("-*;*.LOG"));
        QCOMPARE(list.names(), reference(names, QStringLiteral("-*;*.LOG")));
    }
};

QTEST_MAIN(FileListLargeTest)
#include "tst_file_list_large.moc"
