#pragma once

#include "editor/PrintJob.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QLabel;
class QProgressDialog;
class QPrinter;
class QTextDocument;
class QWidget;

namespace platform
{
class Prompts;
}
namespace preview
{
class RichTextViewer;
}

namespace editor
{

// Where printed text goes: a printer, set up and ready, or nothing when the user cancelled.
class PrintTarget
{
public:
    virtual ~PrintTarget() = default;
    virtual std::unique_ptr<QPrinter> printer(QWidget* owner) = 0;
};

// The desktop's default printer (through CUPS). When the desktop has none, the print dialog
// lets the user choose a printer or a file.
class DefaultPrinter final : public PrintTarget
{
public:
    std::unique_ptr<QPrinter> printer(QWidget* owner) override;
};

// A PDF file, written by the same printing code as a printer's pages.
class PdfFile final : public PrintTarget
{
public:
    explicit PdfFile(const QString& path) : m_path(path) {}
    std::unique_ptr<QPrinter> printer(QWidget* owner) override;

private:
    QString m_path;
};

// The toolbar's print: the text shown in the preview goes to the print target with its
// formatting; while no text is shown a word in the status bar says so. The pages are made on a
// thread of their own while a progress window counts them and offers to cancel; the status bar
// says where a print to a file went.
class PreviewPrint final : public QObject
{
    Q_OBJECT
public:
    PreviewPrint(preview::RichTextViewer* viewer, QLabel* statusPanel, platform::Prompts& prompts,
                 QWidget* window, QObject* parent = nullptr);
    ~PreviewPrint() override;

    void setTarget(std::unique_ptr<PrintTarget> target);
    void print();
    bool isPrinting() const;
    // The progress window of the print under way, or null.
    QProgressDialog* progressWindow() const;

Q_SIGNALS:
    void printFinished(editor::PrintResult result);

private:
    void finish(PrintResult result);

    preview::RichTextViewer* m_viewer;
    QLabel* m_statusPanel;
    platform::Prompts& m_prompts;
    QWidget* m_window;
    std::unique_ptr<PrintTarget> m_target;
    std::unique_ptr<PrintJob> m_job;
    QPointer<QProgressDialog> m_progress;
};

} // namespace editor
