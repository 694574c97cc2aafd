#include "platform/mci/MciCommand.h"

namespace platform
{

MciCommand MciCommand::parse(const QString& text)
{
    MciCommand command;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (const QChar c : text) {
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else
                word += c;
        } else if (c == u'"') {
            quoted = true;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                command.m_words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        command.m_words.append(word);
    command.m_unterminatedQuote = quoted;
    return command;
}

QString MciCommand::verb() const
{
    return m_words.isEmpty() ? QString() : m_words.first().toLower();
}

QString MciCommand::device() const
{
    return m_words.size() < 2 ? QString() : m_words.at(1);
}

QStringList MciCommand::arguments() const
{
    return m_words.mid(2);
}

} // namespace platform
