// Saving from the editor where permissions stand in the way (run as an ordinary user): the old
// file stays as it was, the user is told, and nothing half-written is left behind.
#include "RecordingPrompts.h"
#include "TestFiles.h"

#include "editor/TextEditorWindow.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <unistd.h>

using editor::TextEditorWindow;
using P = platform::Prompts;

namespace
{

const auto kReadOnly = QFileDevice::ReadOwner | QFileDevice::ReadUser | QFileDevice::ReadGroup |
                       QFileDevice::ReadOther;
const auto kFolderReadOnly = kReadOnly | QFileDevice::ExeOwner | QFileDevice::ExeUser |
                             QFileDevice::ExeGroup | QFileDevice::ExeOther;

} // namespace

class EditorPermissionsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (::geteuid() == 0)
            QSKIP("permissions do not stop the superuser (run through run_unprivileged.sh)");
    }

    void cases()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        RecordingPrompts prompts;
        TextEditorWindow window(prompts);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.richTextBox()->setPlainText(QStringLiteral("新しい内容"));

        // A read-only file: asked, made writable on "Yes", then saved.
        const QString readOnly = dir.filePath(QStringLiteral("ro.txt"));
        QVERIFY(writeAll(readOnly, "old"));
        QVERIFY(QFile::setPermissions(readOnly, kReadOnly));
        prompts.answerMessage(P::No); // keep it read-only
        QVERIFY(!window.saveTo(readOnly, 1));
        prompts.answerMessage(P::Yes);
        prompts.answerMessage(P::No);
        QVERIFY(!window.saveTo(readOnly, 1));
        QCOMPARE(readAll(readOnly), QByteArray("old"));
        QCOMPARE(QFile::permissions(readOnly) & QFileDevice::WriteOwner,
                 QFileDevice::Permissions());
        prompts.answerMessage(P::Yes);
        prompts.answerMessage(P::Yes);
        QVERIFY(window.saveTo(readOnly, 1));
        QCOMPARE(readAll(readOnly), QStringLiteral("新しい内容").toUtf8());

        // A writable file in a read-only folder: the replacement cannot be made beside it.
        const QString folder = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(folder));
        const QString inside = folder + QStringLiteral("/a.txt");
        QVERIFY(writeAll(inside, "old"));
        const QString roFile = folder + QStringLiteral("/b.txt");
        QVERIFY(writeAll(roFile, "old b"));
        QVERIFY(QFile::setPermissions(roFile, kReadOnly));
        QVERIFY(QFile::setPermissions(folder, kFolderReadOnly));
        prompts.clear();
        prompts.answerMessage(P::Yes);
        prompts.expectMessages(1);
        QVERIFY(!window.saveTo(inside, 1));
        QCOMPARE(prompts.shown().last().title, QStringLiteral("エラー"));
        QVERIFY(prompts.shown().last().text.contains(QStringLiteral("a.txt")));
        QCOMPARE(readAll(inside), QByteArray("old"));
        // A new file there fails the same way.
        prompts.expectMessages(1);
        QVERIFY(!window.saveTo(folder + QStringLiteral("/new.rtf"), 2));
        // A read-only file there: made writable on "Yes", but the save still fails; the file
        // keeps its contents and is read-only again.
        prompts.answerMessage(P::Yes);
        prompts.answerMessage(P::Yes);
        prompts.expectMessages(1);
        QVERIFY(!window.saveTo(roFile, 1));
        QCOMPARE(readAll(roFile), QByteArray("old b"));
        QCOMPARE(QFile::permissions(roFile) & QFileDevice::WriteOwner, QFileDevice::Permissions());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        QCOMPARE(prompts.unexpectedCount(), 0);
        QVERIFY(QFile::setPermissions(folder, kFolderReadOnly | QFileDevice::WriteOwner));
        window.richTextBox()->document()->setModified(false);
    }
};

QTEST_MAIN(EditorPermissionsTest)
#include "tst_editor_permissions.moc"
