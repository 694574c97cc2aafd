#pragma once

#include <QFont>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QPrinter;
class QTextDocument;
class QThread;

namespace editor
{

enum class PrintResult { Printed, Cancelled, Failed };

// Lays the document out on the printer's pages a page at a time (page numbers at the foot) and
// prints it, on the calling thread. `pages` counts the pages done; `cancel` is looked at
// before every page. The document must belong to the calling thread; the printer is used by it
// alone meanwhile.
PrintResult printDocument(QTextDocument& document, QPrinter& printer,
                          const std::atomic<bool>& cancel, std::atomic<int>& pages);

// What is printed: the plain text in a font, or a rich document (moved to the job's thread).
struct PrintSource {
    QString plainText;
    QFont font;
    std::unique_ptr<QTextDocument> rich;
};

// One print on a thread of its own, so that the window answers while hundreds of pages are
// made. A printer that writes a file writes a hidden file beside it first, which takes the
// file's name only when every page is done: a cancelled or failed print leaves no file behind.
class PrintJob final : public QObject
{
    Q_OBJECT
public:
    PrintJob(std::unique_ptr<QPrinter> printer, PrintSource source, QObject* parent = nullptr);
    // Cancels the print and waits for its thread.
    ~PrintJob() override;

    void start();
    void cancel();
    bool isRunning() const;
    int pagesDone() const { return m_pages.load(); }
    // The file printed into, or empty for a printer.
    QString outputFile() const { return m_outputFile; }
    QString printerName() const { return m_printerName; }

Q_SIGNALS:
    void finished(editor::PrintResult result);

private:
    void run();

    std::unique_ptr<QPrinter> m_printer;
    PrintSource m_source;
    QString m_outputFile;
    QString m_partFile;
    QString m_printerName;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_pages{0};
    PrintResult m_result = PrintResult::Failed;
    QThread* m_thread = nullptr;
};

} // namespace editor
