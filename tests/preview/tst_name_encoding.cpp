// The encoding of a ZIP archive's names, chosen by the user at the archive list: the list is
// read again in it, the library's extraction follows it, and the archive keeps its choice.
#include "RecordingMci.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "TestFolders.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "archive/MemberListing.h"

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QMenu>
#include <QProcess>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class NameEncodingTest : public QObject
{
    Q_OBJECT

    struct Run {
        TestProgramFolder program;
        QTemporaryDir browse;
        RecordingPrompts prompts;
        RecordingShell shell;
        RecordingMci mci;
        std::unique_ptr<app::Application> app;
        Run()
        {
            const QString lib =
                qEnvironmentVariable("KORAMO_BUILD_BIN") + QStringLiteral("/libunzip32.so");
            QFile::copy(lib, program.path() + QStringLiteral("/libunzip32.so"));
            QProcess python;
            python.start(QStringLiteral("python3"),
                         {QStringLiteral(KORAMO_NAME_FIXTURES), QStringLiteral("eucjp"),
                          browse.path() + QStringLiteral("/euc.zip")});
            python.waitForFinished();
            QFile text(browse.path() + QStringLiteral("/a.txt"));
            if (text.open(QIODevice::WriteOnly))
                text.write("a");
            text.close();
            app = std::make_unique<app::Application>(prompts, shell, mci);
            app->startUp({browse.path()});
        }
        app::MainWindow* w() const { return app->mainWindow(); }
        void click(const QString& name) const
        {
            app::FileListBox* list = w()->fileList();
            const int found = list->rowShowing(name);
            QVERIFY2(found >= 0, qPrintable(name));
            list->scrollTo(list->model()->index(found, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(found, 0)).center());
        }
        QTreeWidget* members() const
        {
            return w()->form()->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
        }
        QStringList names() const
        {
            // The list is filled by a worker.
            if (!QTest::qWaitFor(
                    [this] { return !archive::MemberListing::of(members())->running(); }, 20000))
                return {QStringLiteral("still listing")};
            QStringList out;
            for (int i = 0; i < members()->topLevelItemCount(); ++i)
                out << members()->topLevelItem(i)->text(0);
            return out;
        }
        QToolButton* button() const
        {
            return w()->form()->findChild<QToolButton*>(QStringLiteral("NameEncoding"));
        }
        void choose(const QString& encoding) const
        {
            for (QAction* action : button()->menu()->actions()) {
                if (action->data().toString() == encoding) {
                    action->trigger();
                    return;
                }
            }
            QFAIL(qPrintable(QStringLiteral("no choice ") + encoding));
        }
    };

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void chosenEncodingListsAndExtracts()
    {
        Run run;
        QVERIFY(QFile::exists(run.browse.path() + QStringLiteral("/euc.zip")));
        run.click(QStringLiteral("euc.zip"));
        QVERIFY(run.members()->isVisible());
        QVERIFY(run.button());
        QVERIFY(run.button()->isVisible());
        // The formats that offer the choice share the list's one button.
        QCOMPARE(run.w()->form()->findChildren<QToolButton*>(QStringLiteral("NameEncoding")).size(),
                 1);
        // The guess takes the EUC-JP name for CP932; the flagged name is right.
        const QStringList guessed = run.names();
        QCOMPARE(guessed.size(), 2);
        QVERIFY(guessed.at(0) != QStringLiteral("日本語の名前.txt"));
        QCOMPARE(guessed.at(1), QStringLiteral("旗付き.txt"));

        run.choose(QStringLiteral("EUC-JP"));
        QCOMPARE(run.names(),
                 (QStringList{QStringLiteral("日本語の名前.txt"), QStringLiteral("旗付き.txt")}));
        QVERIFY(run.button()->text().contains(QStringLiteral("EUC-JP")));

        // Extraction through the library follows the choice.
        QLibrary unzip(run.program.path() + QStringLiteral("/libunzip32.so"));
        using Command = int (*)(quintptr, const char*, char*, quint32);
        auto command = reinterpret_cast<Command>(unzip.resolve("UnZip"));
        QVERIFY(command);
        const QString out = run.browse.path() + QStringLiteral("/out/");
        const QByteArray line = (QStringLiteral("-x \"") + run.browse.path() +
                                 QStringLiteral("/euc.zip\" \"") + out + QLatin1Char('"'))
                                    .toUtf8();
        QByteArray report(2048, '\0');
        QCOMPARE(command(0, line.constData(), report.data(), 2048), 0);
        QVERIFY2(QFile::exists(out + QStringLiteral("日本語の名前.txt")), report.constData());

        // Another file hides the button; the archive keeps its choice when shown again.
        run.click(QStringLiteral("a.txt"));
        QVERIFY(!run.button()->isVisible());
        run.click(QStringLiteral("euc.zip"));
        QVERIFY(run.button()->isVisible());
        QCOMPARE(run.names().first(), QStringLiteral("日本語の名前.txt"));

        // Back to the guess.
        run.choose(QString());
        QCOMPARE(run.names(), guessed);
        QVERIFY(run.prompts.shown().isEmpty());
    }
};

QTEST_MAIN(NameEncodingTest)
#include "tst_name_encoding.moc"
