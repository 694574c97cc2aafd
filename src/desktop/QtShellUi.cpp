#include "desktop/QtShellUi.h"

#include "desktop/Prompts.h"

#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

namespace platform
{

namespace
{
constexpr int kProgressRange = 1000;
// The window shows once the work has lasted this long, moving bar or not.
constexpr int kShowAfterMs = 400;
} // namespace

QtShellUi::~QtShellUi()
{
    progressEnd();
}

QWidget* QtShellUi::questionOwner(QWidget* owner)
{
    if (!m_progress)
        return owner;
    // A question or message of a running operation sits on its progress window, which is up
    // by then, so that the window never comes up over it.
    if (!m_progress->isVisible())
        m_progress->show();
    return m_progress;
}

ShellUi::Overwrite QtShellUi::askOverwrite(QWidget* owner, const QString& text)
{
    QMessageBox box(questionOwner(owner));
    box.setWindowTitle(QStringLiteral("上書きの確認"));
    box.setIcon(QMessageBox::Warning);
    box.setText(text);
    QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* all = box.addButton(QStringLiteral("すべて上書き(&A)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(cancel);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes)
        return Overwrite::Yes;
    if (clicked == all)
        return Overwrite::YesToAll;
    if (clicked == no)
        return Overwrite::No;
    return Overwrite::Cancel;
}

bool QtShellUi::ask(QWidget* owner, Question question, const QString& text)
{
    QMessageBox box(questionOwner(owner));
    switch (question) {
    case Question::CreateFolder:
        box.setWindowTitle(QStringLiteral("フォルダの作成"));
        box.setIcon(QMessageBox::Question);
        break;
    case Question::Delete:
    case Question::DeleteWithoutTrash:
        box.setWindowTitle(QStringLiteral("削除の確認"));
        box.setIcon(QMessageBox::Warning);
        break;
    case Question::DeleteToTrash:
        box.setWindowTitle(QStringLiteral("ごみ箱へ移動"));
        box.setIcon(QMessageBox::Question);
        break;
    }
    box.setText(text);
    QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(question == Question::CreateFolder ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void QtShellUi::showError(QWidget* owner, const QString& text)
{
    QMessageBox box(questionOwner(owner));
    box.setWindowTitle(applicationTitle());
    box.setIcon(QMessageBox::Critical);
    box.setText(text);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

void QtShellUi::progressStart(QWidget* owner, const QString& title, qint64 total, bool showNames)
{
    progressEnd();
    m_total = total > 0 ? total : 1;
    m_showNames = showNames;
    m_cancelled = false;
    m_progress = new QProgressDialog(owner);
    m_progress->setObjectName(QStringLiteral("shellProgress"));
    m_progress->setWindowTitle(title);
    m_progress->setLabelText(title);
    m_progress->setCancelButtonText(QStringLiteral("キャンセル"));
    // Until the total is known (the items are being counted) the bar only shows activity.
    m_progress->setRange(0, total > 0 ? kProgressRange : 0);
    // Not modal: a modal progress dialog lets events through on every new value. Other windows
    // take no input while the operation runs (see LinuxShell).
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(kShowAfterMs);
    m_progress->setMinimumWidth(420);
    m_progress->setValue(0);
    m_sinceEvents.start();
    m_sinceStart.start();
}

void QtShellUi::progressTotal(qint64 total)
{
    m_total = total > 0 ? total : 1;
    if (m_progress)
        m_progress->setRange(0, kProgressRange);
}

bool QtShellUi::progressStep(qint64 done, const QString& current)
{
    if (!m_progress)
        return !m_cancelled;
    // The window is only updated here; the operation runs elsewhere and the windows' thread
    // keeps answering on its own. Repaints are spaced out so as not to cost the work time.
    if (m_sinceEvents.elapsed() >= 40) {
        m_sinceEvents.restart();
        if (m_showNames && !current.isEmpty())
            m_progress->setLabelText(current);
        const int value = int(qMin<qint64>(kProgressRange, done * kProgressRange / m_total));
        if (value != m_progress->value())
            m_progress->setValue(value);
        // A bar that does not move (counting, one large item) still shows soon.
        if (!m_progress->isVisible() && m_sinceStart.elapsed() >= kShowAfterMs)
            m_progress->show();
    }
    if (m_progress->wasCanceled())
        m_cancelled = true;
    return !m_cancelled;
}

void QtShellUi::progressEnd()
{
    if (m_progress) {
        m_progress->hide();
        delete m_progress.data();
    }
}

} // namespace platform
