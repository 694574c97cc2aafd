#pragma once

#include <QList>
#include <QString>

// The desktop's applications as GIO knows them from the freedesktop MIME and application
// databases: content types, default applications, launching. Codes are those of Shell.
namespace platform::gio
{

struct Application {
    QString id;          // desktop entry name ("org.gnome.gedit.desktop")
    QString name;        // name to show
    QString commandLine; // its Exec line
};

// True for an address with a scheme ("https://…", "mailto:…"), not for a path.
bool isAddress(const QString& text);

// Content type of an existing file or folder ("text/plain", "inode/directory"); empty when
// it cannot be read.
QString contentType(const QString& path);
// Human-readable description of a content type.
QString typeDescription(const QString& contentType);

// Opens an existing file or folder with its type's default application. When it fails, why
// (in the system's words) goes into reason when one is given.
int openPath(const QString& path, QString* reason = nullptr);
// Opens an address with the default handler of its scheme (file: addresses as paths).
int openAddress(const QString& address, QString* reason = nullptr);
// The default application of the file's type: its executable's full path into program.
int findDefault(const QString& path, QString& program);

// Every application that declares it can open the file's type, the default first.
QList<Application> applicationsFor(const QString& path);
// Starts the application with the desktop entry id on the file. False with a reason on
// failure.
bool launchApplication(const QString& id, const QString& path, QString& reason);
// Starts a command line of the user's own on the file (appended as %f unless the command
// names where it goes).
bool launchCommandLine(const QString& commandLine, const QString& path, QString& reason);
// Starts the default application of a content type on the file (without a file when the path
// is empty); its process id, or 0 when no application is associated or it could not be started.
qint64 launchDefaultForType(const QString& contentType, const QString& path);

} // namespace platform::gio
