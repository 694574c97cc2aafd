#include "preview/RichTextViewer.h"

#include "base/FileKind.h"

#include "base/RtfWriter.h"
#include "platform/RtfReader.h"
#include "preview/LargeTextView.h"
#include "preview/TextLoader.h"

#include "platform/TextSaver.h"

#include <QFile>
#include <QFileInfo>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

namespace preview
{

namespace
{

// Files above this size get their lines grouped into blocks: a block per line costs the
// document several seconds for a log of half a million lines.
constexpr qsizetype kGroupAbove = 1 << 20;
constexpr int kLinesPerBlock = 128;
constexpr qsizetype kPieceBytes = 1 << 20;
// How long a click waits for the text it shows: a local file is read well within it (the text
// is there when the click ends), a file on a mount that stalls does not hold the window. The
// box says that it is loading only when the read takes longer still, so that a read a little
// slower than the wait does not flash the word.
constexpr std::chrono::milliseconds kWaitInClick(40);
constexpr int kLoadingWordAfterMs = 150;

QTextDocument* newPlainDocument(QObject* parent)
{
    auto* document = new QTextDocument(parent);
    document->setDocumentLayout(new QPlainTextDocumentLayout(document));
    document->setUndoRedoEnabled(false);
    return document;
}

} // namespace

RichTextViewer::RichTextViewer(QWidget* parent) : QWidget(parent)
{
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_richView = new QTextEdit(this);
    m_richView->setAcceptRichText(true);
    m_plainView = new QPlainTextEdit(this);
    // Tab leaves the box, as in every other control of the window: a tab typed into a
    // previewed file would be saved into it by the overwrite command.
    m_richView->setTabChangesFocus(true);
    m_plainView->setTabChangesFocus(true);
    m_plainDocument = newPlainDocument(this);
    m_plainDocument->setUndoRedoEnabled(true);
    m_plainView->setDocument(m_plainDocument);
    m_stack->addWidget(m_plainView);
    m_stack->addWidget(m_richView);
    m_largeView = new LargeTextView(this);
    m_largeView->setObjectName(QStringLiteral("largeText"));
    m_stack->addWidget(m_largeView);
    m_stack->setCurrentWidget(m_plainView);
    setFocusProxy(m_plainView);
    m_loader = new TextLoader(this);
    connect(m_loader, &TextLoader::loaded, this, &RichTextViewer::showLoad);
    m_loadingWord = new QTimer(this);
    m_loadingWord->setSingleShot(true);
    m_loadingWord->setInterval(kLoadingWordAfterMs - int(kWaitInClick.count()));
    connect(m_loadingWord, &QTimer::timeout, this, [this] {
        if (m_loader->isLoading())
            m_plainView->setPlaceholderText(QStringLiteral("読み込んでいます…"));
    });
}

RichTextViewer::~RichTextViewer() = default;

void RichTextViewer::setTextSource(std::shared_ptr<TextSource> source)
{
    m_loader->setSource(std::move(source));
}

bool RichTextViewer::isLoading() const
{
    return m_loader->isLoading();
}

void RichTextViewer::endLoading()
{
    m_loader->drop();
    m_loadingWord->stop();
    m_plainView->setPlaceholderText(QString());
}

void RichTextViewer::open(const QString& path)
{
    clear();
    const std::optional<TextLoad> load = m_loader->start(path, kWaitInClick);
    if (load) {
        showLoad(path, *load);
        return;
    }
    m_loadingWord->start();
}

void RichTextViewer::showLoad(const QString& path, const TextLoad& load)
{
    endLoading();
    switch (load.kind) {
    case TextLoad::Kind::Failed:
        break; // the box stays empty
    case TextLoad::Kind::Whole:
        showBytes(path, load.bytes, QByteArray());
        break;
    case TextLoad::Kind::Large:
        loadLargeFile(path, load.encoding);
        break;
    }
    Q_EMIT loadFinished();
}

void RichTextViewer::showPlainDocument(QTextDocument* document)
{
    QTextDocument* old = m_plainDocument;
    m_plainDocument = document;
    m_plainView->setDocument(document);
    delete old;
    m_stack->setCurrentWidget(m_plainView);
    setFocusProxy(m_plainView);
}

void RichTextViewer::clear()
{
    endLoading();
    m_path.clear();
    m_loadedText.clear();
    m_format = platform::TextFormat();
    m_rich = false;
    m_large = false;
    m_largeView->close();
    m_decodeErrors = false;
    m_groupedLines = false;
    m_richView->clear();
    QTextDocument* empty = newPlainDocument(this);
    empty->setUndoRedoEnabled(true);
    showPlainDocument(empty);
}

bool RichTextViewer::loadPlain(QByteArrayView bytes, const QByteArray& encoding)
{
    m_format = platform::detectEncoding(bytes);
    if (!encoding.isEmpty() && encoding != m_format.encoding) {
        // The encoding the user chose; its byte order mark, when the bytes begin with one.
        platform::TextFormat chosen;
        chosen.encoding = encoding;
        chosen.bom = (encoding == "UTF-8" && bytes.startsWith("\xEF\xBB\xBF")) ||
                     (encoding == "UTF-16LE" && bytes.startsWith("\xFF\xFE")) ||
                     (encoding == "UTF-16BE" && bytes.startsWith("\xFE\xFF"));
        m_format = chosen;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        QTextDocument* document = newPlainDocument(this);
        QTextCursor cursor(document);
        bool group = bytes.size() > kGroupAbove;
        bool realSeparators = false;
        int lineInBlock = 0;
        const bool ok = platform::decodeChunks(bytes, m_format, kPieceBytes, [&](QString& piece) {
            if (group && !realSeparators) {
                // Most line ends become line breaks inside a block; every
                // kLinesPerBlock-th one ends the block.
                char16_t* p = reinterpret_cast<char16_t*>(piece.data());
                const qsizetype n = piece.size();
                for (qsizetype i = 0; i < n; ++i) {
                    const char16_t u = p[i];
                    if (u == u'\n') {
                        if (++lineInBlock < kLinesPerBlock)
                            p[i] = QChar::LineSeparator;
                        else
                            lineInBlock = 0;
                    } else if (u == QChar::LineSeparator || u == QChar::ParagraphSeparator) {
                        // The text has separators of its own: they must stay what they are.
                        realSeparators = true;
                        return;
                    }
                }
            }
            if (!realSeparators)
                cursor.insertText(piece);
        });
        if (realSeparators && group) {
            delete document;
            document = nullptr;
            // Decode again with a block per line.
            document = newPlainDocument(this);
            QTextCursor plain(document);
            platform::decodeChunks(bytes, m_format, kPieceBytes,
                                   [&](QString& piece) { plain.insertText(piece); });
            group = false;
        }
        if (!ok && attempt == 0 && encoding.isEmpty() && m_format.encoding == "UTF-8" &&
            !m_format.bom && bytes.size() > 256 * 1024) {
            // The beginning looked like UTF-8 but a later part is not: detect again there.
            const platform::TextFormat other = platform::detectEncodingAfterUtf8Failure(bytes);
            if (other.encoding != m_format.encoding) {
                delete document;
                m_format = other;
                continue;
            }
        }
        m_decodeErrors = !ok;
        m_groupedLines = group;
        document->setUndoRedoEnabled(true);
        document->setModified(false);
        showPlainDocument(document);
        return true;
    }
    return false;
}

bool RichTextViewer::loadFile(const QString& path, QString* error, const QByteArray& encoding)
{
    clear();
    // Only a regular file is opened: a FIFO would wait for a writer, a device such as
    // /dev/zero would never end.
    QFile file;
    if (!platform::openRegularFile(path, file)) {
        if (error) {
            *error = platform::fileKind(path) == platform::FileKind::Missing
                         ? QStringLiteral("ファイルが見つかりません。")
                         : QStringLiteral("通常のファイルではないため開けません。");
        }
        return false;
    }
    // Read, not mapped: a file that another program shortens while it loads must not bring
    // the program down (a mapping would fault on the missing pages).
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.close();
    showBytes(path, bytes, encoding);
    return true;
}

void RichTextViewer::showBytes(const QString& path, const QByteArray& bytes,
                               const QByteArray& encoding)
{
    m_path = path;
    if (RtfReader::isRtf(bytes) && encoding.isEmpty()) {
        m_rich = true;
        RtfReader::read(bytes, m_richView->document());
        m_richView->moveCursor(QTextCursor::Start);
        m_stack->setCurrentWidget(m_richView);
        setFocusProxy(m_richView);
    } else {
        loadPlain(bytes, encoding);
        m_plainView->moveCursor(QTextCursor::Start);
    }
    m_loadedText = text();
}

bool RichTextViewer::loadLargeFile(const QString& path, const QByteArray& encoding)
{
    clear();
    if (!m_largeView->open(path, encoding))
        return false;
    m_path = path;
    m_large = true;
    m_stack->setCurrentWidget(m_largeView);
    setFocusProxy(m_largeView);
    return true;
}

bool RichTextViewer::reloadAs(const QByteArray& encoding)
{
    if (m_path.isEmpty())
        return false;
    if (m_large) {
        m_largeView->setEncoding(encoding);
        return true;
    }
    const QString path = m_path;
    return loadFile(path, nullptr, encoding);
}

QByteArray RichTextViewer::encoding() const
{
    if (m_large)
        return m_largeView->encoding();
    if (m_rich || m_path.isEmpty())
        return QByteArray();
    return m_format.encoding;
}

void RichTextViewer::stopLoading()
{
    endLoading();
    m_largeView->abandon();
}

bool RichTextViewer::saveFile(const QString& path, SaveAs as, QString* error)
{
    platform::SaveError failure;
    const bool ok = saveFile(path, as, &failure);
    if (!ok && error)
        *error = failure.description;
    return ok;
}

bool RichTextViewer::saveFile(const QString& path, SaveAs as, platform::SaveError* error)
{
    if (m_large) {
        // The large-file view holds only what is on screen: saving would write that alone.
        if (error)
            error->description = QStringLiteral("大きなファイルはプレビューから保存できません。");
        return false;
    }
    if (as == SaveAs::Loaded)
        as = m_rich ? SaveAs::RichText : SaveAs::PlainText;
    bool ok = false;
    if (as == SaveAs::RichText) {
        QByteArray bytes;
        if (m_rich) {
            bytes = RtfWriter::write(m_richView->document());
        } else {
            QTextDocument copy;
            copy.setDefaultFont(m_plainView->font());
            copy.setPlainText(text());
            bytes = RtfWriter::write(&copy);
        }
        ok = platform::writeFileAtomically(path, bytes, error);
    } else {
        if (!m_rich && m_decodeErrors) {
            // The bytes that were not valid are shown as replacement characters; writing
            // those would silently change the parts of the file the user never touched.
            if (error) {
                error->number = 0;
                error->description =
                    QStringLiteral("このファイルには %1 として正しくないバイトがあるため、"
                                   "テキストとして保存するとその部分が変わってしまいます。"
                                   "保存しませんでした。")
                        .arg(platform::encodingDisplayName(m_format));
            }
            return false;
        }
        const platform::TextFormat format = m_rich ? platform::newTextFormat() : m_format;
        ok = platform::saveTextFile(path, text(), format, error);
    }
    if (ok) {
        document()->setModified(false);
        if (path == m_path)
            m_loadedText = text();
    }
    return ok;
}

QString RichTextViewer::text() const
{
    QString raw = document()->toRawText();
    const bool lineBreaks = m_rich || m_groupedLines;
    QChar* p = raw.data();
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i].unicode();
        if (u == QChar::ParagraphSeparator || (lineBreaks && u == QChar::LineSeparator))
            p[i] = QLatin1Char('\n');
    }
    return raw;
}

