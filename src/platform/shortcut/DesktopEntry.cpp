#include "platform/shortcut/DesktopEntry.h"

namespace platform::desktop
{

namespace
{

// Characters that make the launcher's command line need quotes around an argument.
bool isReserved(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// True when the text can stand in a launcher: well-formed Unicode, no control character but
// those the value escaping writes out.
bool isWritable(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return false;
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\n' && u != u'\t' && u != u'\r') || u == 0x7F)
            return false;
    }
    return true;
}

} // namespace

QString escapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u' ':
            // Readers drop the blanks around a value; inner blanks stay as they are.
            if (i == 0 || i == value.size() - 1)
                out += QStringLiteral("\\s");
            else
                out += c;
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString execArgument(const QString& argument)
{
    bool quote = argument.isEmpty();
    for (QChar c : argument)
        quote = quote || isReserved(c);
    QString out;
    out.reserve(argument.size() + 4);
    for (QChar c : argument) {
        if (c == QLatin1Char('%')) {
            out += QStringLiteral("%%");
            continue;
        }
        if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                      c == QLatin1Char('\\')))
            out += QLatin1Char('\\');
        out += c;
    }
    return quote ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}

QString execValue(const QStringList& arguments)
{
    QStringList quoted;
    for (const QString& argument : arguments)
        quoted << execArgument(argument);
    return escapeValue(quoted.join(QLatin1Char(' ')));
}

QByteArray launcherText(const Launcher& launcher)
{
    QStringList values{launcher.name, launcher.workingFolder, launcher.icon};
    values += launcher.command;
    for (const QString& value : values) {
        if (!isWritable(value))
            return {};
    }
    if (launcher.name.trimmed().isEmpty() || launcher.command.isEmpty())
        return {};
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Version=1.0\n"
                                  "Type=Application\n");
    text += QStringLiteral("Name=") + escapeValue(launcher.name) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + execValue(launcher.command) + QLatin1Char('\n');
    if (!launcher.workingFolder.isEmpty())
        text += QStringLiteral("Path=") + escapeValue(launcher.workingFolder) + QLatin1Char('\n');
    if (!launcher.icon.isEmpty())
        text += QStringLiteral("Icon=") + escapeValue(launcher.icon) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    return text.toUtf8();
}

} // namespace platform::desktop
