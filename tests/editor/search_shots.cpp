// Pictures of the main window with a match found in the previewed text, the find dialog over
// it, and the toolbar with the search button's tooltip (run under a display with a window
// manager: scripts/dialog-screenshots.sh OUTDIR).
#include "RecordingMci.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "TestFolders.h"
#include "WindowPictures.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "editor/FindDialog.h"
#include "editor/PreviewSearch.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QtTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    app::installJapaneseTexts(application);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    TestProgramFolder folder;
    QTemporaryDir browse;
    QFile text(browse.path() + QStringLiteral("/議事録.txt"));
    if (!text.open(QIODevice::WriteOnly))
        return 1;
    text.write(QStringLiteral("定例会議 議事録\n\n1. 先週の作業の報告\n2. 来週の予定\n"
                              "3. 次回の会議は来週の水曜日\n\n以上\n")
                   .toUtf8());
    text.close();

    RecordingPrompts prompts;
    RecordingShell shell;
    RecordingMci mci;
    app::Application program(prompts, shell, mci);
    program.startUp({browse.path()});
    app::MainWindow* window = program.mainWindow();
    window->move(20, 20);
    window->resize(900, 560);
    app::FileListBox* list = window->fileList();
    list->setCurrentRow(list->rowShowing(QStringLiteral("議事録.txt")));

    window->menuAction(QStringLiteral("tkensaku"))->trigger();
    editor::FindDialog* dialog = program.previewSearch()->dialog();
    dialog->textBox()->setText(QStringLiteral("来週"));
    dialog->findButton()->click();
    dialog->findButton()->click();
    dialog->move(window->frameGeometry().right() - 420, window->frameGeometry().bottom() - 220);
    dialog->raise();
    dialog->activateWindow();
    settle(1500);

    bool ok = savePicture(dialog->frameGeometry().adjusted(-4, -4, 4, 4),
                          out + QStringLiteral("/frmFind.png"));
    ok &=
        savePicture(window->frameGeometry().united(dialog->frameGeometry()).adjusted(-4, -4, 4, 4),
                    out + QStringLiteral("/search.png"));

    // The toolbar, with the search button's tooltip showing.
    dialog->hide();
    auto* toolbar = window->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    QAction* search = window->findChild<QAction*>(QStringLiteral("Button18"));
    QWidget* button = toolbar->widgetForAction(search);
    const QPoint at = button->mapToGlobal(QPoint(button->width() / 2, button->height()));
    // The pointer rests on the button, as for a tooltip the user calls up.
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    settle(300);
    QToolTip::showText(at, search->toolTip(), button);
    settle(1000);
    const QRect bar(toolbar->mapToGlobal(QPoint(0, 0)), toolbar->size());
    ok &= savePicture(bar.adjusted(-2, -2, 2, 60), out + QStringLiteral("/toolbar.png"));
    return ok ? 0 : 1;
}
