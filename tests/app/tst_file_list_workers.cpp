// Folders too large to list at once: the rest is read and ordered on a worker while the window
// answers. Only the folder asked for last is shown, a refresh keeps the selection, names that
// are not UTF-8 and 200-byte names keep their order and bytes, a folder removed while it is read
// leaves nothing behind, and a new mask over many names shows only the last mask's entries. A
// reading begun before the list existed is shown only for its own folder.
#include "app/EarlyFolderRead.h"
#include "app/FileListBox.h"
#include "base/NativePath.h"

#include "ListedNames.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

using listtest::reference;
using listtest::touch;

namespace
{

// More files than are listed at once, of every kind: plain, mixed case, 200-byte names, CP932
// bytes that are not UTF-8, Japanese UTF-8.
QList<QByteArray> makeNames(const QByteArray& folder, int count)
{
    QList<QByteArray> names;
    const QByteArray longHead(188, 'x');
    const QByteArray kanji = QStringLiteral("資料").toUtf8();
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i * 7919 % 1000003).rightJustified(7, '0');
        QByteArray name;
        switch (i % 5) {
        case 0:
            name = "file" + n + (i % 2 ? ".txt" : ".log");
            break;
        case 1:
            name = (i % 3 ? "File" : "FILE") + n + ".Txt";
            break;
        case 2:
            name = (i % 2 ? longHead : longHead.toUpper()) + n + ".txt"; // 199 or 200 bytes
            name += i % 4 ? "" : "x";
            break;
        case 3:
            name = QByteArray::fromHex(i % 2 ? "83818382" : "C3DEB0C0") + n + ".txt";
            break;
        default:
            name = kanji + n + ".jpg";
        }
        if (touch(folder, name))
            names << name;
    }
    return names;
}

