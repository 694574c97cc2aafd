// Shows the text editor with a little formatted Japanese text and saves a picture of it, title
// bar included (run it under a display with a window manager:
// SHOTS_PROGRAM=editor_shots scripts/dialog-screenshots.sh OUTDIR).
#include "RecordingPrompts.h"

#include "app/Application.h"
#include "editor/TextEditorWindow.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <functional>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    app::installJapaneseTexts(application);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    RecordingPrompts prompts;
    editor::TextEditorWindow window(prompts);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QTextEdit* box = window.richTextBox();
    box->setPlainText(QStringLiteral("簡易テキストエディタの表示例です。\n太字と斜体と下線、"
                                     "赤い文字。\n中央揃えの段落\n右揃えの段落"));
    auto format = [box](const QString& text, const std::function<void(QTextCharFormat&)>& set) {
        QTextCursor c = box->document()->find(text);
        QTextCharFormat f;
        set(f);
        c.mergeCharFormat(f);
    };
    format(QStringLiteral("太字"), [](QTextCharFormat& f) { f.setFontWeight(QFont::Bold); });
    format(QStringLiteral("斜体"), [](QTextCharFormat& f) { f.setFontItalic(true); });
    format(QStringLiteral("下線"), [](QTextCharFormat& f) { f.setFontUnderline(true); });
    format(QStringLiteral("赤い文字"), [](QTextCharFormat& f) { f.setForeground(Qt::red); });
    auto align = [box](int block, Qt::Alignment a) {
        QTextCursor c(box->document()->findBlockByNumber(block));
        QTextBlockFormat f;
        f.setAlignment(a);
        c.mergeBlockFormat(f);
    };
    align(2, Qt::AlignHCenter);
    align(3, Qt::AlignRight);
    box->setTextCursor(box->document()->find(QStringLiteral("太字")));

    window.move(60, 60);
    window.show();
    window.raise();
    window.activateWindow();
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
    const QRect frame = window.frameGeometry().adjusted(-4, -4, 4, 4);
    const QPixmap picture =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString file = out + QStringLiteral("/Form14.png");
    const bool saved = picture.save(file);
    std::printf("%s %dx%d %s\n", qPrintable(file), frame.width(), frame.height(),
                saved ? "saved" : "NOT SAVED");
    window.richTextBox()->document()->setModified(false);
    return saved ? 0 : 1;
}
