#include "E2eSupport.h"

#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "archive/MemberListing.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTreeWidget>
#include <QtDebug>
#include <QtTest>

bool runTool(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning().noquote() << program << arguments.join(QLatin1Char(' '))
                             << "failed:" << QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

QMap<QString, QByteArray> filesBelow(const QString& folder, FileLinks links)
{
    QMap<QString, QByteArray> files;
    const QDir root(folder);
    QDir::Filters filter = QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot;
    if (links == FileLinks::Skip)
        filter |= QDir::NoSymLinks;
    QDirIterator it(folder, filter, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.insert(root.relativeFilePath(path), file.readAll());
    }
    return files;
}

void writeSourceTree(const QString& folder)
{
    QDir().mkpath(folder + QStringLiteral("/sub folder"));
    const auto write = [&folder](const QString& name, const QByteArray& bytes) {
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    };
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + QByteArray::number(i) + " of a text that repeats itself\n";
    write(QStringLiteral("read me.txt"), text);
    QByteArray binary(150000, '\0');
    QRandomGenerator random(42);
    for (char& c : binary)
        c = char(random.bounded(256));
    write(QStringLiteral("sub folder/data.bin"), binary);
    write(QStringLiteral("sub folder/empty.txt"), QByteArray());
    write(QStringLiteral("plain.txt"), "plain\n");
}

QStringList sourceTreeOperands()
{
    return {QStringLiteral("read me.txt"), QStringLiteral("plain.txt"),
            QStringLiteral("sub folder/data.bin"), QStringLiteral("sub folder/empty.txt")};
}

QString extensionOf(archive::Family family)
{
    switch (family) {
    case archive::Family::Lzh:
        return QStringLiteral("lzh");
    case archive::Family::Zip:
        return QStringLiteral("zip");
    case archive::Family::Cab:
        return QStringLiteral("cab");
    case archive::Family::ReadOnly:
        return QStringLiteral("7z");
    }
    return QString();
}

bool makeArchive(archive::Family family, const QString& sourceFolder, const QString& archivePath)
{
    switch (family) {
    case archive::Family::Lzh:
        return runTool(QStringLiteral("jlha"),
                       QStringList{QStringLiteral("a"), archivePath} + sourceTreeOperands(),
                       sourceFolder);
    case archive::Family::Zip:
        return runTool(QStringLiteral("zip"),
                       QStringList{QStringLiteral("-q"), QStringLiteral("-X"), archivePath} +
                           sourceTreeOperands(),
                       sourceFolder);
    case archive::Family::Cab:
        return runTool(QStringLiteral("gcab"),
                       QStringList{QStringLiteral("-c"), QStringLiteral("-z"), archivePath} +
                           sourceTreeOperands(),
                       sourceFolder);
    case archive::Family::ReadOnly:
        // The row's usual ending is 7z.
        return runTool(QStringLiteral("7z"),
                       QStringList{QStringLiteral("a"), QStringLiteral("-bd"),
                                   QStringLiteral("-bso0"), archivePath, QStringLiteral("--")} +
                           sourceTreeOperands(),
                       sourceFolder);
    }
    return false;
}

void settleMemberList(app::MainWindow* window)
{
    QVERIFY(QTest::qWaitFor(
        [window] { return !archive::MemberListing::of(window->archiveList())->running(); }, 20000));
}

void clickFileAndSettle(app::MainWindow* window, const QString& name)
{
    app::FileListBox* files = window->fileList();
    files->refresh();
    const int entry = files->rowShowing(name);
    QVERIFY2(entry >= 0, qPrintable(name));
    files->setCurrentRow(-1);
    files->setCurrentRow(entry);
    settleMemberList(window);
}
