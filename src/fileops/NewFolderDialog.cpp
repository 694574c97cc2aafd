#include "fileops/NewFolderDialog.h"

#include "base/NativePath.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "fileops/NameRules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace fileops
{

NewFolderDialog::NewFolderDialog(FileBrowser& browser, platform::Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_browser(browser), m_prompts(prompts)
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("新規フォルダの作成"));
    setModal(true);

    // The caption shows the folder readably; the real one (any bytes) is kept beside it.
    m_folder = platform::withSlash(browser.currentFolder());
    m_parent = new QLabel(platform::displayPath(m_folder), this);
    m_parent->setObjectName(QStringLiteral("Label1"));
    m_parent->setTextFormat(Qt::PlainText);
    m_parent->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_name = new QLineEdit(QStringLiteral("新しいフォルダ"), this);
    m_name->setObjectName(QStringLiteral("Text1"));
    m_name->setAccessibleName(QStringLiteral("新しいフォルダの名前"));
    m_name->setSelection(0, int(m_name->text().size()));
    auto* after = new QLabel(QStringLiteral("を作ります"), this);
    after->setObjectName(QStringLiteral("Label2"));

    auto* ok = new QPushButton(QStringLiteral("ＯＫ"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    // Enter in the name box is the OK button, once.
    for (QPushButton* button : {ok, cancel})
        button->setAutoDefault(false);
    connect(m_name, &QLineEdit::returnPressed, ok, &QPushButton::click);
    connect(ok, &QPushButton::clicked, this, &NewFolderDialog::makeFolder);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(m_name, 1);
    nameRow->addWidget(after);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_parent);
    layout->addLayout(nameRow);
    layout->addLayout(buttons);
    setMinimumWidth(380);
    m_name->setFocus();
}

void NewFolderDialog::makeFolder()
{
    const QString name = m_name->text();
    // One level inside the shown folder: a name with a separator, "." or ".." is refused like
    // one the file system refuses.
    if (!isPlainName(name) || fileops::makeFolder(m_folder + name) != 0) {
        m_prompts.message(
            this,
            QStringLiteral("エラー。指定したフォルダがすでに存在するか、フォルダ名が不適切です。"));
        return;
    }
    accept();
    m_browser.refreshFolderTree();
}

} // namespace fileops
