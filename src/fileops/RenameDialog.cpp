#include "fileops/RenameDialog.h"

#include "base/Cp932.h"
#include "base/NativePath.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "fileops/NameRules.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>

namespace fileops
{

namespace
{
// A name whose bytes are not UTF-8 is offered for editing as its CP932 reading, so that the
// user can give the file a readable name; the old name itself stays as it is.
QString editableName(const QString& name)
{
    return platform::hasForeignBytes(name) ? platform::fromCp932(platform::toNativePath(name))
                                           : name;
}
} // namespace

RenameDialog::RenameDialog(FileBrowser& browser, platform::Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_browser(browser), m_prompts(prompts)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("ファイル名の変更"));
    setModal(true);
    const QString name = browser.selectedFileName();
    m_oldPath = platform::withSlash(browser.currentFolder()) + name;

    m_oldName = new QLabel(platform::displayPath(m_oldPath), this);
    m_oldName->setObjectName(QStringLiteral("Label1"));
    m_oldName->setTextFormat(Qt::PlainText);
    m_oldName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_newName = new QLineEdit(editableName(name), this);
    m_newName->setObjectName(QStringLiteral("Text1"));
    m_newName->setAccessibleName(QStringLiteral("新しい名前"));
    m_newName->setSelection(0, int(m_newName->text().size()));
    auto* after = new QLabel(QStringLiteral("に変更します"), this);
    after->setObjectName(QStringLiteral("Label2"));
    m_keepExtension = new QCheckBox(QStringLiteral("元の拡張子を自動的につける"), this);
    m_keepExtension->setObjectName(QStringLiteral("Check1"));
    m_keepExtension->setChecked(false);
    // The working field of the extension rule; not for the user.
    m_work = new QLineEdit(m_oldPath, this);
    m_work->setObjectName(QStringLiteral("Text2"));
    m_work->hide();

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Command1"));
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    // Enter in the name box is the OK button, and only that: no button is the dialog's
    // default, so one Enter renames once.
    for (QPushButton* button : {m_ok, cancel})
        button->setAutoDefault(false);
    connect(m_newName, &QLineEdit::returnPressed, m_ok, &QPushButton::click);
    connect(m_ok, &QPushButton::clicked, this, &RenameDialog::renameFile);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(m_newName, 1);
    nameRow->addWidget(after);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_oldName);
    layout->addLayout(nameRow);
    layout->addWidget(m_keepExtension);
    layout->addWidget(m_work);
    layout->addLayout(buttons);
    setMinimumWidth(420);
    m_newName->setFocus();
}

void RenameDialog::run(FileBrowser& browser, platform::Prompts& prompts, QWidget* parent)
{
    for (;;) {
        RenameDialog dialog(browser, prompts, parent);
        if (dialog.exec() != Reopen)
            return;
    }
}

void RenameDialog::renameFile()
{
    const QString folder = platform::withSlash(m_browser.currentFolder());
    QString name = m_newName->text();
    if (name.isEmpty()) {
        m_prompts.message(this, QStringLiteral("ファイル名が入力されていません。"));
        m_browser.refreshFileList();
        return;
    }
    if (m_keepExtension->isChecked()) {
        const QString extension = keptExtension(m_work->text());
        if (extension != QStringLiteral(".html"))
            m_work->setText(extension);
        name += extension;
        m_newName->setText(name);
    }
    const int error = isPlainName(name) ? renameWithoutReplacing(m_oldPath, folder + name) : EINVAL;
    if (error != 0) {
        failed(error, name);
        return;
    }
    accept();
    m_browser.refreshFileList();
}

void RenameDialog::failed(int error, const QString& name)
{
    QString text;
    if (error == EEXIST || error == ENOTEMPTY)
        text = QStringLiteral("同名のファイルが存在しています。");
    else if (!isPlainName(name))
        text = QStringLiteral(
            "このファイル名は使えません。「/」や改行などの制御文字を含む名前と「.」「..」は"
            "付けられません。");
    else
        text = QStringLiteral("ファイル名を変更できませんでした。\n") +
               platform::displayPath(m_oldPath) + QStringLiteral("\n") +
               QString::fromLocal8Bit(std::strerror(error));
    m_prompts.message(this, text);
    done(Reopen);
}

} // namespace fileops
