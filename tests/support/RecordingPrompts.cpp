#include "RecordingPrompts.h"

platform::Prompts::Answer RecordingPrompts::message(QWidget*, const QString& text,
                                                    const QString& title, Icon icon,
                                                    Buttons buttons)
{
    m_shown.append({QStringLiteral("message"), text, title, icon, buttons});
    if (m_answers.isEmpty()) {
        ++m_unexpected;
        return buttons == YesNo ? No : (buttons == OkOnly ? Ok : Cancel);
    }
    return m_answers.dequeue();
}

QString RecordingPrompts::nextText(const QString& kind, const QString& text, const QString& title)
{
    m_shown.append({kind, text, title, 0, 0});
    if (m_texts.isEmpty()) {
        ++m_unexpected;
        return QString();
    }
    return m_texts.dequeue();
}

QString RecordingPrompts::input(QWidget*, const QString& prompt, const QString& title,
                                const QString&)
{
    return nextText(QStringLiteral("input"), prompt, title);
}

QString RecordingPrompts::pickFolder(QWidget*, const QString& prompt)
{
    return nextText(QStringLiteral("folder"), prompt, QString());
}

QString RecordingPrompts::openFileName(QWidget*, const QString& title, const QString&)
{
    return nextText(QStringLiteral("open"), QString(), title);
}

QString RecordingPrompts::saveFileName(QWidget*, const QString& title, const QString&,
                                       const QString&)
{
    return nextText(QStringLiteral("save"), QString(), title);
}

bool RecordingPrompts::chooseFont(QWidget*, QFont&)
{
    return !nextText(QStringLiteral("font"), QString(), QString()).isEmpty();
}

bool RecordingPrompts::chooseColor(QWidget*, QColor& color)
{
    const QString name = nextText(QStringLiteral("color"), QString(), QString());
    if (name.isEmpty())
        return false;
    color = QColor(name);
    return true;
}
