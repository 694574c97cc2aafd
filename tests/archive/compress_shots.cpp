// Pictures of the compression dialog (with staged entries) and the menu-entry dialog (filled
// in), title bars included; run under a display with a window manager, as
// scripts/dialog-screenshots.sh runs dialog_shots.
#include "ArchiveTestDoubles.h"
#include "RecordingPrompts.h"
#include "WindowPictures.h"

#include "app/Application.h"
#include "archive/CompressDialog.h"
#include "archive/MenuEntryDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    app::installJapaneseTexts(application);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir work;
    QTemporaryDir sources;
    QStringList paths;
    for (const QString& name :
         {QStringLiteral("旅行の写真.jpg"), QStringLiteral("議事録 2024年4月.txt"),
          QStringLiteral("プロジェクト資料"), QStringLiteral("setup.sh")}) {
        const QString path = sources.path() + QLatin1Char('/') + name;
        if (name.contains(QLatin1Char('.'))) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write("x");
        } else {
            QDir().mkpath(path + QStringLiteral("/sub"));
        }
        paths << path;
    }
    QWidget window;
    RecordingPrompts prompts;
    RecordingRunner runner;
    archive::Services services;
    services.prompts = &prompts;
    services.archiver = &runner;
    services.mainWindow = &window;
    services.workFolder = [&work]() -> QString { return work.path() + QLatin1Char('/'); };
    auto* dialog = new archive::CompressDialog(services, &window);
    dialog->addDropped(paths);
    bool ok = shoot(dialog, out + QStringLiteral("/Form7.png"), false);

    prompts.answerMessage(platform::Prompts::Yes);
    dialog->button(4)->click();
    archive::MenuEntryDialog* form = dialog->menuEntryDialog();
    if (!form)
        return 1;
    form->check()->setChecked(true);
    const QStringList values{QStringLiteral("メニューに登録しますか？"),
                             QStringLiteral("便利ツール"), QStringLiteral("資料ビューア"),
                             QStringLiteral("setup.sh")};
    for (int i = 0; i < 4; ++i)
        form->text(i)->setText(values.at(i));
    ok &= shoot(form, out + QStringLiteral("/Form12.png"));
    delete dialog;
    return ok ? 0 : 1;
}
