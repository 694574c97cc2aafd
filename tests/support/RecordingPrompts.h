#pragma once

#include "desktop/Prompts.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <optional>

// The prompts test double: every box is recorded (text, title, icon, buttons) and answered
// from a script. A box that finds no scripted answer fails the running test at once (with its
// text in the failure message) and is answered with Cancel (No for a Yes/No question, OK for
// an OK-only box), so the program goes on as if the user had dismissed it.
//
// A test that expects a box says so before it comes: answerMessage() / answerText() script
// the answer, expectMessages() lets message boxes through with the dismissing answer.
class RecordingPrompts final : public platform::Prompts
{
public:
    struct Box {
        QString kind; // "message", "input", "folder", "open", "open files", "save", "font", "color"
        QString text; // a filtered save dialog: its filters, joined by ";;"
        QString title;
        int icon = 0;
        int buttons = 0;
    };

    void answerMessage(Answer answer) { m_answers.enqueue(answer); }
    void answerText(const QString& text) { m_texts.enqueue(text); }
    // The files the next several-file open dialog returns (none: cancelled).
    void answerFiles(const QStringList& files) { m_files.enqueue(files); }
    // The filter (from 1) the next filtered save dialog reports; without one it reports the
    // filter it was opened with.
    void answerFilter(int index) { m_filters.enqueue(index); }
    // The next count message boxes are expected; each is answered as the user dismissing it.
    void expectMessages(int count = 1);

    const QList<Box>& shown() const { return m_shown; }
    int unexpectedCount() const { return m_unexpected; }
    void clear()
    {
        m_shown.clear();
        m_unexpected = 0;
    }

    Answer message(QWidget* owner, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    QString input(QWidget* owner, const QString& prompt, const QString& title,
                  const QString& initial) override;
    QString pickFolder(QWidget* owner, const QString& prompt) override;
    QString openFileName(QWidget* owner, const QString& title, const QString& filter) override;
    QStringList openFileNames(QWidget* owner, const QString& title, const QString& filter) override;
    QString saveFileName(QWidget* owner, const QString& title, const QString& filter,
                         const QString& initial) override;
    QString saveFileNameFiltered(QWidget* owner, const QString& title, const QStringList& filters,
                                 const QString& initial, int& filterIndex,
                                 bool dialogAsksOverwrite) override;
    bool chooseFont(QWidget* owner, QFont& font) override;
    bool chooseColor(QWidget* owner, QColor& color) override;

private:
    QString nextText(const QString& kind, const QString& text, const QString& title);
    void unexpected(const Box& box);

    QList<Box> m_shown;
    QQueue<std::optional<Answer>> m_answers; // nullopt: expected, answered by dismissing
    QQueue<QString> m_texts;
    QQueue<QStringList> m_files;
    QQueue<int> m_filters;
    int m_unexpected = 0;
};
