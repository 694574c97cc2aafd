#pragma once

#include <QString>
#include <QStringList>

namespace platform
{

// One media command string split into words: blanks separate words, a double-quoted part
// is one word without its quotes ("open \"/a b/c.wav\" alias Media").
class MciCommand
{
public:
    static MciCommand parse(const QString& text);

    bool unterminatedQuote() const { return m_unterminatedQuote; }
    // The command verb in lower case ("open", "play", …); empty for a blank command.
    QString verb() const;
    // The word after the verb: the device alias, or the file for "open".
    QString device() const;
    // Words after the device.
    QStringList arguments() const;

private:
    QStringList m_words;
    bool m_unterminatedQuote = false;
};

} // namespace platform
