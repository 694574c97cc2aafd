// The toolbar's pictures say what its buttons do: each button shows the icon theme's picture of
// the freedesktop name for its command, or the program's own picture of that name when the
// theme has none, and never the pictures the bar used to show (an information sign on the text
// search, a magnifier on printing).
#include "GuiRun.h"

#include "app/MainWindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace
{
// Tooltip → the name of what the button does. Button 2 (no tooltip) puts the selected file's
// full path on the clipboard.
struct Expected {
    int number;
    const char* tooltip;
    const char* icon;
    QStyle::StandardPixmap old; // the picture the button showed before
};
const Expected kExpected[] = {
    {1, "削除", "edit-delete", QStyle::SP_TrashIcon},
    {2, "", "edit-copy-path", QStyle::SP_FileLinkIcon},
    {3, "ファイルをコピー", "edit-copy", QStyle::SP_FileDialogNewFolder},
    {4, "ファイルの移動", "edit-cut", QStyle::SP_ArrowForward},
    {6, "よく使うドライブを指定", "drive-harddisk", QStyle::SP_DriveHDIcon},
    {7, "よく使うフォルダを指定", "user-bookmarks", QStyle::SP_DirIcon},
    {9, "設定", "preferences-system", QStyle::SP_FileDialogDetailedView},
    {11, "テキストファイルを上書き保存", "document-save", QStyle::SP_DialogSaveButton},
    {12, "テキストファイルを名前を付けて保存", "document-save-as", QStyle::SP_DriveFDIcon},
    {13, "印刷", "document-print", QStyle::SP_FileDialogContentsView},
    {15, "最新の情報に更新", "view-refresh", QStyle::SP_BrowserReload},
    {16, "一つ前のフォルダに戻る", "go-previous", QStyle::SP_ArrowBack},
    {18, "テキストファイルの検索", "edit-find", QStyle::SP_FileDialogInfoView},
    {19, "簡易テキストエディタの起動", "accessories-text-editor", QStyle::SP_FileIcon},
    {21, "ヘルプ・このソフトについて", "help-about", QStyle::SP_DialogHelpButton},
};

// A colour of its own for each name of the test theme.
QColor colourOf(int index)
{
    return QColor::fromHsv((index * 360 / int(std::size(kExpected))) % 360, 255, 200);
}

// A small icon theme whose pictures are plain squares, one colour per name.
void writeTheme(const QString& root)
{
    const QString folder = root + QStringLiteral("/koramo-test/16x16/actions");
    QVERIFY(QDir().mkpath(folder));
    QFile index(root + QStringLiteral("/koramo-test/index.theme"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=koramo-test\nDirectories=16x16/actions\n\n"
                "[16x16/actions]\nSize=16\nType=Fixed\n");
    index.close();
    for (int i = 0; i < int(std::size(kExpected)); ++i) {
        QImage square(16, 16, QImage::Format_ARGB32);
        square.fill(colourOf(i));
        QVERIFY(square.save(folder + QLatin1Char('/') + QLatin1String(kExpected[i].icon) +
                            QStringLiteral(".png")));
    }
}

QImage picture(const QIcon& icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
}

struct Run : GuiRun {
    Run()
    {
        start({browse.path()});
        window()->show();
    }
    QAction* button(int number) const
    {
        return window()->findChild<QAction*>(QStringLiteral("Button") + QString::number(number));
    }
    // The button as the bar shows it, once its picture has been put on it.
    QToolButton* shown(int number) const
    {
        QAction* action = button(number);
        auto* bar = window()->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        if (!action || !bar)
            return nullptr;
        auto* tool = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        if (tool && !QTest::qWaitFor([tool] { return !tool->icon().isNull(); }, 5000))
            return nullptr;
        return tool;
    }
};
} // namespace

class ToolbarIconsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        QIcon::setThemeSearchPaths({});
        QIcon::setThemeName(QString());
    }

    void themePicturesAreThoseOfTheCommands()
    {
        QTemporaryDir themes;
        writeTheme(themes.path());
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(QStringLiteral("koramo-test"));
        Run run;
        for (int i = 0; i < int(std::size(kExpected)); ++i) {
            const Expected& e = kExpected[i];
            QAction* action = run.button(e.number);
            QVERIFY2(action, e.tooltip);
            QCOMPARE(action->toolTip(), QString::fromUtf8(e.tooltip));
            QToolButton* tool = run.shown(e.number);
            QVERIFY2(tool, e.icon);
            QCOMPARE(tool->icon().name(), QString::fromLatin1(e.icon));
            const QImage image = picture(tool->icon());
            QCOMPARE(image.pixel(8, 8), colourOf(i).rgb());
        }
    }

    void ownPicturesWhenTheThemeHasNone()
    {
        QTemporaryDir empty;
        QIcon::setThemeSearchPaths({empty.path()});
        QIcon::setThemeName(QStringLiteral("koramo-none"));
        Run run;
        QList<QImage> seen;
        for (const Expected& e : kExpected) {
            QToolButton* tool = run.shown(e.number);
            QVERIFY2(tool, e.icon);
            const QImage image = picture(tool->icon());
            // The built-in picture of the command's name, not a theme's and not the style's.
            QVERIFY2(tool->icon().name().isEmpty(), e.icon);
            // Read as a pixmap, as the icon holds its pictures.
            const QImage own = QPixmap(QStringLiteral(":/koramo/toolbar/") + QLatin1String(e.icon) +
                                       QStringLiteral("-16.png"))
                                   .toImage()
                                   .convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(!own.isNull(), e.icon);
            QVERIFY2(image == own, e.icon);
            QVERIFY2(image != picture(run.window()->style()->standardIcon(e.old)), e.icon);
            // No two commands share a picture.
            QVERIFY2(!seen.contains(image), e.icon);
            seen << image;
        }
        // Separators carry none.
        for (int number : {5, 8, 10, 14, 17, 20}) {
            QAction* separator = run.button(number);
            QVERIFY(separator && separator->isSeparator());
            QVERIFY(separator->icon().isNull());
        }
    }

    void clickingAPictureStillRunsItsCommand()
    {
        Run run;
        QToolButton* about = run.shown(21);
        QVERIFY(about);
        int clicked = 0;
        QObject::connect(run.window(), &app::MainWindow::toolbarButtonClicked,
                         [&clicked](int number) { clicked = number; });
        // The about window opens; it is not modal, so the click returns.
        QTest::mouseClick(about, Qt::LeftButton);
        QCOMPARE(clicked, 21);
    }
};

QTEST_MAIN(ToolbarIconsTest)
#include "tst_toolbar_icons.moc"
