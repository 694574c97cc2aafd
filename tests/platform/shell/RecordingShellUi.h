#pragma once

#include "platform/shell/ShellUi.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

// The shell's questions answered from a script and recorded with their texts. A question
// without a scripted answer counts as unexpected and is answered No (Cancel for overwrite).
class RecordingShellUi final : public platform::ShellUi
{
public:
    struct Asked {
        Question question;
        QString text;
    };

    void answerOverwrite(Overwrite answer) { m_overwrite.enqueue(answer); }
    void answer(bool yes) { m_answers.enqueue(yes); }
    // Answers "cancel" at the given progress step (1 = the first).
    void cancelAtStep(int step) { m_cancelAt = step; }

    QStringList overwriteTexts;
    QList<Asked> asked;
    QStringList errors;
    int unexpected = 0;
    int steps = 0;
    int progressStarts = 0;
    int progressEnds = 0;
    // The total of the last progressStart, or of the last progressTotal when it came later,
    // and the text of the last step.
    qint64 lastTotal = -1;
    QString lastCurrent;
    // Called at every progress step, before the answer: lets a test look at the disk mid-way.
    std::function<void(int step)> onStep;

    Overwrite askOverwrite(QWidget* owner, const QString& text) override;
    bool ask(QWidget* owner, Question question, const QString& text) override;
    void showError(QWidget* owner, const QString& text) override;
    void progressStart(QWidget* owner, const QString& title, qint64 total, bool showNames) override;
    void progressTotal(qint64 total) override;
    bool progressStep(qint64 done, const QString& current) override;
    void progressEnd() override;

private:
    QQueue<Overwrite> m_overwrite;
    QQueue<bool> m_answers;
    int m_cancelAt = -1;
};
