// Shows the destination dialog, the result window and the offer to show the extracted files
// one after another and saves a picture of each, title bar included (run it under a display
// with a window manager: scripts/dialog-screenshots.sh).
#include "ArchiveTestDoubles.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "WindowPictures.h"

#include "app/Application.h"
#include "archive/ExtractDialog.h"
#include "archive/Extraction.h"
#include "archive/ResultWindow.h"
#include "archive/ShowExtractedDialog.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
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
    RecordingShell shell;
    RecordingRunner runner;
    FakeBrowser browser;
    browser.owner = &window;
    browser.folder = QStringLiteral("/home/user/ダウンロード/archives");
    browser.selected = QStringLiteral("写真とメモ 2024.lzh");
    archive::Services services;
    services.prompts = &prompts;
    services.shell = &shell;
    services.browser = &browser;
    services.archiver = &runner;
    services.askToShowExtracted = [] { return true; };
    archive::Extraction extraction(services);

    bool ok = true;
    archive::ExtractDialog destination(services, extraction.dialogResults());
    ok &= shoot(&destination, out + QStringLiteral("/Form5.png"));
    archive::ResultWindow result(
        QStringLiteral(
            "Extracting from archive : /home/user/ダウンロード/archives/写真とメモ "
            "2024.lzh\nMelted  メモ/買い物リスト.txt\nMelted  写真/海.jpg\n"
            "mkdir  /home/user/ダウンロード/archives/写真\n2 個のファイルを展開しました") +
        QString(20, QChar(u'\0')));
    ok &= shoot(&result, out + QStringLiteral("/Form13.png"));
    extraction.offerToShow();
    ok &= shoot(extraction.showExtractedDialog(), out + QStringLiteral("/Form3.png"));
    return ok ? 0 : 1;
}
