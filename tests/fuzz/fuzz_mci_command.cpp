// The media command parser on arbitrary text: read as UTF-8 and as raw UTF-16 code units
// (unpaired surrogates included). Checks that quotes pair up as documented and that the words
// it returns, quoted again, parse back to themselves.
#include "platform/mci/MciCommand.h"

#include <QString>
#include <QStringList>

#include <cstdlib>
#include <cstring>

namespace
{

QString quoted(const QString& word)
{
    return QLatin1Char('"') + word + QLatin1Char('"');
}

void check(const QString& text)
{
    const platform::MciCommand command = platform::MciCommand::parse(text);
    // Every double quote opens or closes a quoted part; none can be escaped.
    if (command.unterminatedQuote() != (text.count(QLatin1Char('"')) % 2 == 1))
        std::abort();
    const QString verb = command.verb();
    const QString device = command.device();
    const QStringList arguments = command.arguments();
    if (verb != verb.toLower())
        std::abort();
    if (verb.isEmpty() && (!device.isEmpty() || !arguments.isEmpty()) &&
        !text.contains(QLatin1String("\"\"")))
        std::abort();
    if (!device.isNull() && device.isEmpty() && !text.contains(QLatin1String("\"\"")))
        std::abort();
    QStringList words{verb, device};
    words += arguments;
    for (const QString& w : words) {
        // Quotes are never part of a word; blanks only when they were quoted.
        if (w.contains(QLatin1Char('"')))
            std::abort();
    }
    QString again;
    for (const QString& w : words)
        again += quoted(w) + QLatin1Char(' ');
    const platform::MciCommand reparsed = platform::MciCommand::parse(again);
    if (reparsed.unterminatedQuote() || reparsed.verb() != verb || reparsed.device() != device ||
        reparsed.arguments() != arguments)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    check(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    QString units(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    if (!units.isEmpty())
        std::memcpy(units.data(), data, units.size() * sizeof(QChar));
    check(units);
    return 0;
}
