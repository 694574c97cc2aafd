// The program as main.cpp starts it, with one thing added: once its window is up, it starts
// a long piece of work through its own commands, as the user would: "copy" copies a file of
// the opened folder to the destination box's folder, "extract" extracts the archive selected
// in the file list into the current folder. end_during_work.sh asks it to end meanwhile.
//
//   end_during_work copy FOLDER FILE DESTINATION
//   end_during_work extract FOLDER ARCHIVE
#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "platform/Shell.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace
{

app::MainWindow* mainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<app::MainWindow*>(widget))
            return window;
    }
    return nullptr;
}

// Clicks "into the current folder" in the extraction dialog once it is up.
void answerExtractionDialog()
{
    QWidget* dialog = QApplication::activeModalWidget();
    auto* button = dialog && dialog->objectName() == QStringLiteral("Form5")
                       ? dialog->findChild<QPushButton*>(QStringLiteral("Command1"))
                       : nullptr;
    if (!button) {
        QTimer::singleShot(20, qApp, answerExtractionDialog);
        return;
    }
    button->click();
}

void start(const QString& mode, const QString& file, const QString& destination)
{
    app::MainWindow* window = mainWindow();
    if (!window) {
        std::fputs("end_during_work: no main window\n", stderr);
        QApplication::exit(2);
        return;
    }
    app::FileListBox* list = window->fileList();
    for (int i = 0; i < list->count(); ++i) {
        if (list->nameAt(i) == file) {
            list->setCurrentRow(i);
            list->setRowSelected(i, true);
        }
    }
    std::fprintf(stderr, "end_during_work: starting %s\n", qPrintable(mode));
    if (mode == QStringLiteral("copy")) {
        window->destinationBox()->setText(destination);
        window->menuAction(QStringLiteral("copy2"))->trigger();
    } else {
        QTimer::singleShot(0, qApp, answerExtractionDialog);
        window->menuAction(QStringLiteral("kaitou"))->trigger();
    }
    std::fputs("end_during_work: the command returned\n", stderr);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fputs("usage: end_during_work copy|extract FOLDER FILE [DESTINATION]\n", stderr);
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[3]);
    const QString destination = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();
    char* programArguments[] = {argv[0], argv[2], nullptr};
    return app::runProgram(2, programArguments, [&] {
        QTimer::singleShot(500, qApp, [=] { start(mode, file, destination); });
        return platform::createDesktopShell();
    });
}
