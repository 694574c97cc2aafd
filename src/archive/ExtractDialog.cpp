#include "archive/ExtractDialog.h"

#include "archive/RunCommand.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "fileops/FolderPicker.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace archive
{

ExtractDialog::ExtractDialog(Services services, Results results, QWidget* parent)
    : QDialog(parent), m_services(std::move(services)), m_results(std::move(results))
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("解凍先の指定"));
    setModal(true);
    const fileops::FileBrowser* browser = m_services.browser;
    m_folder = platform::withSlash(browser ? browser->currentFolder() : QString());
    m_fileName = browser ? browser->selectedFileName() : QString();
    m_family = m_services.familyOf ? m_services.familyOf(m_folder + m_fileName)
                                   : familyOfFileName(m_fileName);

    m_folderLabel = new QLabel(QStringLiteral("現在のフォルダ：") + m_folder, this);
    m_folderLabel->setObjectName(QStringLiteral("Label1"));
    m_fileLabel = new QLabel(QStringLiteral("解凍するファイル：") + m_fileName, this);
    m_fileLabel->setObjectName(QStringLiteral("Label2"));
    for (QLabel* label : {m_folderLabel, m_fileLabel})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The report carrier: not for reading here, it hands the report to the result window.
    m_carrier = new QTextEdit(this);
    m_carrier->setObjectName(QStringLiteral("RichTextBox1"));
    m_carrier->setReadOnly(true);
    m_carrier->hide();

    const struct {
        int number;
        const char16_t* caption;
    } buttons[] = {{1, u"現在のフォルダに解凍"},
                   {2, u"フォルダを選択して解凍"},
                   {3, u"キャンセル"},
                   {4, u"フォルダを作成して解凍"},
                   {5, u"フォルダにファイル名をつけて解凍"}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf16(b.caption), this);
        button->setObjectName(QStringLiteral("Command") + QString::number(b.number));
        button->setAutoDefault(false);
        m_buttons.append(button);
    }
    connect(button(1), &QPushButton::clicked, this, &ExtractDialog::intoCurrentFolder);
    connect(button(2), &QPushButton::clicked, this, &ExtractDialog::intoChosenFolder);
    connect(button(3), &QPushButton::clicked, this, &QDialog::reject);
    connect(button(4), &QPushButton::clicked, this, &ExtractDialog::intoNewFolder);
    connect(button(5), &QPushButton::clicked, this, &ExtractDialog::intoNamedFolder);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_folderLabel);
    layout->addWidget(m_fileLabel);
    layout->addSpacing(8);
    for (int number : {1, 2, 4, 5, 3})
        layout->addWidget(button(number));
    layout->addWidget(m_carrier);
    setMinimumWidth(360);
}

QPushButton* ExtractDialog::button(int number) const
{
    return number >= 1 && number <= m_buttons.size() ? m_buttons.at(number - 1) : nullptr;
}

QString ExtractDialog::carrierText() const
{
    return m_carrier->toPlainText();
}

QWidget* ExtractDialog::mainWindow() const
{
    return m_services.browser ? m_services.browser->window() : nullptr;
}

bool ExtractDialog::askToShow() const
{
    const auto& ask = m_services.askToShowExtracted;
    return ask ? ask() : true;
}

void ExtractDialog::offerToShow()
{
    if (m_results.offerToShow)
        m_results.offerToShow();
}

bool ExtractDialog::extract(ExtractWay way, const QString& destination)
{
    if (!m_family)
        return false;
    const std::optional<CallResult> result = runCommand(
        m_services.archiver, m_services.prompts, mainWindow(), *m_family,
        extractCommand(*m_family, way, m_folder + m_fileName, destination), kReportBufferSize);
    m_carrier->setPlainText(result ? result->report : QString());
    m_failure.clear();
    if (result && result->code != 0)
        m_failure = failureText(QStringLiteral("%1 を %2 に解凍できませんでした。")
                                    .arg(m_folder + m_fileName, destination),
                                *result);
    return result.has_value();
}

void ExtractDialog::tellFailure()
{
    if (m_failure.isEmpty())
        return;
    m_services.prompts->message(mainWindow(), m_failure, QString(), platform::Prompts::Exclamation);
    m_failure.clear();
}

void ExtractDialog::showResult()
{
    if (m_results.showReport)
        m_results.showReport(m_carrier->toPlainText());
}

void ExtractDialog::showResultUnlessQuietLzh()
{
    if (m_family == Family::Lzh && !askToShow())
        return;
    showResult();
}

void ExtractDialog::refreshAndClose()
{
    if (fileops::FileBrowser* browser = m_services.browser) {
        browser->refreshFolderTree();
        browser->refreshFileList();
    }
    accept();
}

void ExtractDialog::intoCurrentFolder()
{
    if (extract(ExtractWay::CurrentFolder, m_folder))
        showResultUnlessQuietLzh();
    tellFailure();
    refreshAndClose();
}

void ExtractDialog::intoChosenFolder()
{
    if (m_family) {
        const QString picked = fileops::pickFolder(*m_services.prompts, this,
                                                   QStringLiteral("解凍先を選択してください。"));
        if (picked.isEmpty())
            return;
        if (extract(ExtractWay::ChosenFolder, platform::withSlash(picked)))
            showResult();
        tellFailure();
    }
    if (askToShow())
        offerToShow();
    refreshAndClose();
}

void ExtractDialog::intoNewFolder()
{
    platform::Prompts& prompts = *m_services.prompts;
    const QString parent = fileops::pickFolder(
        prompts, this, QStringLiteral("作成するﾌｫﾙﾀﾞの親ﾌｫﾙﾀﾞを選択してください。"));
    if (parent.isEmpty())
        return;
    const QString name =
        prompts.input(this, QStringLiteral("作成するフォルダ名を入力してください。"),
                      QStringLiteral("フォルダ名の入力"), QString());
    if (name.isEmpty())
        return;
    const QString created = platform::withSlash(parent) + name;
    // A folder that cannot be made is left to the library to report.
    QDir().mkdir(created);
    if (extract(ExtractWay::NewFolder, platform::withSlash(created))) {
        showResult();
        tellFailure();
        if (askToShow())
            offerToShow();
    }
    fileops::setLastPickedFolder(created);
    if (askToShow())
        offerToShow();
    refreshAndClose();
}

void ExtractDialog::intoNamedFolder()
{
    const QString destination = namedFolderFor(m_folder, m_fileName);
    QDir().mkdir(destination);
    if (extract(ExtractWay::NamedFolder, destination))
        showResultUnlessQuietLzh();
    tellFailure();
    refreshAndClose();
}

} // namespace archive
