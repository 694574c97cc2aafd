#include "editor/PreviewSave.h"

#include "platform/NativePath.h"
#include "platform/Prompts.h"
#include "platform/TextSaver.h"
#include "preview/RichTextViewer.h"

#include <QLabel>

namespace editor
{

PreviewSave::PreviewSave(const Parts& parts, platform::Prompts& prompts)
    : m_parts(parts), m_prompts(prompts)
{
}

QString textFileFilter()
{
    return QStringLiteral("テキストファイル|*.txt|リッチテキストファイル|*.rtf|");
}

bool PreviewSave::textShown() const
{
    const bool shown = m_parts.box->isVisibleTo(m_parts.owner) && !m_parts.box->isHidden();
    if (!shown)
        m_parts.statusPanel->setText(QStringLiteral("テキストのみ有効です。"));
    return shown;
}

void PreviewSave::reportFailure(int number, const QString& description)
{
    using P = platform::Prompts;
    // Text that could not be saved without losing characters is no run-time error.
    const QString title =
        number > 0 ? QStringLiteral("コラモ　Err = ") + QString::number(number) : QString();
    m_prompts.message(m_parts.owner, description, title, P::Exclamation, P::OkOnly);
}

void PreviewSave::overwrite()
{
    using P = platform::Prompts;
    if (!textShown())
        return;
    const QString path = m_parts.currentFile->text();
    // The box must hold that file's text: a file that could not be read leaves it empty,
    // and saving the empty box would wipe the file.
    if (path.isEmpty() || m_parts.box->filePath() != path) {
        m_parts.statusPanel->setText(QStringLiteral("テキストのみ有効です。"));
        return;
    }
    if (m_prompts.message(m_parts.owner,
                          platform::displayPath(path) +
                              QStringLiteral("に上書き保存します。よろしいですか？"),
                          QStringLiteral("確認"), P::Question, P::YesNo) != P::Yes)
        return;
    // A rich text in a file of another extension stays rich text: written as plain text it
    // would lose every format.
    const bool rich =
        path.endsWith(QLatin1String("rtf"), Qt::CaseInsensitive) || m_parts.box->isRichText();
    using As = preview::RichTextViewer::SaveAs;
    platform::SaveError error;
    if (!m_parts.box->saveFile(path, rich ? As::RichText : As::PlainText, &error))
        reportFailure(error.number, error.description);
}

void PreviewSave::saveAs()
{
    if (!textShown())
        return;
    int filterIndex = 1;
    const QString path = m_prompts.saveFileNameFiltered(m_parts.owner, QString(),
                                                        platform::dialogFilters(textFileFilter()),
                                                        QString(), filterIndex, true);
    if (path.isEmpty())
        return; // cancelled
    using As = preview::RichTextViewer::SaveAs;
    platform::SaveError error;
    if (!m_parts.box->saveFile(path, filterIndex == 1 ? As::PlainText : As::RichText, &error))
        reportFailure(error.number, error.description);
}

} // namespace editor
