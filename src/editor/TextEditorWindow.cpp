#include "editor/TextEditorWindow.h"

#include "editor/PreviewSave.h"

#include "base/FileKind.h"
#include "base/RtfWriter.h"
#include "desktop/Prompts.h"
#include "fileops/ExistingFile.h"
#include "platform/RtfReader.h"
#include "platform/TextSaver.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>

#include <functional>

namespace editor
{

namespace
{

// Whether every character of the selection (the caret's format when nothing is selected)
// has the property.
bool wholeSelection(const QTextEdit* box, const std::function<bool(const QTextCharFormat&)>& has)
{
    const QTextCursor cursor = box->textCursor();
    if (!cursor.hasSelection())
        return has(box->currentCharFormat());
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    for (QTextBlock block = box->document()->findBlock(start);
         block.isValid() && block.position() < end; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = fragment.position();
            const int to = from + fragment.length();
            if (to <= start || from >= end)
                continue;
            if (!has(fragment.charFormat()))
                return false;
        }
    }
    return true;
}

} // namespace

TextEditorWindow::TextEditorWindow(platform::Prompts& prompts, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_prompts(prompts)
{
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(QStringLiteral("簡易テキストエディタ"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_box = new QTextEdit(this);
    m_box->setObjectName(QStringLiteral("RichTextBox1"));
    m_box->setAccessibleName(QStringLiteral("テキスト"));
    m_box->setAcceptRichText(true);
    setCentralWidget(m_box);
    buildMenus();
    buildToolbar();
    connect(m_box, &QTextEdit::cursorPositionChanged, this, &TextEditorWindow::followSelection);
    connect(m_box, &QTextEdit::selectionChanged, this, &TextEditorWindow::followSelection);
    connect(m_box, &QTextEdit::currentCharFormatChanged, this, &TextEditorWindow::followSelection);
    resize(640, 420);
    followSelection();
}

TextEditorWindow::~TextEditorWindow() = default;

QString TextEditorWindow::fileFilter()
{
    return textFileFilter();
}

void TextEditorWindow::buildMenus()
{
    auto add = [this](QMenu* menu, const char* name, const QString& caption,
                      void (TextEditorWindow::*command)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, command);
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル"));
    file->setObjectName(QStringLiteral("fairu"));
    add(file, "rodo", QStringLiteral("読み込み"), &TextEditorWindow::load);
    add(file, "save", QStringLiteral("保存"), &TextEditorWindow::save);
    QMenu* font = menuBar()->addMenu(QStringLiteral("フォント"));
    font->setObjectName(QStringLiteral("fonto"));
    add(font, "henkou", QStringLiteral("フォントの変更"), &TextEditorWindow::chooseFont);
    add(font, "iro", QStringLiteral("文字色"), &TextEditorWindow::chooseColor);
}

void TextEditorWindow::buildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    auto button = [this](const QString& text, const QString& tooltip) {
        QAction* action = m_toolbar->addAction(text);
        action->setToolTip(tooltip);
        action->setObjectName(QStringLiteral("Button") + QString::number(m_buttons.size() + 1));
        m_buttons.append(action);
        return action;
    };
    auto separator = [this] { m_buttons.append(m_toolbar->addSeparator()); };

    QAction* save = button(QStringLiteral("保存"), QStringLiteral("保存"));
    save->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    connect(save, &QAction::triggered, this, &TextEditorWindow::save);
    separator();
    connect(button(QStringLiteral("色"), QStringLiteral("文字色")), &QAction::triggered, this,
            &TextEditorWindow::chooseColor);
    connect(button(QStringLiteral("字"), QStringLiteral("フォントの変更")), &QAction::triggered,
            this, &TextEditorWindow::chooseFont);
    separator();

    struct Style {
        const char* text;
        const char* tooltip;
        std::function<void(QFont&)> look;
        std::function<void(QTextCharFormat&, bool)> apply;
    };
    const Style styles[] = {
        {"B", "太字", [](QFont& f) { f.setBold(true); },
         [](QTextCharFormat& f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); }},
        {"I", "斜体", [](QFont& f) { f.setItalic(true); },
         [](QTextCharFormat& f, bool on) { f.setFontItalic(on); }},
        {"U", "下線", [](QFont& f) { f.setUnderline(true); },
         [](QTextCharFormat& f, bool on) { f.setFontUnderline(on); }},
    };
    for (const Style& s : styles) {
        QAction* action = button(QString::fromLatin1(s.text), QString::fromUtf8(s.tooltip));
        action->setCheckable(true);
        QFont look = action->font();
        s.look(look);
        action->setFont(look);
        const auto apply = s.apply;
        // Only a click applies the style; the buttons following the selection do not.
        connect(action, &QAction::triggered, this, [this, apply](bool on) {
            QTextCharFormat format;
            apply(format, on);
            mergeFormat(format);
        });
    }
    separator();

    m_alignments = new QActionGroup(this);
    m_alignments->setExclusive(true);
    const std::pair<const char*, Qt::Alignment> alignments[] = {
        {"左揃え", Qt::AlignLeft}, {"中央揃え", Qt::AlignHCenter}, {"右揃え", Qt::AlignRight}};
    for (const auto& [tooltip, alignment] : alignments) {
        const QString caption = QString::fromUtf8(tooltip);
        QAction* action = button(caption.left(1), caption);
        action->setCheckable(true);
        m_alignments->addAction(action);
        const Qt::Alignment a = alignment;
        connect(action, &QAction::triggered, this, [this, a] { setAlignment(a); });
    }
}

QAction* TextEditorWindow::toolbarButton(int index) const
{
    return index >= 1 && index <= m_buttons.size() ? m_buttons[index - 1] : nullptr;
}

void TextEditorWindow::mergeFormat(const QTextCharFormat& format)
{
    QTextCursor cursor = m_box->textCursor();
    cursor.mergeCharFormat(format);
    m_box->mergeCurrentCharFormat(format);
    followSelection();
}

void TextEditorWindow::setAlignment(Qt::Alignment alignment)
{
    QTextBlockFormat format;
    format.setAlignment(alignment);
    m_box->textCursor().mergeBlockFormat(format);
}

void TextEditorWindow::followSelection()
{
    const bool bold = wholeSelection(
        m_box, [](const QTextCharFormat& f) { return f.fontWeight() >= QFont::DemiBold; });
    const bool italic =
        wholeSelection(m_box, [](const QTextCharFormat& f) { return f.fontItalic(); });
    const bool underline =
        wholeSelection(m_box, [](const QTextCharFormat& f) { return f.fontUnderline(); });
    m_buttons[5]->setChecked(bold);
    m_buttons[6]->setChecked(italic);
    m_buttons[7]->setChecked(underline);
    const Qt::Alignment alignment =
        m_box->textCursor().blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    const int button = alignment == Qt::AlignHCenter ? 11 : (alignment == Qt::AlignRight ? 12 : 10);
    m_buttons[button - 1]->setChecked(true);
}

void TextEditorWindow::showError(const QString& description)
{
    m_prompts.message(this, description, QStringLiteral("エラー"), platform::Prompts::NoIcon,
                      platform::Prompts::OkOnly);
}

void TextEditorWindow::load()
{
    using P = platform::Prompts;
    // Loading another file does not throw away edits the user has not saved without asking.
    if (m_box->document()->isModified() &&
        m_prompts.message(this,
                          QStringLiteral("内容が変更されています。保存せずに読み込みますか？"),
                          QStringLiteral("確認"), P::Question, P::YesNo) != P::Yes)
        return;
    const QString path = m_prompts.openFileName(
        this, QString(), platform::dialogFilters(fileFilter()).join(QStringLiteral(";;")));
    if (path.isEmpty())
        return; // cancelled
    m_fileName = path;
    loadFile(path);
}

bool TextEditorWindow::loadFile(const QString& path)
{
    QFile file;
    if (!platform::openRegularFile(path, file)) {
        showError(platform::fileKind(path) == platform::FileKind::Missing
                      ? QStringLiteral("ファイルが見つかりません。")
                      : QStringLiteral("通常のファイルではないため開けません。"));
        return false;
    }
    if (file.size() > kLargestFile) {
        showError(QStringLiteral("ファイルが大きすぎるため開けません（%1 MB まで開けます）。")
                      .arg(kLargestFile / (1024 * 1024)));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        showError(file.errorString());
        return false;
    }
    if (preview::RtfReader::isRtf(bytes)) {
        preview::RtfReader::read(bytes, m_box->document());
        // A rich text saved as text becomes a new UTF-8 text.
        m_format = platform::newTextFormat();
        m_decodeErrors = false;
    } else {
        platform::DecodedText decoded = platform::decodeText(bytes);
        m_box->setPlainText(decoded.text);
        m_format = decoded.format;
        m_decodeErrors = decoded.hadErrors;
    }
    m_box->document()->setModified(false);
    m_box->moveCursor(QTextCursor::Start);
    followSelection();
    return true;
}

void TextEditorWindow::save()
{
    int filterIndex = 1;
    const QString path = m_prompts.saveFileNameFiltered(
        this, QString(), platform::dialogFilters(fileFilter()), m_fileName, filterIndex, false);
    if (path.isEmpty())
        return; // cancelled: nothing is saved
    m_fileName = path;
    saveTo(path, filterIndex);
}

bool TextEditorWindow::confirmOverwrite(const QString& path,
                                        std::optional<QFileDevice::Permissions>& madeWritable)
{
    using P = platform::Prompts;
    if (fileops::existingFile(path) &&
        m_prompts.message(this, QStringLiteral("既にファイルが存在します。上書きしますか？"),
                          QStringLiteral("上書きの確認"), P::NoIcon, P::YesNo) != P::Yes)
        return false;
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (!info.isFile()) {
        showError(QStringLiteral("%1 はファイルではないため保存できません。").arg(path));
        return false;
    }
    // Read-only: nobody may write it by its permissions, whoever we are.
    if (!(info.permissions() & QFileDevice::WriteOwner) || !info.isWritable()) {
        if (m_prompts.message(
                this,
                QStringLiteral("読み込み専用ファイルです。この属性を解除し、上書きしますか？"),
                QStringLiteral("読み込み専用ファイルの上書き確認"), P::NoIcon, P::YesNo) != P::Yes)
            return false;
        if (!QFile::setPermissions(path, info.permissions() | QFileDevice::WriteOwner |
                                             QFileDevice::WriteUser)) {
            showError(QStringLiteral("%1 の読み込み専用を解除できませんでした。").arg(path));
            return false;
        }
        madeWritable = info.permissions();
    }
    return true;
}

bool TextEditorWindow::saveTo(const QString& path, int filterIndex)
{
    std::optional<QFileDevice::Permissions> madeWritable;
    if (!confirmOverwrite(path, madeWritable))
        return false;
    const bool saved = filterIndex == 1 ? writeText(path) : writeRichText(path);
    if (saved)
        m_box->document()->setModified(false);
    else if (madeWritable) // nothing was saved: the file stays read-only as it was
        QFile::setPermissions(path, *madeWritable);
    return saved;
}

bool TextEditorWindow::writeText(const QString& path)
{
    if (m_decodeErrors) {
        showError(QStringLiteral("読み込んだファイルに %1 として正しくないバイトがあったため、"
                                 "テキストとして保存するとその部分が変わってしまいます。"
                                 "保存しませんでした。")
                      .arg(platform::encodingDisplayName(m_format)));
        return false;
    }
    // The raw text keeps no-break spaces, which the plain-text export turns into blanks.
    QString text = m_box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    platform::SaveError error;
    if (platform::saveTextFile(path, text, m_format, &error))
        return true;
    showError(error.description);
    return false;
}

bool TextEditorWindow::writeRichText(const QString& path)
{
    platform::SaveError error;
    if (platform::writeFileAtomically(path, preview::RtfWriter::write(m_box->document()), &error))
        return true;
    showError(error.description);
    return false;
}

void TextEditorWindow::chooseFont()
{
    QFont font = m_box->currentCharFormat().font();
    if (!m_prompts.chooseFont(this, font))
        return; // cancelled
    QTextCharFormat format;
    format.setFontFamilies(QStringList{font.family()});
    if (font.pointSizeF() > 0)
        format.setFontPointSize(font.pointSizeF());
    format.setFontWeight(font.bold() ? QFont::Bold : QFont::Normal);
    format.setFontItalic(font.italic());
    mergeFormat(format);
}

void TextEditorWindow::chooseColor()
{
    QColor color = m_box->currentCharFormat().foreground().color();
    if (!m_prompts.chooseColor(this, color))
        return; // cancelled
    QTextCharFormat format;
    format.setForeground(color);
    mergeFormat(format);
}

void TextEditorWindow::closeEvent(QCloseEvent* event)
{
    using P = platform::Prompts;
    // Closing does not throw away edits the user has not saved without asking.
    if (m_box->document()->isModified() &&
        m_prompts.message(this, QStringLiteral("内容が変更されています。保存せずに閉じますか？"),
                          QStringLiteral("確認"), P::Question, P::YesNo) != P::Yes) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace editor
