#pragma once

#include "platform/TextEncoding.h"

#include <memory>

#include <QTextCursor>
#include <QWidget>

class QPlainTextEdit;
class QStackedLayout;
class QTextDocument;
class QTextEdit;
class QTimer;

namespace platform
{
struct SaveError;
}

namespace preview
{

class LargeTextView;
class TextLoader;
class TextSource;
struct TextLoad;

// The preview's text box. RTF files (whatever their extension) are read by our RTF reader and
// shown with their formatting in a rich-text view; every other file is decoded from its
// detected encoding and shown as plain text in a view that lays out only what is on screen,
// so that a log file of tens of megabytes opens at once. Positions and lengths count UTF-16
// units of text(), where every line or paragraph end is one '\n'.
class RichTextViewer : public QWidget
{
    Q_OBJECT
public:
    enum class SaveAs { Loaded, PlainText, RichText };

    explicit RichTextViewer(QWidget* parent = nullptr);
    ~RichTextViewer() override;

    // Shows the file, read on a worker: when it is not read within a short while, the box
    // says that it is loading and the text comes when it is there (loadFinished()), unless
    // another file was opened or the load stopped meanwhile. A file above
    // TextLoader::kLargeAbove goes to the large-file view.
    void open(const QString& path);
    bool isLoading() const;
    // Where open() reads from (a test puts in one that waits).
    void setTextSource(std::shared_ptr<TextSource> source);

    // Shows the file, read here and now; on failure (the file cannot be read) returns false with
    // the reason in *error and leaves the box empty. A non-empty encoding (an ICU converter name)
    // is used instead of the detected one.
    bool loadFile(const QString& path, QString* error = nullptr, const QByteArray& encoding = {});
    // Shows a file too large to be held as a document in the large-file view, which reads it
    // by position and indexes it in the background. Returns false when it cannot be opened.
    bool loadLargeFile(const QString& path, const QByteArray& encoding = {});
    // Reads the file shown again in another encoding.
    bool reloadAs(const QByteArray& encoding);
    // The encoding of the text shown (empty for RTF or nothing shown).
    QByteArray encoding() const;
    // Stops loading in the background; what is shown stays, a text still being read is dropped.
    void stopLoading();

    // Loaded: RTF back as RTF, text back as text in its encoding, BOM and line ends.
    // PlainText: the text in the loaded text file's encoding, BOM and line ends (UTF-8 with
    // LF when the box shows RTF). RichText: RTF. The file is replaced atomically; returns false
    // with the reason in *error when it cannot be written, or when a character has no form in
    // the encoding, or when the loaded file had bytes invalid in its encoding (nothing is
    // written then).
    bool saveFile(const QString& path, SaveAs as = SaveAs::Loaded, QString* error = nullptr);
    // The same, with the error's number (platform/TextSaver) for the caller's message.
    bool saveFile(const QString& path, SaveAs as, platform::SaveError* error);

    void clear();

    QString text() const;
    QString selectedText() const;
    int selStart() const;
    int selLength() const;
    // Like the classic text box: setting the start collapses the selection there; setting
    // the length extends it from the start. Out-of-range values are clamped.
    void setSelStart(int start);
    void setSelLength(int length);
    void setSelection(int start, int length);

    bool isRichText() const { return m_rich; }
    QString filePath() const { return m_path; }
    // The text as it was read from the file (or last saved to it); empty for a large file.
    QString loadedText() const { return m_loadedText; }
    const platform::TextFormat& textFormat() const { return m_format; }
    // Some bytes were not valid in the detected encoding (shown as U+FFFD).
    bool hadDecodeErrors() const { return m_decodeErrors; }

    // The document on show and its cursor, for callers that need more than the above.
    QTextDocument* document() const;
    QTextCursor textCursor() const;
    void setTextCursor(const QTextCursor& cursor);
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;
    QTextEdit* richView() const { return m_richView; }
    QPlainTextEdit* plainView() const { return m_plainView; }
    LargeTextView* largeView() const { return m_largeView; }
    bool isLarge() const { return m_large; }

Q_SIGNALS:
    // A text that open() read after it returned is shown (or could not be read).
    void loadFinished();

private:
    void showLoad(const QString& path, const TextLoad& load);
    void showBytes(const QString& path, const QByteArray& bytes, const QByteArray& encoding);
    void endLoading();
    void showPlainDocument(QTextDocument* document);
    bool loadPlain(QByteArrayView bytes, const QByteArray& encoding);

    QStackedLayout* m_stack = nullptr;
    QTextEdit* m_richView = nullptr;
    QPlainTextEdit* m_plainView = nullptr;
    LargeTextView* m_largeView = nullptr;
    QTextDocument* m_plainDocument = nullptr;
    TextLoader* m_loader = nullptr;
    QTimer* m_loadingWord = nullptr;
    QString m_path;
    QString m_loadedText;
    platform::TextFormat m_format;
    bool m_rich = false;
    bool m_large = false;
    bool m_decodeErrors = false;
    // Lines were grouped into blocks with U+2028 between them (large files).
    bool m_groupedLines = false;
};

} // namespace preview
