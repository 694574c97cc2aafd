#include "editor/PrintJob.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace editor
{

namespace
{
// Far above the pages of the largest text printed (16 MiB): a layout that never reaches the
// last line ends the print as failed rather than printing forever.
constexpr int kMaxPages = 200000;
} // namespace

PrintResult printDocument(QTextDocument& document, QPrinter& printer,
                          const std::atomic<bool>& cancel, std::atomic<int>& pages)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintResult::Failed;
    // Laid out for the paper, at the printer's resolution. Long lines wrap at the page's edge,
    // between words where there are any.
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    layout->setPaintDevice(&printer);
    const QFont footerFont = document.defaultFont();
    const qreal footer = QFontMetricsF(footerFont, &printer).height() * 2;
    const QSizeF body(printer.width(), std::max<qreal>(1, printer.height() - footer));
    document.setPageSize(body);
    // The layout goes only as far as the page drawn needs (drawing with a clip lays out down to
    // the clip's foot), so the first page comes at once and a cancel is heard between pages.
    const QTextBlock last = document.lastBlock();
    for (int page = 0;; ++page) {
        if (cancel.load()) {
            painter.end();
            return PrintResult::Cancelled;
        }
        if (page >= kMaxPages || (page > 0 && !printer.newPage())) {
            painter.end();
            return PrintResult::Failed;
        }
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
        pages.store(page + 1);
        // Once the layout holds the last line, its foot tells whether this page was the last.
        if (last.layout() && last.layout()->lineCount() > 0 &&
            layout->blockBoundingRect(last).bottom() <= (page + 1) * body.height() + 0.5)
            break;
    }
    const bool ended = painter.end();
    return ended && printer.printerState() != QPrinter::Error ? PrintResult::Printed
                                                              : PrintResult::Failed;
}

PrintJob::PrintJob(std::unique_ptr<QPrinter> printer, PrintSource source, QObject* parent)
    : QObject(parent), m_printer(std::move(printer)), m_source(std::move(source)),
      m_printerName(m_printer->printerName())
{
    m_outputFile = m_printer->outputFileName();
    if (!m_outputFile.isEmpty()) {
        // A hidden name beside the file; a folder that takes no new file fails the print.
        const QFileInfo info(m_outputFile);
        QTemporaryFile part(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                            QStringLiteral(".XXXXXX.pdf"));
        part.setAutoRemove(false);
        if (part.open()) {
            m_partFile = part.fileName();
            m_printer->setOutputFileName(m_partFile);
        }
    }
}

PrintJob::~PrintJob()
{
    cancel();
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void PrintJob::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] { run(); });
    m_thread->setObjectName(QStringLiteral("print"));
    if (m_source.rich)
        m_source.rich->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, this, [this] { Q_EMIT finished(m_result); });
    m_thread->start();
}

void PrintJob::cancel()
{
    m_cancel.store(true);
}

bool PrintJob::isRunning() const
{
    return m_thread && !m_thread->isFinished();
}

void PrintJob::run()
{
    if (!m_outputFile.isEmpty() && m_partFile.isEmpty()) {
        m_result = PrintResult::Failed;
        return;
    }
    std::unique_ptr<QTextDocument> document = std::move(m_source.rich);
    if (!document) {
        document = std::make_unique<QTextDocument>();
        document->setUndoRedoEnabled(false);
        document->setDefaultFont(m_source.font);
        document->setPlainText(m_source.plainText);
        m_source.plainText.clear();
    }
    m_result = printDocument(*document, *m_printer, m_cancel, m_pages);
    document.reset();
    if (m_partFile.isEmpty())
        return;
    // Only a whole print takes the file's name; anything else goes.
    if (m_result == PrintResult::Printed &&
        std::rename(QFile::encodeName(m_partFile).constData(),
                    QFile::encodeName(m_outputFile).constData()) != 0)
        m_result = PrintResult::Failed;
    if (m_result != PrintResult::Printed)
        QFile::remove(m_partFile);
}

} // namespace editor
