#pragma once

#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "preview/MarkdownPane.h"
#include "preview/PdfPane.h"
#include "preview/PicturePane.h"
#include "settings/PreviewSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QCheckBox>
#include <QtTest>

// The whole program over a folder of documents, clicked as the user clicks the file list.
struct DocumentRun : GuiRun {
    app::MainWindow* w() const { return window(); }
    void click(const QString& name) const
    {
        app::FileListBox* list = w()->fileList();
        list->refresh();
        const int entry = list->rowShowing(name);
        QVERIFY2(entry >= 0, qPrintable(name));
        list->setCurrentRow(-1);
        mciBefore = mci.commands().size();
        list->setCurrentRow(entry);
    }
    QWidget* widget(const char* name) const
    {
        return w()->form()->findChild<QWidget*>(QString::fromLatin1(name),
                                                Qt::FindDirectChildrenOnly);
    }
    bool visible(const char* name) const { return !widget(name)->isHidden(); }
    // The one preview widget on show among the viewers and the notice.
    QString shown() const
    {
        QStringList on;
        for (const char* name : {"RichTextBox1", "WebBrowser1", "Picture1", "ListView1", "Label2",
                                 "PdfView", "MarkdownView"}) {
            if (visible(name))
                on.append(QString::fromLatin1(name));
        }
        return on.join(QLatin1Char(','));
    }
    preview::PdfPane* pdf() const { return w()->form()->findChild<preview::PdfPane*>(); }
    preview::MarkdownPane* markdown() const
    {
        return w()->form()->findChild<preview::MarkdownPane*>();
    }
    preview::PicturePane* picture() const { return w()->picturePane(); }
    settings::PreviewSettingsDialog* preview() const { return program->forms()->preview(); }
    QCheckBox* box(const char* name) const
    {
        return preview()->findChild<QCheckBox*>(QString::fromLatin1(name));
    }
    // The media commands sent since the last click.
    QStringList sent() const { return mci.commands().mid(mciBefore); }
    mutable qsizetype mciBefore = 0;
};

// Pixels of the picture that are not near white.
inline int darkPixels(const QImage& image)
{
    int dark = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            dark += qGray(line[x]) < 128;
    }
    return dark;
}
