#include "editor/PreviewSave.h"

#include "base/FileKind.h"
#include "base/NativePath.h"
#include "desktop/Prompts.h"
#include "platform/TextSaver.h"
#include "preview/RichTextViewer.h"

#include <QLabel>
#include <QStringList>

#include <algorithm>

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

int changedLines(const QString& before, const QString& after)
{
    if (before == after)
        return 0;
    const QStringList old = before.split(QLatin1Char('\n'));
    const QStringList now = after.split(QLatin1Char('\n'));
    // The lines between the unchanged beginning and the unchanged end.
    qsizetype head = 0;
    while (head < old.size() && head < now.size() && old.at(head) == now.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           old.at(old.size() - 1 - tail) == now.at(now.size() - 1 - tail))
        ++tail;
    return int(std::max(old.size() - head - tail, now.size() - head - tail));
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

bool PreviewSave::fileGone(const QString& path)
{
    // A file renamed or deleted since it was shown is not made again under its old name.
    if (platform::isRegularFile(path))
        return false;
    m_prompts.message(m_parts.owner,
                      platform::displayPath(path) +
                          QStringLiteral("が見つかりません。名前が変更されたか削除されています。"
                                         "上書き保存しませんでした。"),
                      QString(), platform::Prompts::Exclamation, platform::Prompts::OkOnly);
    return true;
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
    if (fileGone(path))
        return;
    QString question =
        platform::displayPath(path) + QStringLiteral("に上書き保存します。よろしいですか？");
    // Text typed into the preview by mistake is never saved without the user seeing it.
    const int changed = changedLines(m_parts.box->loadedText(), m_parts.box->text());
    if (changed > 0)
        question +=
            QStringLiteral("\n（読み込んだときから %1 行が変更されています。）").arg(changed);
    if (m_prompts.message(m_parts.owner, question, QStringLiteral("確認"), P::Question, P::YesNo) !=
        P::Yes)
        return;
    // The file may have gone while the question was open.
    if (fileGone(path))
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
