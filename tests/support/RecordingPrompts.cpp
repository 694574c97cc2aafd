#include "RecordingPrompts.h"

#include <QTest>

namespace
{
platform::Prompts::Answer dismissed(platform::Prompts::Buttons buttons)
{
    using P = platform::Prompts;
    return buttons == P::YesNo ? P::No : (buttons == P::OkOnly ? P::Ok : P::Cancel);
}
} // namespace

void RecordingPrompts::expectMessages(int count)
{
    for (int i = 0; i < count; ++i)
        m_answers.enqueue(std::nullopt);
}

void RecordingPrompts::unexpected(const Box& box)
{
    ++m_unexpected;
    const QString what = QStringLiteral("unexpected %1 box: \"%2\" (title \"%3\")")
                             .arg(box.kind, box.text, box.title);
    QTest::qFail(what.toUtf8().constData(), __FILE__, __LINE__);
}

platform::Prompts::Answer RecordingPrompts::message(QWidget*, const QString& text,
                                                    const QString& title, Icon icon,
                                                    Buttons buttons)
{
    m_shown.append({QStringLiteral("message"), text, title, icon, buttons});
    if (m_answers.isEmpty()) {
        unexpected(m_shown.last());
        return dismissed(buttons);
    }
    return m_answers.dequeue().value_or(dismissed(buttons));
}

QString RecordingPrompts::nextText(const QString& kind, const QString& text, const QString& title)
{
    m_shown.append({kind, text, title, 0, 0});
    if (m_texts.isEmpty()) {
        unexpected(m_shown.last());
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

QStringList RecordingPrompts::openFileNames(QWidget*, const QString& title, const QString& filter)
{
    m_shown.append({QStringLiteral("open files"), filter, title, 0, 0});
    if (m_files.isEmpty()) {
        unexpected(m_shown.last());
        return {};
    }
    return m_files.dequeue();
}

QString RecordingPrompts::saveFileName(QWidget*, const QString& title, const QString&,
                                       const QString&)
{
    return nextText(QStringLiteral("save"), QString(), title);
}

QString RecordingPrompts::saveFileNameFiltered(QWidget*, const QString& title,
                                               const QStringList& filters, const QString&,
                                               int& filterIndex, bool)
{
    const QString name =
        nextText(QStringLiteral("save"), filters.join(QStringLiteral(";;")), title);
    if (!m_filters.isEmpty())
        filterIndex = m_filters.dequeue();
    return name;
}

bool RecordingPrompts::chooseFont(QWidget*, QFont& font)
{
    const QString answer = nextText(QStringLiteral("font"), QString(), QString());
    // "font:" followed by QFont::toString() chooses that font; any other text keeps it.
    if (answer.startsWith(QLatin1String("font:")))
        font.fromString(answer.mid(5));
    return !answer.isEmpty();
}

bool RecordingPrompts::chooseColor(QWidget*, QColor& color)
{
    const QString name = nextText(QStringLiteral("color"), QString(), QString());
    if (name.isEmpty())
        return false;
    color = QColor(name);
    return true;
}
