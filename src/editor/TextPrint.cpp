#include "editor/TextPrint.h"

#include "base/NativePath.h"
#include "desktop/Prompts.h"
#include "preview/RichTextViewer.h"

#include <QFileInfo>
#include <QLabel>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QTextDocument>
#include <QTimer>

namespace editor
{

namespace
{
// Margins of every printed page, in millimetres.
constexpr double kMarginMm = 15;

void setUpPage(QPrinter& printer)
{
    printer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                           QPageLayout::Millimeter);
}
} // namespace

std::unique_ptr<QPrinter> DefaultPrinter::printer(QWidget* owner)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) {
        auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        setUpPage(*printer);
        return printer;
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    setUpPage(*printer);
    QPrintDialog dialog(printer.get(), owner);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return printer;
}

std::unique_ptr<QPrinter> PdfFile::printer(QWidget* owner)
{
    Q_UNUSED(owner)
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(m_path);
    setUpPage(*printer);
    return printer;
}

PreviewPrint::PreviewPrint(preview::RichTextViewer* viewer, QLabel* statusPanel,
                           platform::Prompts& prompts, QWidget* window, QObject* parent)
    : QObject(parent), m_viewer(viewer), m_statusPanel(statusPanel), m_prompts(prompts),
      m_window(window), m_target(std::make_unique<DefaultPrinter>())
{
}

PreviewPrint::~PreviewPrint() = default;

void PreviewPrint::setTarget(std::unique_ptr<PrintTarget> target)
{
    m_target = std::move(target);
}

void PreviewPrint::print()
{
    if (m_viewer->isHidden()) {
        if (m_statusPanel)
            m_statusPanel->setText(QStringLiteral("テキストのみ有効です。"));
        return;
    }
    if (m_viewer->isLarge()) {
        // The large-file view holds only what is on screen: printing its document would give
        // a blank page.
        m_prompts.message(m_window,
                          QStringLiteral("大きなファイルはプレビューから印刷できません。"),
                          QString(), platform::Prompts::Exclamation);
        return;
    }
    if (isPrinting()) {
        // One print at a time: the one under way is brought to the front.
        if (m_progress) {
            m_progress->raise();
            m_progress->activateWindow();
        }
        return;
    }
    std::unique_ptr<QPrinter> printer = m_target->printer(m_window);
    if (!printer)
        return; // cancelled in the print dialog
    const QString path = m_viewer->filePath();
    printer->setDocName(path.isEmpty() ? QStringLiteral("コラモ")
                                       : platform::displayName(QFileInfo(path).fileName()));
    // What is printed is a copy made now: the preview may show another file meanwhile.
    PrintSource source;
    if (m_viewer->isRichText()) {
        source.rich.reset(m_viewer->document()->clone());
    } else {
        source.plainText = m_viewer->text();
        source.font = m_viewer->document()->defaultFont();
    }
    m_job = std::make_unique<PrintJob>(std::move(printer), std::move(source));
    connect(m_job.get(), &PrintJob::finished, this, &PreviewPrint::finish);

    auto* progress = new QProgressDialog(m_window);
    progress->setObjectName(QStringLiteral("printProgress"));
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->setWindowTitle(QStringLiteral("印刷"));
    progress->setLabelText(QStringLiteral("印刷しています…"));
    progress->setCancelButtonText(QStringLiteral("キャンセル"));
    progress->setRange(0, 0);
    progress->setMinimumDuration(0);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    m_progress = progress;
    PrintJob* job = m_job.get();
    connect(progress, &QProgressDialog::canceled, job, &PrintJob::cancel);
    // The count of pages done, a few times a second.
    auto* tick = new QTimer(progress);
    connect(tick, &QTimer::timeout, progress, [progress, job = QPointer<PrintJob>(job)] {
        if (job)
            progress->setLabelText(
                QStringLiteral("印刷しています… %1 ページ").arg(job->pagesDone()));
    });
    tick->start(100);
    progress->show();
    m_job->start();
}

QProgressDialog* PreviewPrint::progressWindow() const
{
    return m_progress;
}

bool PreviewPrint::isPrinting() const
{
    // Until its end is reported, not only while its thread runs.
    return m_job != nullptr;
}

void PreviewPrint::finish(PrintResult result)
{
    if (m_progress)
        m_progress->close();
    const QString file = m_job->outputFile();
    const QString printerName = m_job->printerName();
    // The job is inside its own signal here: it goes once that has returned.
    m_job.release()->deleteLater();
    switch (result) {
    case PrintResult::Printed:
        if (m_statusPanel) {
            const QString where = !file.isEmpty() ? platform::displayPath(file) : printerName;
            m_statusPanel->setText(QStringLiteral("「") + where +
                                   QStringLiteral("」に印刷しました。"));
        }
        break;
    case PrintResult::Cancelled:
        if (m_statusPanel)
            m_statusPanel->setText(QStringLiteral("印刷を中止しました。"));
        break;
    case PrintResult::Failed:
        m_prompts.message(m_window, QStringLiteral("印刷できませんでした。"), QString(),
                          platform::Prompts::Exclamation);
        break;
    }
    Q_EMIT printFinished(result);
}

} // namespace editor
