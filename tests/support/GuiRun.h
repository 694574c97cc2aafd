#pragma once

#include "RecordingMci.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "TestFolders.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace app
{
class Application;
class MainWindow;
} // namespace app
namespace platform
{
class Mci;
}
namespace archive
{
class ArchiverCall;
}

// One run of the whole program for a window test: a temporary program folder (exp.ini and
// temp/ live there), a temporary folder to browse, the recording prompts, shell and media
// doubles, and the Application once start() has run. Any box the test did not expect fails
// the test (see RecordingPrompts). A test adds its own helpers by deriving a small struct.
//
// The program is destroyed first (its shut-down still answers to the doubles), the folders
// last.
class GuiRun
{
public:
    GuiRun();
    ~GuiRun();
    GuiRun(const GuiRun&) = delete;
    GuiRun& operator=(const GuiRun&) = delete;

    // Starts the program with the given command line and the recording media double.
    void start(const QStringList& arguments = {});
    // Starts it with another media device (a real one), which must outlive this run.
    void start(const QStringList& arguments, platform::Mci& media);

    app::MainWindow* window() const;
    // A path in the browsed folder.
    QString browsed(const QString& name) const;
    // Writes a file into the browsed folder and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    // A value of exp.ini as the program would read it.
    QString read(const char* section, const char* key) const;
    // The PDF file the program prints into instead of a printer (it exists once printed).
    QString printedPdf() const;

    TestProgramFolder folder;
    QTemporaryDir browse;
    QTemporaryDir printed;
    RecordingPrompts prompts;
    RecordingShell shell;
    RecordingMci mci;
    // The library call the program uses; null: the real libraries of the program folder.
    archive::ArchiverCall* archiver = nullptr;
    std::unique_ptr<app::Application> program;
};