QString RichTextViewer::selectedText() const
{
    const int start = selStart();
    return text().mid(start, selLength());
}

QTextDocument* RichTextViewer::document() const
{
    return m_rich ? m_richView->document() : m_plainDocument;
}

QTextCursor RichTextViewer::textCursor() const
{
    return m_rich ? m_richView->textCursor() : m_plainView->textCursor();
}

void RichTextViewer::setTextCursor(const QTextCursor& cursor)
{
    if (m_rich)
        m_richView->setTextCursor(cursor);
    else
        m_plainView->setTextCursor(cursor);
}

int RichTextViewer::selStart() const
{
    return textCursor().selectionStart();
}

int RichTextViewer::selLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void RichTextViewer::setSelection(int start, int length)
{
    const int last = std::max(0, document()->characterCount() - 1);
    start = std::clamp(start, 0, last);
    length = std::clamp(length, 0, last - start);
    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(start + length, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void RichTextViewer::setSelStart(int start)
{
    setSelection(start, 0);
}

void RichTextViewer::setSelLength(int length)
{
    setSelection(selStart(), length);
}

void RichTextViewer::setReadOnly(bool readOnly)
{
    m_richView->setReadOnly(readOnly);
    m_plainView->setReadOnly(readOnly);
}

bool RichTextViewer::isReadOnly() const
{
    return m_plainView->isReadOnly();
}

} // namespace preview
