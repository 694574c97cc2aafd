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
        const fileops::clsFileOperation::Options options = op.options();
        QVERIFY(options.showDialog);
        QVERIFY(options.confirmMakeDir);
        QVERIFY(!options.respondDialog && !options.renameOnCollision && !options.simpleProgress &&
                !options.allowUndo);
        QCOMPARE(op.ownerWindow(), quintptr(0));
        QCOMPARE(op.flags(), 0u);
    }

    void optionsDriveTheirBits()
    {
        RecordingShell shell;
        fileops::clsFileOperation op(shell);
        fileops::clsFileOperation::Options options;
        options.confirmMakeDir = false;
        op.setOptions(options);
        QCOMPARE(op.flags(), 0x20u);
        QVERIFY(!op.options().confirmMakeDir);
        // Each switch on its own gives its bit alone.
        const struct {
            bool fileops::clsFileOperation::Options::*option;
            bool on;
            unsigned bit;
        } switches[] = {
            {&fileops::clsFileOperation::Options::respondDialog, true, 0x10u},
            {&fileops::clsFileOperation::Options::renameOnCollision, true, 0x08u},
            {&fileops::clsFileOperation::Options::simpleProgress, true, 0x100u},
            {&fileops::clsFileOperation::Options::confirmMakeDir, false, 0x20u},
            {&fileops::clsFileOperation::Options::showDialog, false, 0x04u},
            {&fileops::clsFileOperation::Options::allowUndo, true, 0x40u},
        };
        for (const auto& s : switches) {
            fileops::clsFileOperation::Options one;
            one.*s.option = s.on;
            op.setOptions(one);
            QCOMPARE(op.flags(), s.bit);
            QCOMPARE(op.options().*s.option, s.on);
        }
        options.respondDialog = options.renameOnCollision = options.simpleProgress = true;
        options.allowUndo = true;
        op.setOptions(options);
        QCOMPARE(op.flags(), 0x20u | 0x10u | 0x08u | 0x100u | 0x40u);
        options.showDialog = false;
        op.setOptions(options);
        QVERIFY(!op.options().showDialog);
        QCOMPARE(op.flags() & 0x04u, 0x04u);
        op.setOptions(fileops::clsFileOperation::Options());
        QCOMPARE(op.flags(), 0u);
    }

    void targetMustBeALiveWindowOfThisProgram()
    {
        RecordingShell shell;
        fileops::clsFileOperation op(shell);
        op.setOwnerWindow(0xDEADBEEF);
        QCOMPARE(op.ownerWindow(), quintptr(0));
        QWidget window;
        window.show();
        const quintptr handle = window.winId();
        op.setOwnerWindow(handle);
        QCOMPARE(op.ownerWindow(), handle);
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
        fileops::clsFileOperation::Options undo;
        undo.allowUndo = true;
        op.setOptions(undo);
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
