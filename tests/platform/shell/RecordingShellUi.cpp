#include "RecordingShellUi.h"

RecordingShellUi::Overwrite RecordingShellUi::askOverwrite(QWidget*, const QString& text)
{
    overwriteTexts.append(text);
    if (m_overwrite.isEmpty()) {
        ++unexpected;
        return Overwrite::Cancel;
    }
    return m_overwrite.dequeue();
}

bool RecordingShellUi::ask(QWidget*, Question question, const QString& text)
{
    asked.append({question, text});
    if (m_answers.isEmpty()) {
        ++unexpected;
        return false;
    }
    return m_answers.dequeue();
}

void RecordingShellUi::showError(QWidget*, const QString& text)
{
    errors.append(text);
}

void RecordingShellUi::progressStart(QWidget*, const QString&, qint64, bool)
{
    ++progressStarts;
}

bool RecordingShellUi::progressStep(qint64, const QString&)
{
    ++steps;
    if (onStep)
        onStep(steps);
    return m_cancelAt < 0 || steps < m_cancelAt;
}

void RecordingShellUi::progressEnd()
{
    ++progressEnds;
}
