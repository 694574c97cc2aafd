// The desktop's own dialogs of the shell: the overwrite box and its four answers, yes/no
// questions, the progress window that shows only after a second and whose cancel button
// stops the work, and one whole copy answered through the real box.
#include "ShellTestFiles.h"

#include "desktop/LinuxShell.h"
#include "desktop/QtShellUi.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using platform::QtShellUi;
using platform::ShellUi;

class ShellQtUiTest : public QObject
{
    Q_OBJECT

private:
    // Clicks the button with the text in the next message box; records the box's buttons.
    // The box may come a little later (a file operation asks from its worker): looked for
    // until it is there.
    void clickLater(const QString& button, int tries = 500)
    {
        QTimer::singleShot(tries == 500 ? 0 : 10, this, [this, button, tries] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box && tries > 0) {
                clickLater(button, tries - 1);
                return;
            }
            QVERIFY(box);
            m_boxText = box->text();
            m_buttons.clear();
            QAbstractButton* wanted = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                m_buttons << b->text();
                if (b->text() == button)
                    wanted = b;
            }
            if (wanted)
                wanted->click();
            else
                QTest::keyClick(box, Qt::Key_Escape);
        });
    }

    QStringList m_buttons;
    QString m_boxText;

private Q_SLOTS:
    void overwriteBoxOffersFourAnswers_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << QStringLiteral("はい(&Y)") << int(ShellUi::Overwrite::Yes);
        QTest::newRow("all") << QStringLiteral("すべて上書き(&A)")
                             << int(ShellUi::Overwrite::YesToAll);
        QTest::newRow("no") << QStringLiteral("いいえ(&N)") << int(ShellUi::Overwrite::No);
        QTest::newRow("cancel") << QStringLiteral("キャンセル") << int(ShellUi::Overwrite::Cancel);
        QTest::newRow("escape") << QString() << int(ShellUi::Overwrite::Cancel);
    }
    void overwriteBoxOffersFourAnswers()
    {
        QFETCH(QString, button);
        QFETCH(int, answer);
        QtShellUi ui;
        clickLater(button);
        QCOMPARE(int(ui.askOverwrite(nullptr, QStringLiteral("置き換えますか？"))), answer);
        m_buttons.sort();
        QStringList expected{QStringLiteral("はい(&Y)"), QStringLiteral("すべて上書き(&A)"),
                             QStringLiteral("いいえ(&N)"), QStringLiteral("キャンセル")};
        expected.sort();
        QCOMPARE(m_buttons, expected);
    }

    void questionsAnswerYesOnlyForYes()
    {
        QtShellUi ui;
        clickLater(QStringLiteral("はい(&Y)"));
        QVERIFY(ui.ask(nullptr, ShellUi::Question::Delete, QStringLiteral("削除しますか？")));
        QCOMPARE(m_boxText, QStringLiteral("削除しますか？"));
        clickLater(QString());
        QVERIFY(
            !ui.ask(nullptr, ShellUi::Question::CreateFolder, QStringLiteral("作成しますか？")));
    }

    void progressShowsOnlyForLongWorkAndItsCancelStopsIt()
    {
        const auto visibleProgress = []() -> QProgressDialog* {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* p = qobject_cast<QProgressDialog*>(w); p && p->isVisible())
                    return p;
            }
            return nullptr;
        };
        QtShellUi ui;
        // Work done in a fifth of a second: no window. The window's delay is measured from the
        // start, so a round that a busy machine stretched past it proves nothing and is run again.
        bool quickRoundSeen = false;
        for (int round = 0; round < 5 && !quickRoundSeen; ++round) {
            QElapsedTimer clock;
            clock.start();
            ui.progressStart(nullptr, QStringLiteral("コピーしています..."), 1000, true);
            bool everShown = false;
            for (int step = 1; step <= 20; ++step) {
                // Steps at the pace of work that takes a fifth of a second in all.
                QThread::msleep(10);
                QVERIFY(ui.progressStep(step * 50, QStringLiteral("/tmp/file%1").arg(step)));
                everShown = everShown || visibleProgress();
            }
            ui.progressEnd();
            if (clock.elapsed() < 300) {
                quickRoundSeen = true;
                QVERIFY(!everShown);
            }
        }
        if (!quickRoundSeen)
            qWarning("every quick round took 300 ms or more: the machine is too busy to check it");

        // Work that will take seconds: the window comes, and its cancel button stops it.
        ui.progressStart(nullptr, QStringLiteral("コピーしています..."), 1000, true);
        bool stopped = false;
        bool shown = false;
        for (int step = 1; step < 400 && !stopped; ++step) {
            // Steps at the pace of work that takes seconds, until the cancel button stops it.
            QThread::msleep(10);
            stopped = !ui.progressStep(step, QStringLiteral("/tmp/file%1").arg(step));
            if (QProgressDialog* dialog = visibleProgress(); dialog && !shown) {
                shown = true;
                auto* cancel = dialog->findChild<QPushButton*>();
                QVERIFY(cancel);
                QCOMPARE(cancel->text(), QStringLiteral("キャンセル"));
                cancel->click();
            }
        }
        ui.progressEnd();
        QVERIFY(shown);
        QVERIFY(stopped);
        QVERIFY(!visibleProgress());
    }

    void aQuestionOfARunningOperationSitsOnItsProgressWindow()
    {
        QWidget owner;
        owner.show();
        QtShellUi ui;
        ui.progressStart(&owner, QStringLiteral("コピーしています..."), 0, true);
        QPointer<QWidget> boxParent;
        QPointer<QWidget> progressSeen;
        bool progressVisible = false;
        const auto look = [&] {
            QTimer::singleShot(0, this, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                boxParent = box->parentWidget();
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* p = qobject_cast<QProgressDialog*>(w)) {
                        progressSeen = p;
                        progressVisible = p->isVisible();
                    }
                }
                QTest::keyClick(box, Qt::Key_Escape);
            });
        };
        // Asked before the progress window was due: it comes up first, the question on it.
        look();
        QCOMPARE(ui.askOverwrite(&owner, QStringLiteral("置き換えますか？")),
                 ShellUi::Overwrite::Cancel);
        QVERIFY(progressSeen);
        QVERIFY(progressVisible);
        QCOMPARE(boxParent.data(), progressSeen.data());
        // A yes/no question and an error message alike.
        boxParent = nullptr;
        look();
        QVERIFY(!ui.ask(&owner, ShellUi::Question::DeleteWithoutTrash, QStringLiteral("消す？")));
        QCOMPARE(boxParent.data(), progressSeen.data());
        boxParent = nullptr;
        look();
        ui.showError(&owner, QStringLiteral("コピーできません"));
        QCOMPARE(boxParent.data(), progressSeen.data());
        QVERIFY(progressVisible);
        ui.progressEnd();
        // Without a running operation, the box belongs to the owner.
        look();
        QVERIFY(!ui.ask(&owner, ShellUi::Question::Delete, QStringLiteral("削除しますか？")));
        QCOMPARE(boxParent.data(), &owner);
    }

    void aWholeCopyAnsweredThroughTheRealBox()
    {
        QTemporaryDir root;
        shelltest::writeFile(root.filePath(QStringLiteral("src/a.txt")), "new");
        shelltest::writeFile(root.filePath(QStringLiteral("dst/a.txt")), "old");
        const std::unique_ptr<platform::Shell> shell = platform::createDesktopShell();
        platform::Shell::FileOperation op;
        op.from = shelltest::pathList({root.filePath(QStringLiteral("src/a.txt"))});
        op.to = root.filePath(QStringLiteral("dst"));
        clickLater(QStringLiteral("はい(&Y)"));
        QCOMPARE(shell->fileOperation(op), 0);
        QVERIFY(m_boxText.contains(QStringLiteral("「a.txt」という名前のファイルがあります")));
        QCOMPARE(shelltest::readFile(root.filePath(QStringLiteral("dst/a.txt"))),
                 QByteArray("new"));
    }
};

QTEST_MAIN(ShellQtUiTest)
#include "tst_shell_qtui.moc"
