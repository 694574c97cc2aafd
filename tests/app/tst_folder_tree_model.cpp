// The folder tree's model against real folders: names the system gives that are not UTF-8 or
// are long, namesakes under different parents, the rows after a folder is read again with
// changes scattered through a long list, and a folder removed while it is being read. Each row
// read back must lead to its parent and its own place again.
#include "app/FolderTreeModel.h"
#include "base/NativePath.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace
{

QStringList rowsOf(app::FolderTreeModel& model, const QModelIndex& parent)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (model.parent(index) != parent || model.indexOf(model.filePath(index)) != index)
            return {QStringLiteral("row %1 does not lead back").arg(row)};
        names << model.fileName(index);
    }
    return names;
}

QString numbered(int n)
{
    return QStringLiteral("f%1").arg(n, 3, 10, QLatin1Char('0'));
}

} // namespace

class FolderTreeModelTest : public QObject
{
    Q_OBJECT

    // The entry of a path once the folders on the way are read.
    static QModelIndex reach(app::FolderTreeModel& model, const QString& path)
    {
        QModelIndex index;
        [&] { QTRY_VERIFY((index = model.indexOf(path)).isValid()); }();
        return index;
    }

private Q_SLOTS:
    void foreignLongAndNamesakeNames()
    {
        QTemporaryDir root;
        const QByteArray base = QFile::encodeName(root.path());
        const QByteArray cp932 = "\x83\x65\x83\x58\x83\x67"; // "テスト" in CP932
        const QByteArray longName(200, 'n');
        const QList<QByteArray> subs = {"/a",      "/b",          "/a/same",
                                        "/b/same", "/a/" + cp932, "/a/" + longName,
                                        "/a/10",   "/a/9",        "/b/same/only-in-b"};
        for (const QByteArray& sub : subs)
            QVERIFY(::mkdir(QByteArray(base + sub).constData(), 0700) == 0);

        app::FolderTreeModel model{QIcon()};
        const QString a = root.path() + QStringLiteral("/a");
        const QString foreign = a + QLatin1Char('/') + platform::fromNativePath(cp932);
        const QModelIndex shown = reach(model, foreign);
        QCOMPARE(platform::toNativePath(model.filePath(shown)), QByteArray(base + "/a/" + cp932));
        QCOMPARE(shown.data().toString(), platform::displayName(model.fileName(shown)));
        QVERIFY(shown.data().toString().endsWith(QStringLiteral("テスト")));
        const QModelIndex longOne =
            reach(model, a + QLatin1Char('/') + QString::fromLatin1(longName));
        QCOMPARE(model.fileName(longOne).size(), 200);
        QCOMPARE(model.parent(longOne), reach(model, a));
        // Every row's parent is the folder it came from.
        const QStringList rows = rowsOf(model, reach(model, a));
        QCOMPARE(rows.size(), 5);
        const QModelIndex inA = reach(model, a + QStringLiteral("/same"));
        const QModelIndex inB = reach(model, root.path() + QStringLiteral("/b/same"));
        QVERIFY(inA != inB);
        QCOMPARE(model.filePath(inB), root.path() + QStringLiteral("/b/same"));
        QVERIFY(reach(model, root.path() + QStringLiteral("/b/same/only-in-b")).isValid());
        QCOMPARE(model.parent(inB).row(), reach(model, root.path() + QStringLiteral("/b")).row());
        QVERIFY(!model.indexOf(a + QStringLiteral("/same/only-in-b")).isValid());
    }

    // Few changes come in as ranges, many as one; either way the rows end in the folder's order
    // and a row that stayed keeps its entry.
    void readAgainAfterChanges_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("a few ranges") << 97;
        QTest::newRow("changes everywhere") << 3;
    }
    void readAgainAfterChanges()
    {
        QFETCH(int, step);
        QTemporaryDir root;
        const QString big = root.path() + QStringLiteral("/big");
        for (int n = 0; n < 600; n += 2)
            QVERIFY(QDir().mkpath(big + QLatin1Char('/') + numbered(n)));
        app::FolderTreeModel model{QIcon()};
        const QPersistentModelIndex kept = reach(model, big + QStringLiteral("/f598"));
        QCOMPARE(model.rowCount(model.indexOf(big)), 300);

        QStringList expected;
        for (int n = 0; n < 600; ++n) {
            const bool had = n % 2 == 0;
            const bool change = n % step == 0 && n != 598;
            const QString path = big + QLatin1Char('/') + numbered(n);
            if (had && change)
                QVERIFY(QDir().rmdir(path));
            else if (!had && change)
                QVERIFY(QDir().mkdir(path));
            if (had != change)
                expected << numbered(n);
        }
        QSignalSpy loaded(&model, &app::FolderTreeModel::directoryLoaded);
        model.reread(big);
        QTRY_COMPARE(loaded.size(), 1);
        QCOMPARE(rowsOf(model, model.indexOf(big)), expected);
        if (step > 64) {
            QVERIFY(kept.isValid());
            QCOMPARE(model.fileName(kept), QStringLiteral("f598"));
        }
    }

    void folderRemovedWhileRead()
    {
        QTemporaryDir root;
        const QString parent = root.path() + QStringLiteral("/p");
        QVERIFY(QDir().mkpath(parent + QStringLiteral("/gone/inside")));
        QVERIFY(QDir().mkpath(parent + QStringLiteral("/stays")));
        app::FolderTreeModel model{QIcon()};
        const QModelIndex gone = reach(model, parent + QStringLiteral("/gone"));
        QSignalSpy loaded(&model, &app::FolderTreeModel::directoryLoaded);
        // Its read starts, then it goes and its parent is read again before either result is in.
        model.fetchMore(gone);
        QVERIFY(QDir(parent + QStringLiteral("/gone")).removeRecursively());
        model.reread(parent);
        QTRY_VERIFY(loaded.contains(QVariantList{parent}));
        QTRY_COMPARE(rowsOf(model, model.indexOf(parent)), QStringList{QStringLiteral("stays")});
        QVERIFY(!model.indexOf(parent + QStringLiteral("/gone")).isValid());
        // Made again with other contents, the new folder shows what it holds now.
        QVERIFY(QDir().mkpath(parent + QStringLiteral("/gone/new")));
        model.reread(parent);
        QTRY_VERIFY(model.indexOf(parent + QStringLiteral("/gone/new")).isValid());
        QVERIFY(!model.indexOf(parent + QStringLiteral("/gone/inside")).isValid());
    }
};

QTEST_MAIN(FolderTreeModelTest)
#include "tst_folder_tree_model.moc"
