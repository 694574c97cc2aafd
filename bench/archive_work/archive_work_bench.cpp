// Two measurements of the archive work, with the real libraries of a program folder:
//   archive_work_bench extract BIN ARCHIVE
//       "現在のフォルダに解凍" of the destination dialog on ARCHIVE (into its own folder);
//       timed from outside, as a whole process.
//   archive_work_bench open BIN ARCHIVE MEMBER RUNS
//       a double click on MEMBER in the member list until the member's file exists in the
//       work folder; prints the median of RUNS in milliseconds.
#include "archive/ArchiveListEvents.h"
#include "archive/ArchiverCall.h"
#include "archive/ExtractDialog.h"
#include "archive/Extraction.h"
#include "archive/MemberCommands.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace
{
class Browser final : public fileops::FileBrowser
{
public:
    QWidget* owner = nullptr;
    QString folder, file;
    QWidget* window() const override { return owner; }
    QString currentFolder() const override { return folder; }
    bool setCurrentFolder(const QString&) override { return true; }
    QString fileListFolder() const override { return folder; }
    QStringList fileListEntries() const override { return {file}; }
    QList<bool> fileListSelection() const override { return {true}; }
    QString selectedFileName() const override { return file; }
    void refreshFileList() override {}
    void refreshFolderTree() override {}
    QString destination() const override { return {}; }
    void setDestination(const QString&) override {}
    void setAssociationText(const QString&) override {}
    void setAssociationFlag(const QString& f) override { flag = f; }
    QString associationFlag() const override { return flag; }
    bool recycleOnDelete() override { return false; }
    bool noChooserForUnassociated() override { return true; }
    QString flag = QStringLiteral("0");
};

// Opens nothing: the measurement ends when the member's file exists.
class QuietShell final : public platform::Shell
{
public:
    int fileOperation(const FileOperation&) override { return 0; }
    int open(QWidget*, const QString& path, const QString&) override
    {
        opened = path;
        return kOpenOk;
    }
    int findExecutable(const QString&, const QString&, QString& program) override
    {
        program = QStringLiteral("viewer");
        return 42;
    }
    void openWith(QWidget*, const QString&) override {}
    int showProperties(QWidget*, const QString&) override { return kOpenOk; }
    qint64 startEditor(Editor, const QString&) override { return 0; }
    void setClipboardText(const QString&) override {}

    QString opened; // the last file opened
};

int extract(const QString& archive)
{
    QWidget window;
    platform::QtPrompts prompts;
    QuietShell shell;
    Browser browser;
    browser.owner = &window;
    browser.folder = QFileInfo(archive).absolutePath();
    browser.file = QFileInfo(archive).fileName();
    archive::LibraryArchiverCall library;
    archive::Services services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.browser = &browser;
    services.archiver = &library;
    services.askToShowExtracted = [] { return false; };
    archive::Extraction extraction(services);
    // The result window (ZIP, CAB) is closed as soon as it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    closer.start(1);
    archive::ExtractDialog dialog(services, extraction.dialogResults(), &window);
    dialog.button(1)->click();
    return 0;
}

int openMember(const QString& archive, const QString& member, int runs)
{
    QWidget window;
    platform::QtPrompts prompts;
    QuietShell shell;
    Browser browser;
    browser.owner = &window;
    browser.folder = QFileInfo(archive).absolutePath();
    browser.file = QFileInfo(archive).fileName();
    archive::LibraryArchiverCall library;
    auto* list = new QTreeWidget(&window);
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{member}));
    archive::Services ms;
    ms.prompts = &prompts;
    ms.shell = &shell;
    ms.browser = &browser;
    ms.archiver = &library;
    ms.list = list;
    archive::MemberCommands members(ms);
    const QString work = platform::withSlash(platform::programFolder()) + QStringLiteral("temp/");
    archive::Services ls;
    ls.prompts = &prompts;
    ls.shell = &shell;
    ls.browser = &browser;
    ls.archiver = &library;
    ls.members = &members;
    ls.list = list;
    ls.workFolder = [work] { return work; };
    ls.deleteWorkFolder = [work] { QDir(work).removeRecursively(); };
    archive::ArchiveListEvents events(ls);
    const QString base = member.mid(member.lastIndexOf(QLatin1Char('/')) + 1);
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        shell.opened.clear();
        events.openMember(member);
        // Each opening extracts into a new folder of its own inside the work folder.
        const QString target = shell.opened;
        if (!target.startsWith(work) || !target.endsWith(QLatin1Char('/') + base) ||
            !QFileInfo(target).isFile()) {
            std::fprintf(stderr, "member file missing: %s\n", qPrintable(target));
            return 1;
        }
        times.append(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%.2f\n", times.at(times.size() / 2));
    QDir(work).removeRecursively();
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: archive_work_bench extract|open BIN ARCHIVE [MEMBER RUNS]\n");
        return 2;
    }
    platform::setProgramFolder(args.at(2));
    if (args.at(1) == QLatin1String("extract"))
        return extract(args.at(3));
    if (args.at(1) == QLatin1String("open") && args.size() >= 6)
        return openMember(args.at(3), args.at(4), args.at(5).toInt());
    return 2;
}
