#include "WindowPictures.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool savePicture(const QRect& area, const QString& file)
{
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(
        0, area.x(), area.y(), area.width(), area.height());
    const bool saved = picture.save(file);
    std::printf("%s %dx%d %s\n", qPrintable(file), area.width(), area.height(),
                saved ? "saved" : "NOT SAVED");
    return saved;
}

bool shoot(QWidget* window, const QString& file, bool hideAfterwards)
{
    window->move(60, 60);
    window->show();
    window->raise();
    window->activateWindow();
    settle(1500);
    const QRect frame = window->frameGeometry().adjusted(-4, -4, 4, 4);
    const QPixmap picture =
        window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (hideAfterwards)
        window->hide();
    const bool saved = picture.save(file);
    std::printf("%s %dx%d %s\n", qPrintable(file), frame.width(), frame.height(),
                saved ? "saved" : "NOT SAVED");
    return saved;
}
