#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text of a freedesktop launcher (a ".desktop" file): the escaping of its values and the
// quoting of its command line, and the launcher that opens one file or folder.
namespace platform::desktop
{

// A value of type string or localestring: backslash, newline, tab and carriage return are
// written as escape sequences, and blanks at either end as "\s" so that readers keep them.
QString escapeValue(const QString& value);

// One argument of the Exec key, before the value escaping above: an argument with a reserved
// character is put between double quotes, with '"', '`', '$' and '\' inside preceded by a
// backslash; every '%' becomes "%%" so that no field code is read into the path.
QString execArgument(const QString& argument);

// The whole Exec value for the arguments: each quoted as above, joined by blanks, then
// escaped as a string value.
QString execValue(const QStringList& arguments);

// What a launcher holds.
struct Launcher {
    QString name;          // Name=
    QStringList command;   // Exec=, one entry per argument
    QString workingFolder; // Path=, left out when empty
    QString icon;          // Icon=, left out when empty
};

// The launcher's file text (UTF-8), or an empty array when a value cannot be written: a text
// that is not valid Unicode (a name whose bytes are not UTF-8) or that holds a control
// character other than newline, tab and carriage return.
QByteArray launcherText(const Launcher& launcher);

} // namespace platform::desktop
