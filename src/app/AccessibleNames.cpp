#include "app/AccessibleNames.h"

#include "app/MainWindow.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>

namespace app
{

namespace
{
// By object name: what the control holds.
const struct {
    const char* objectName;
    const char16_t* name;
} kNames[] = {
    {"Drive1", u"ドライブ"},
    {"Dir1", u"フォルダ"},
    {"File1", u"ファイル"},
    {"Combo1", u"表示するファイルの種類"},
    {"ListView1", u"書庫の内容"},
    {"RichTextBox1", u"テキストのプレビュー"},
    {"WebBrowser1", u"ページのプレビュー"},
    {"Picture1", u"画像のプレビュー"},
    {"PdfView", u"PDFのプレビュー"},
    {"MarkdownView", u"Markdownのプレビュー"},
    {"Text1", u"曲名"},
    {"Text3", u"アーティスト"},
};
} // namespace

void nameMainWindowControls(MainWindow& window)
{
    for (const auto& entry : kNames) {
        const QString objectName = QString::fromLatin1(entry.objectName);
        for (QWidget* widget : window.findChildren<QWidget*>(objectName)) {
            // The main window's own, not a dialog's control of the same name.
            if (widget->window() != &window)
                continue;
            widget->setAccessibleName(QString::fromUtf16(entry.name));
            // A viewer made of several views (rich text, plain text, a large file) names
            // each view it shows.
            if (qobject_cast<QAbstractScrollArea*>(widget))
                continue;
            for (QAbstractScrollArea* view : widget->findChildren<QAbstractScrollArea*>())
                view->setAccessibleName(QString::fromUtf16(entry.name));
        }
    }
    // The destination box is named by its caption.
    QLineEdit* box = window.destinationBox();
    if (auto* caption = box->parentWidget()->findChild<QLabel*>(QStringLiteral("Label1"),
                                                                Qt::FindDirectChildrenOnly))
        caption->setBuddy(box);

    // The toolbar's buttons show pictures only: their names are their tooltips. Button 2 has
    // none; it is named after the menu entry that does the same.
    auto* bar = window.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    if (!bar)
        return;
    for (QAction* action : bar->actions()) {
        QWidget* button = bar->widgetForAction(action);
        if (!button || action->isSeparator())
            continue;
        const QString name = action->objectName() == QLatin1String("Button2")
                                 ? QStringLiteral("ファイル名（フルパス）をクリップボードにコピー")
                                 : action->toolTip();
        button->setAccessibleName(name);
    }
}

} // namespace app