// Removes a folder and everything in it, names that are not UTF-8 too (which QDir cannot).
void removeTree(const QString& path)
{
    const QByteArray native = platform::toNativePath(path);
    ::nftw(
        native.constData(),
        [](const char* name, const struct stat*, int, FTW*) { return ::remove(name); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// A temporary folder removed with everything in it however the test ends.
class Folder final
{
public:
    Folder() = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder() { removeTree(m_dir.path()); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Lets every worker end and hands their results to the list, shown or not.
void settleWorkers()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}

} // namespace

class FileListWorkersTest final : public QObject
{
    Q_OBJECT

    Folder m_big;
    QList<QByteArray> m_names;

private Q_SLOTS:
    void initTestCase()
    {
        m_names = makeNames(QFile::encodeName(m_big.path()), 60000);
        QCOMPARE(m_names.size(), 60000);
    }

    void aLargeFolderIsListedWholeInTheReferenceOrder()
    {
        app::FileListBox list;
        QSignalSpy listed(&list, &app::FileListBox::listed);
        list.setPath(m_big.path());
        QVERIFY(!list.readFailed());
        QVERIFY(list.isListing());
        QVERIFY(listed.wait(60000));
        QVERIFY(!list.isListing());
        QCOMPARE(list.count(), m_names.size());
        QCOMPARE(list.names(), reference(m_names, QStringLiteral("*.*")));
        // Each entry goes back to the system as its own bytes.
        for (int row : {0, 1, list.count() / 2, list.count() - 1}) {
            const QByteArray path =
                QFile::encodeName(m_big.path()) + '/' + platform::toNativePath(list.nameAt(row));
            QVERIFY2(::access(path.constData(), F_OK) == 0, path.constData());
        }
    }

    void theFolderAskedForLastWins()
    {
        Folder small;
        QVERIFY(touch(QFile::encodeName(small.path()), "only.txt"));
        app::FileListBox list;
        list.setPath(m_big.path());
        QVERIFY(list.isListing());
        list.setPath(small.path());
        QCOMPARE(list.names(), QStringList{QStringLiteral("only.txt")});
        settleWorkers();
        QCOMPARE(list.path(), small.path());
        QCOMPARE(list.names(), QStringList{QStringLiteral("only.txt")});
        QVERIFY(!list.isListing());

        // The large folder read to its end, its entries already on their way to the list when
        // the other folder is asked for: they are not shown.
        list.setPath(m_big.path());
        QThreadPool::globalInstance()->waitForDone();
        list.setPath(small.path());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(list.names(), QStringList{QStringLiteral("only.txt")});

        // Two large readings one after the other: the second one's folder is shown.
        Folder second;
        const QList<QByteArray> secondNames = makeNames(QFile::encodeName(second.path()), 30000);
        list.setPath(m_big.path());
        list.setPath(second.path());
        settleWorkers();
        QCOMPARE(list.names(), reference(secondNames, QStringLiteral("*.*")));
    }

    void aRefreshKeepsTheSelectionAndTheCurrentEntry()
    {
        Folder dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        QList<QByteArray> names = makeNames(folder, 30000);
        app::FileListBox list;
        QSignalSpy listed(&list, &app::FileListBox::listed);
        list.setPath(dir.path());
        QVERIFY(listed.wait(60000));
        const int last = list.count() - 1;
        for (int row : {3, 4, 5, 20000, last})
            list.setRowSelected(row, true);
        list.setCurrentRow(17, QItemSelectionModel::NoUpdate);
        const QString current = list.fileName();
        QStringList selected = list.selectedNames();
        QCOMPARE(selected.size(), 5);
        // One selected file goes, another file comes.
        const QByteArray gone = folder + '/' + platform::toNativePath(selected.at(1));
        QCOMPARE(::unlink(gone.constData()), 0);
        selected.removeAt(1);
        QVERIFY(touch(folder, "new.txt"));

        QSignalSpy changed(&list, &app::FileListBox::currentEntryChanged);
        list.refresh();
        // Until the new reading is in, the entries read before stay as they were.
        QVERIFY(list.isListing());
        QCOMPARE(list.count(), last + 1);
        QCOMPARE(list.fileName(), current);
        QVERIFY(listed.wait(60000));
        QVERIFY(!list.isListing());
        QCOMPARE(list.count(), last + 1);
        QCOMPARE(list.selectedNames(), selected);
        QCOMPARE(list.fileName(), current);
        QVERIFY(!list.isRowSelected(list.currentRow()));
        QVERIFY(!list.isRowSelected(list.rowOf(QStringLiteral("new.txt"))));
        QCOMPARE(changed.count(), 0);
    }

    void aFolderRemovedWhileItIsReadLeavesNothing()
    {
        Folder dir;
        makeNames(QFile::encodeName(dir.path()), 30000);
        app::FileListBox list;
        list.setPath(dir.path());
        QVERIFY(list.isListing());
        removeTree(dir.path());
        QVERIFY(!QFileInfo::exists(dir.path()));
        list.refresh();
        QVERIFY(list.readFailed());
        QCOMPARE(list.count(), 0);
        // The reading that had begun before does not fill the list afterwards.
        settleWorkers();
        QVERIFY(list.readFailed());
        QCOMPARE(list.count(), 0);
        QVERIFY(!list.isListing());
    }

    void aNewMaskOverManyNamesShowsTheLastMask()
    {
        app::FileListBox list;
        QSignalSpy listed(&list, &app::FileListBox::listed);
        // A mask given while the folder is still read is the one the reading ends with.
        list.setPath(m_big.path());
        list.setPattern(QStringLiteral("*.log"));
        QVERIFY(listed.wait(60000));
        QTRY_VERIFY_WITH_TIMEOUT(!list.isListing(), 60000);
        QCOMPARE(list.names(), reference(m_names, QStringLiteral("*.log")));
        // Masks one after the other over the names kept: only the last one is shown, and the
        // folder is not read again (files made meanwhile stay out until a refresh).
        QVERIFY(touch(QFile::encodeName(m_big.path()), "late.txt"));
        list.setPattern(QStringLiteral("*.txt"));
        list.setPattern(QStringLiteral("F*;*.JPG"));
        settleWorkers();
        QVERIFY(!list.isListing());
        QCOMPARE(list.names(), reference(m_names, QStringLiteral("F*;*.JPG")));
        list.setPattern(QStringLiteral("*.txt"));
        settleWorkers();
        QCOMPARE(list.names(), reference(m_names, QStringLiteral("*.txt")));
        QCOMPARE(list.rowOf(QStringLiteral("late.txt")), -1);
        QVERIFY(QFile::remove(m_big.path() + QStringLiteral("/late.txt")));
    }

    // A reading begun before the list exists (the program started on a folder) is shown as the
    // list's own reading would be, when the list is asked for that folder under any spelling.
    void aReadingBegunEarlyIsTakenForTheSameFolder()
    {
        using app::EarlyFolderRead;
        constexpr qsizetype atOnce = app::FileListBox::kListedAtOnce;
        {
            EarlyFolderRead::start(m_big.path() + QStringLiteral("/./"), atOnce);
            // What the list shows is that reading: a file made after it is not in it.
            QThreadPool::globalInstance()->waitForDone();
            QVERIFY(touch(QFile::encodeName(m_big.path()), "late.txt"));
            app::FileListBox list;
            QSignalSpy listed(&list, &app::FileListBox::listed);
            list.setPath(m_big.path() + QStringLiteral("//"));
            QVERIFY(!EarlyFolderRead::take(m_big.path())); // the list has it
            QVERIFY(!list.readFailed());
            QVERIFY(listed.wait(60000));
            QVERIFY(!list.isListing());
            QCOMPARE(list.names(), reference(m_names, QStringLiteral("*.*")));
            list.refresh();
            QVERIFY(listed.wait(60000));
            QVERIFY(list.rowOf(QStringLiteral("late.txt")) >= 0);
            QVERIFY(QFile::remove(m_big.path() + QStringLiteral("/late.txt")));
        }
        // A small folder of hostile names is shown at once, before setPath() returns.
        Folder small;
        const QByteArray smallFolder = QFile::encodeName(small.path());
        QList<QByteArray> smallNames;
        for (const QByteArray& name :
             {QByteArray("-rf"), QByteArray(" lead and trail "), QByteArray("quote\"'s\".txt"),
              QByteArray(QByteArray::fromHex("83818382") + ".txt"), QByteArray(200, 'n')}) {
            QVERIFY(touch(smallFolder, name));
            smallNames << name;
        }
        {
            EarlyFolderRead::start(small.path(), atOnce);
            QThreadPool::globalInstance()->waitForDone();
            QVERIFY(touch(smallFolder, "late.txt"));
            app::FileListBox list;
            list.setPath(small.path());
            QVERIFY(!EarlyFolderRead::take(small.path()));
            QVERIFY(!list.isListing());
            QCOMPARE(list.names(), reference(smallNames, QStringLiteral("*.*")));
            smallNames << "late.txt";
            list.refresh();
            QCOMPARE(list.names(), reference(smallNames, QStringLiteral("*.*")));
        }
        // A folder that could not be read early is tried again when the list asks for it.
        {
            const QString later = small.path() + QStringLiteral("/-later");
            EarlyFolderRead::start(later, atOnce);
            QThreadPool::globalInstance()->waitForDone();
            QVERIFY(QDir().mkdir(later));
            QVERIFY(touch(QFile::encodeName(later), "made.txt"));
            app::FileListBox list;
            list.setPath(later);
            QVERIFY(!list.readFailed());
            QCOMPARE(list.names(), QStringList{QStringLiteral("made.txt")});
            list.setPath(small.path() + QStringLiteral("/missing"));
            QVERIFY(list.readFailed());
        }
    }

    void aReadingBegunEarlyForAnotherFolderIsNotShown()
    {
        using app::EarlyFolderRead;
        constexpr qsizetype atOnce = app::FileListBox::kListedAtOnce;
        Folder small;
        QVERIFY(touch(QFile::encodeName(small.path()), "only.txt"));
        // Not taken by a list asked for another folder; withdrawn, it is gone.
        EarlyFolderRead::start(m_big.path(), atOnce);
        {
            app::FileListBox list;
            list.setPath(small.path());
            QCOMPARE(list.names(), QStringList{QStringLiteral("only.txt")});
        }
        EarlyFolderRead::withdraw();
        QVERIFY(!EarlyFolderRead::take(m_big.path()));
        // A second start replaces the first.
        EarlyFolderRead::start(m_big.path(), atOnce);
        EarlyFolderRead::start(small.path(), atOnce);
        QVERIFY(!EarlyFolderRead::take(m_big.path()));
        QVERIFY(EarlyFolderRead::take(small.path()));
        // Taken, then left for another folder while it is still read: nothing of it shows.
        EarlyFolderRead::start(m_big.path(), atOnce);
        app::FileListBox list;
        list.setPath(m_big.path());
        QVERIFY(list.isListing());
        list.setPath(small.path());
        settleWorkers();
        QCOMPARE(list.path(), small.path());
        QCOMPARE(list.names(), QStringList{QStringLiteral("only.txt")});
        QVERIFY(!list.isListing());
        // Taken and read to its end before the list shows it, then left: still nothing of it.
        EarlyFolderRead::start(m_big.path(), atOnce);
        QThreadPool::globalInstance()->waitForDone();
        list.setPath(m_big.path());
        QThreadPool::globalInstance()->waitForDone();
        list.setPath(small.path());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(list.names(), QStringList{QStringLiteral("only.txt")});
    }
};

QTEST_MAIN(FileListWorkersTest)
#include "tst_file_list_workers.moc"
