#pragma once

#include "preview/MediaPanel.h"

class QAction;
class QLabel;
class QTreeWidget;
class QWidget;

namespace preview
{

class BrowserPane;
class EncodingButton;
class MarkdownPane;
class PdfPane;
class PicturePane;
class RichTextViewer;

// The widgets of the main window that the preview works on, handed over by the window.
struct PreviewPane {
    QWidget* window = nullptr;
    RichTextViewer* text = nullptr;     // RichTextBox1
    BrowserPane* browser = nullptr;     // WebBrowser1
    PicturePane* picture = nullptr;     // Picture1
    QTreeWidget* archiveList = nullptr; // ListView1
    PdfPane* pdf = nullptr;             // PDF documents, page by page
    MarkdownPane* markdown = nullptr;   // Markdown, rendered or as its text
    MediaWidgets media;                 // Command4, Command5, Label4, Text1, Text3
    QLabel* notice = nullptr;           // Label2 "プレビューできません"
    QLabel* currentFile = nullptr;      // Label14
    QLabel* sizePanel = nullptr;        // status-bar panel 1
    QLabel* datePanel = nullptr;        // panel 2
    QLabel* associationPanel = nullptr; // panel 3
    EncodingButton* encoding = nullptr; // status bar: the encoding of the text shown
    QAction* extract = nullptr;         // kaitou
    QAction* extractPopup = nullptr;    // kaitoup
    QAction* search = nullptr;          // tkensaku
    QAction* searchNext = nullptr;      // tuken
    QAction* renameMember = nullptr;    // assyukuhenkou
};

} // namespace preview
