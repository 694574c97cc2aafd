// Shows the rename, new-folder and shortcut dialogs one after another and saves a picture of
// each, title bar included (run it under a display with a window manager:
// scripts/dialog-screenshots.sh).
#include "ArchiveTestDoubles.h"
#include "RecordingPrompts.h"
#include "WindowPictures.h"

#include "app/Application.h"
#include "fileops/NewFolderDialog.h"
#include "fileops/RenameDialog.h"
#include "fileops/ShortcutDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    app::installJapaneseTexts(application);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QWidget window;
    RecordingPrompts prompts;
    FakeBrowser browser;
    browser.owner = &window;
    browser.folder = QStringLiteral("/home/user/ドキュメント/旅行の記録 2024");
    browser.selected = QStringLiteral("京都の写真一覧.html");

    bool ok = true;
    fileops::RenameDialog rename(browser, prompts);
    rename.findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
    ok &= shoot(&rename, out + QStringLiteral("/Form10.png"));
    fileops::NewFolderDialog folder(browser, prompts);
    ok &= shoot(&folder, out + QStringLiteral("/Form11.png"));
    fileops::ShortcutDialog shortcut(browser, prompts);
    shortcut.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("京都の写真"));
    shortcut.findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
    ok &= shoot(&shortcut, out + QStringLiteral("/Form8.png"));
    return ok ? 0 : 1;
}
