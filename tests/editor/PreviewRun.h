#pragma once

#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "preview/RichTextViewer.h"

#include <QAction>
#include <QLabel>
#include <QTest>

// The program on a folder of files to preview; a file is previewed by making it the file list's
// current entry, as the keys and the mouse do.
struct PreviewRun : GuiRun {
    PreviewRun() = default;
    void startIn() { start({browse.path()}); }
    app::MainWindow* w() const { return window(); }
    preview::RichTextViewer* viewer() const { return w()->textViewer(); }
    QAction* action(const char* name) const { return w()->menuAction(QString::fromLatin1(name)); }
    QAction* button(int number) const
    {
        return w()->findChild<QAction*>(QStringLiteral("Button") + QString::number(number));
    }
    QString panel3() const { return w()->panel(3)->text(); }
    bool show(const QString& name) const
    {
        app::FileListBox* list = w()->fileList();
        list->refresh();
        const int entry = list->rowShowing(name);
        if (entry < 0)
            return false;
        list->setCurrentRow(-1);
        list->setCurrentRow(entry);
        return true;
    }
};
