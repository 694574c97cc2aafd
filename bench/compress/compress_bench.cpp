// Compression through the compression dialog with the real libraries of a program folder:
//   compress_bench BIN WORK ARCHIVE ITEM...
// drops the items on the dialog's list (staging copy into WORK/compress/), then presses
// "LZHで圧縮" with ARCHIVE as the chosen file. Prints the milliseconds of the staging copy and
// of the compression, and the archive's size.
#include "archive/ArchiverCall.h"
#include "archive/CompressDialog.h"
#include "desktop/Prompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace
{
// Answers the save dialog with the archive's path and every box with its first button.
class ScriptedPrompts final : public platform::Prompts
{
public:
    QString archive;
    Answer message(QWidget*, const QString& text, const QString&, Icon, Buttons) override
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
        return Ok;
    }
    QString input(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString pickFolder(QWidget*, const QString&) override { return {}; }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return archive;
    }
    QString saveFileNameFiltered(QWidget*, const QString&, const QStringList&, const QString&,
                                 int& filterIndex, bool) override
    {
        filterIndex = 1;
        return archive;
    }
    bool chooseFont(QWidget*, QFont&) override { return false; }
    bool chooseColor(QWidget*, QColor&) override { return false; }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: compress_bench BIN WORK ARCHIVE ITEM...\n");
        return 2;
    }
    const QString work = QString::fromLocal8Bit(argv[2]) + QLatin1Char('/');
    ScriptedPrompts prompts;
    prompts.archive = QString::fromLocal8Bit(argv[3]);
    archive::LibraryArchiverCall library(QString::fromLocal8Bit(argv[1]));
    QWidget window;
    archive::Services services;
    services.prompts = &prompts;
    services.archiver = &library;
    services.mainWindow = &window;
    services.workFolder = [&work] { return work; };
    auto* dialog = new archive::CompressDialog(services, &window);
    dialog->show();
    QStringList items;
    for (int i = 4; i < argc; ++i)
        items << QString::fromLocal8Bit(argv[i]);

    // The result window is modal: it is closed as soon as it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    closer.start(20);

    QElapsedTimer timer;
    timer.start();
    dialog->addDropped(items);
    const qint64 staging = timer.elapsed();
    if (dialog->list()->count() != items.size()) {
        std::fprintf(stderr, "not every item was staged\n");
        return 1;
    }
    timer.restart();
    dialog->button(1)->click();
    const qint64 compression = timer.elapsed();
    std::printf("%lld %lld %lld\n", static_cast<long long>(staging),
                static_cast<long long>(compression),
                static_cast<long long>(QFileInfo(prompts.archive).size()));
    return 0;
}
