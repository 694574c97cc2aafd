#include "editor/TextPrint.h"

#include "desktop/Prompts.h"
#include "preview/RichTextViewer.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>

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

bool printDocument(const QTextDocument& document, QPrinter& printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // A copy is laid out for the paper, at the printer's resolution; the one on screen keeps its
    // layout. Long lines wrap at the page's edge, between words where there are any.
    const std::unique_ptr<QTextDocument> copy(document.clone());
    QTextOption option = copy->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    copy->setDefaultTextOption(option);
    QAbstractTextDocumentLayout* layout = copy->documentLayout();
    layout->setPaintDevice(&printer);
    const QFont footerFont = copy->defaultFont();
    const qreal footer = QFontMetricsF(footerFont, &printer).height() * 2;
    const QSizeF body(printer.width(), std::max<qreal>(1, printer.height() - footer));
    copy->setPageSize(body);
    const int pages = copy->pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage())
            return false;
        painter.save();
        painter.translate(0, -page * body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, page * body.height(), body.width(), body.height());
        context.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(&painter, context);
        painter.restore();
        // The page number at the foot of the page.
        painter.setFont(footerFont);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, body.height(), body.width(), footer),
                         Qt::AlignHCenter | Qt::AlignBottom, QString::number(page + 1));
    }
    return painter.end() && printer.printerState() != QPrinter::Error;
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
    const std::unique_ptr<QPrinter> printer = m_target->printer(m_window);
    if (!printer)
        return; // cancelled in the print dialog
    const QString path = m_viewer->filePath();
    printer->setDocName(path.isEmpty() ? QStringLiteral("コラモ") : QFileInfo(path).fileName());
    if (!printDocument(*m_viewer->document(), *printer))
        m_prompts.message(m_window, QStringLiteral("印刷できませんでした。"), QString(),
                          platform::Prompts::Exclamation);
}

} // namespace editor
