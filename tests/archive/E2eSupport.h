#pragma once

#include "archive/ArchiverLibrary.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Runs an outside program; true when it exits with 0. Its output goes to the test's log on
// failure.
bool runTool(const QString& program, const QStringList& arguments, const QString& folder = {});

// Every file below the folder by its relative path ("sub/x.dat"), with its bytes.
// Files below the folder with their bytes, by relative path; links to files are read through
// unless skipped.
enum class FileLinks { Read, Skip };
QMap<QString, QByteArray> filesBelow(const QString& folder, FileLinks links = FileLinks::Read);

// The source tree the archives are made from: names with blanks, a subfolder, text and
// binary content.
void writeSourceTree(const QString& folder);
QStringList sourceTreeOperands();

// Writes the archive of the family from the source tree with the outside tool (jlha, zip,
// gcab); false when the tool fails.
bool makeArchive(archive::Family family, const QString& sourceFolder, const QString& archivePath);

// The ending the tests give an archive of the family ("lzh", "zip", "cab", "7z" for the
// read-only formats).
QString extensionOf(archive::Family family);

namespace app
{
class MainWindow;
}

// Selects the file in the main window's file list as a click does and waits until the member
// list it previews has been filled (a worker lists the archive).
void clickFileAndSettle(app::MainWindow* window, const QString& name);
// Waits until the main window's member list has been filled.
void settleMemberList(app::MainWindow* window);
