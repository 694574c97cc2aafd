// The file-operation object: its flags, its owner window and the record it hands the shell.
#include "RecordingShell.h"

#include "fileops/ClsFileOperation.h"

#include <QWidget>
#include <QtTest>

class FileOperationObjectTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void freshInstanceDefaults()
    {
        RecordingShell shell;
        fileops::clsFileOperation op(shell);
        QVERIFY(op.pShowDialog());
        QVERIFY(op.pConfirmMakeDir());
        QVERIFY(!op.pRespondDialog() && !op.pRenameOnCollision() && !op.pSimpleProgress() &&
                !op.pAllowUndo());
        QCOMPARE(op.pTarget(), quintptr(0));
        QCOMPARE(op.flags(), 0u);
    }

    void propertiesDriveTheirBits()
    {
        RecordingShell shell;
        fileops::clsFileOperation op(shell);
        op.setPConfirmMakeDir(false);
        QCOMPARE(op.flags(), 0x20u);
        QVERIFY(!op.pConfirmMakeDir());
        op.setPRespondDialog(true);
        op.setPRenameOnCollision(true);
        op.setPSimpleProgress(true);
        op.setPAllowUndo(true);
        QCOMPARE(op.flags(), 0x20u | 0x10u | 0x08u | 0x100u | 0x40u);
        op.setPShowDialog(false);
        QVERIFY(!op.pShowDialog());
        QCOMPARE(op.flags() & 0x04u, 0x04u);
        op.setPShowDialog(true);
        op.setPRespondDialog(false);
        op.setPRenameOnCollision(false);
        op.setPSimpleProgress(false);
        op.setPAllowUndo(false);
        op.setPConfirmMakeDir(true);
        QCOMPARE(op.flags(), 0u);
    }

    void targetMustBeALiveWindowOfThisProgram()
    {
        RecordingShell shell;
        fileops::clsFileOperation op(shell);
        op.setPTarget(0xDEADBEEF);
        QCOMPARE(op.pTarget(), quintptr(0));
        QWidget window;
        window.show();
        const quintptr handle = window.winId();
        op.setPTarget(handle);
        QCOMPARE(op.pTarget(), handle);
        op.mCopy(QStringLiteral("/a/x") + QChar(u'\0'), QStringLiteral("/b"));
        QCOMPARE(shell.calls.last().operation.owner, &window);
    }

    void methodsFillTheRecord()
    {
        RecordingShell shell;
        fileops::clsFileOperation op(shell);
        const QString one = QStringLiteral("/x/a.txt") + QChar(u'\0');
        QVERIFY(op.mCopy(one, QStringLiteral("/y")));
        QVERIFY(op.mMove(one, QStringLiteral("/z")));
        QVERIFY(op.mDelete(one));
        QVERIFY(op.mRename(one, QStringLiteral("/x/b.txt")));
        QCOMPARE(shell.calls.size(), 4);
        const int codes[] = {2, 1, 3, 4};
        const char* targets[] = {"/y", "/z", "", "/x/b.txt"};
        for (int i = 0; i < 4; ++i) {
            const auto& record = shell.calls.at(i).operation;
            QCOMPARE(int(record.operation), codes[i]);
            QCOMPARE(record.from, one);
            QCOMPARE(record.to, QString::fromLatin1(targets[i]));
            QCOMPARE(record.flags, 0u);
            QVERIFY(record.owner == nullptr);
        }
    }

    void cancelledOperationIsFalseAndLeavesTheInstance()
    {
        RecordingShell shell;
        shell.operationResults.enqueue(platform::Shell::kCancelled);
        shell.operationResults.enqueue(5);
        fileops::clsFileOperation op(shell);
        op.setPAllowUndo(true);
        QVERIFY(!op.mDelete(QStringLiteral("/x") + QChar(u'\0')));
        QVERIFY(!op.mCopy(QStringLiteral("/x") + QChar(u'\0'), QStringLiteral("/y")));
        QCOMPARE(op.flags(), 0x40u);
        QVERIFY(op.mDelete(QStringLiteral("/x") + QChar(u'\0')));
    }

    void recycleDeleteAsksForTheTrash()
    {
        RecordingShell shell;
        QWidget owner;
        fileops::RecycleDelete(shell, &owner, QStringLiteral("/a") + QChar(u'\0'), false);
        fileops::RecycleDelete(shell, &owner, QStringLiteral("/a") + QChar(u'\0'), true);
        QCOMPARE(shell.calls.at(0).operation.flags, 0x40u);
        QCOMPARE(shell.calls.at(1).operation.flags, 0u);
        QCOMPARE(int(shell.calls.at(0).operation.operation), 3);
        QCOMPARE(shell.calls.at(0).operation.owner, &owner);
    }
};

QTEST_MAIN(FileOperationObjectTest)
#include "tst_file_operation_object.moc"
