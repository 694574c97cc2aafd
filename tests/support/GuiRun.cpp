#include "GuiRun.h"

#include "app/Application.h"
#include "app/MainWindow.h"
#include "base/IniFile.h"
#include "editor/TextPrint.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

GuiRun::GuiRun()
{
    // koramo_add_test links StandardPathsTestMode.cpp into every test that runs the program.
    if (!QStandardPaths::isTestModeEnabled())
        QTest::qFail("QStandardPaths test mode is off: register the test with koramo_add_test",
                     __FILE__, __LINE__);
}

GuiRun::~GuiRun()
{
    program.reset();
}

void GuiRun::start(const QStringList& arguments)
{
    start(arguments, mci);
}

void GuiRun::start(const QStringList& arguments, platform::Mci& media)
{
    program = archiver ? std::make_unique<app::Application>(prompts, shell, media, *archiver)
                       : std::make_unique<app::Application>(prompts, shell, media);
    program->startUp(arguments);
    // Never a real printer (nor the print dialog) in a test.
    program->previewPrint()->setTarget(std::make_unique<editor::PdfFile>(printedPdf()));
}

QString GuiRun::printedPdf() const
{
    return printed.path() + QStringLiteral("/printed.pdf");
}

app::MainWindow* GuiRun::window() const
{
    return program->mainWindow();
}

QString GuiRun::browsed(const QString& name) const
{
    return browse.path() + QLatin1Char('/') + name;
}

QString GuiRun::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = browsed(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

QString GuiRun::read(const char* section, const char* key) const
{
    return settings::readProfileString(folder.iniPath(), QString::fromLatin1(section),
                                       QString::fromLatin1(key));
}
