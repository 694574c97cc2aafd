// Shows the file-search window after a search over a small tree with Japanese names and saves a
// picture of it, title bar included (run under a display with a window manager:
// scripts/search-window-screenshot.sh OUTDIR).
#include "RecordingPrompts.h"
#include "WindowPictures.h"

#include "app/Application.h"
#include "fileops/FileSearchWindow.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace
{

void put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    app::installJapaneseTexts(application);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir tree;
    const QString root = tree.path() + QStringLiteral("/書類");
    const QByteArray body = QStringLiteral("来月の見積書をお送りします。\n").toUtf8();
    put(root + QStringLiteral("/見積書_2024年4月.txt"), body);
    put(root + QStringLiteral("/会議メモ.txt"), body + body);
    put(root + QStringLiteral("/古い資料/見積書_旧.txt"), body);
    put(root + QStringLiteral("/古い資料/readme.txt"), QByteArray(12345, 'x'));

    RecordingPrompts prompts;
    fileops::FileSearchWindow window(prompts);
    window.setStartFolder(root);
    window.findChild<QLineEdit*>(QStringLiteral("searchPattern"))->setText(QStringLiteral("*.txt"));
    window.findChild<QLineEdit*>(QStringLiteral("searchText"))->setText(QStringLiteral("見積書"));
    window.move(60, 60);
    window.show();
    window.raise();
    window.activateWindow();
    QEventLoop loop;
    QObject::connect(&window, &fileops::FileSearchWindow::searchEnded, &loop, &QEventLoop::quit);
    window.findChild<QPushButton*>(QStringLiteral("searchStart"))->click();
    loop.exec();
    settle(1500);
    const QRect frame = window.frameGeometry().adjusted(-4, -4, 4, 4);
    const QPixmap picture =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString file = out + QStringLiteral("/FileSearch.png");
    const bool saved = picture.save(file);
    std::printf("%s %dx%d %s\n", qPrintable(file), frame.width(), frame.height(),
                saved ? "saved" : "NOT SAVED");
    return saved ? 0 : 1;
}
