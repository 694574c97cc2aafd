#include "fileops/ShortcutDialog.h"

#include "base/FileKind.h"
#include "base/NativePath.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "fileops/FolderPicker.h"
#include "platform/shortcut/Shortcut.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace fileops
{

ShortcutDialog::ShortcutDialog(FileBrowser& browser, platform::Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_prompts(prompts)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("ショートカットの作成"));
    setModal(true);

    auto label = [this](const char* name, const QString& text, QWidget* buddy = nullptr) {
        auto* caption = new QLabel(text, this);
        caption->setObjectName(QString::fromLatin1(name));
        // A box is named by its caption.
        caption->setBuddy(buddy);
        return caption;
    };
    auto edit = [this](const char* name, const QString& text) {
        auto* box = new QLineEdit(text, this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    auto button = [this](const char* name, const QString& text) {
        auto* push = new QPushButton(text, this);
        push->setObjectName(QString::fromLatin1(name));
        push->setAutoDefault(false);
        return push;
    };

    m_name = edit("Text1", QString());
    m_target =
        edit("Text2", platform::withSlash(browser.currentFolder()) + browser.selectedFileName());
    m_workingFolder = edit("Text3", QString());
    m_location = label("Label5", platform::withSlash(platform::desktopFolder()));
    m_location->setTextFormat(Qt::PlainText);
    m_location->setFrameShape(QFrame::StyledPanel);
    m_sameFolder =
        new QCheckBox(QStringLiteral("作業フォルダとリンクするフォルダ名を同じにする"), this);
    m_sameFolder->setObjectName(QStringLiteral("Check1"));
    QPushButton* pickLocation = button("Command3", QStringLiteral("参照"));
    QPushButton* pickTarget = button("Command4", QStringLiteral("参照"));
    QPushButton* ok = button("Command1", QStringLiteral("OK"));
    QPushButton* cancel = button("Command2", QStringLiteral("キャンセル"));
    ok->setDefault(true);

    connect(m_sameFolder, &QCheckBox::toggled, this, &ShortcutDialog::sameWorkingFolder);
    connect(pickLocation, &QPushButton::clicked, this, &ShortcutDialog::chooseLocation);
    connect(pickTarget, &QPushButton::clicked, this, &ShortcutDialog::chooseTarget);
    connect(ok, &QPushButton::clicked, this, &ShortcutDialog::create);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(label("Label1", QStringLiteral("作成するショートカット名"), m_name), 0, 0);
    grid->addWidget(m_name, 0, 1, 1, 2);
    grid->addWidget(label("Label2", QStringLiteral("リンクするファイル名"), m_target), 1, 0);
    grid->addWidget(m_target, 1, 1);
    grid->addWidget(pickTarget, 1, 2);
    grid->addWidget(label("Label3", QStringLiteral("作業フォルダ"), m_workingFolder), 2, 0);
    grid->addWidget(m_workingFolder, 2, 1, 1, 2);
    grid->addWidget(m_sameFolder, 3, 1, 1, 2);
    grid->addWidget(label("Label4", QStringLiteral("ショートカットを作成する場所")), 4, 0);
    grid->addWidget(m_location, 4, 1);
    grid->addWidget(pickLocation, 4, 2);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setMinimumWidth(560);
    m_name->setFocus();
}

QString ShortcutDialog::parentFolderName(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : trimmed.left(slash);
}

void ShortcutDialog::sameWorkingFolder(bool checked)
{
    if (checked)
        m_workingFolder->setText(parentFolderName(m_target->text()));
}

void ShortcutDialog::chooseLocation()
{
    const QString folder =
        pickFolder(m_prompts, this, QStringLiteral("フォルダを選択してください。"));
    if (!folder.isEmpty())
        m_location->setText(folder);
}

void ShortcutDialog::chooseTarget()
{
    const QString file = m_prompts.openFileName(this, QStringLiteral("リンクするファイルの選択"),
                                                QStringLiteral("すべてのファイル (*)"));
    if (!file.isEmpty())
        m_target->setText(file);
}

void ShortcutDialog::create()
{
    QString location = m_location->text();
    if (!location.endsWith(QLatin1Char('/'))) {
        location += QLatin1Char('/');
        m_location->setText(location);
    }
    const QString name = m_name->text();
    if (name.isEmpty()) {
        m_prompts.message(this, QStringLiteral("ショートカット名が入力されていません。"));
        return;
    }
    // The name is one file in the location, never a path into another folder.
    if (name.contains(QLatin1Char('/'))) {
        m_prompts.message(this, QStringLiteral("ショートカット名に「/」は使えません。"));
        return;
    }
    // A target that is gone (deleted or moved since it was chosen) would make a launcher that
    // opens nothing: the user decides whether that is meant.
    const QString target = m_target->text();
    if (!target.isEmpty() && platform::fileKind(target) == platform::FileKind::Missing &&
        m_prompts.message(this,
                          QStringLiteral("リンク先が見つかりません。\n") +
                              platform::displayPath(target) +
                              QStringLiteral("\nこのままショートカットを作成しますか？"),
                          QStringLiteral("ショートカットの作成"), platform::Prompts::Exclamation,
                          platform::Prompts::YesNo) != platform::Prompts::Yes)
        return;
    if (!haveLocation(location))
        return;
    const QString link = location + name;
    auto replace = platform::ShortcutReplace::Never;
    const QString file = platform::shortcutFileOf(link);
    if (QFileInfo(file).exists() || QFileInfo(file).isSymLink()) {
        const auto answer =
            m_prompts.message(this, file + QStringLiteral("\nは既に存在します。置き換えますか？"),
                              QStringLiteral("ショートカットの作成"),
                              platform::Prompts::Exclamation, platform::Prompts::YesNo);
        if (answer != platform::Prompts::Yes)
            return;
        replace = platform::ShortcutReplace::Existing;
    }
    QString reason;
    if (platform::CreateShortCut(link, m_target->text(), QStringLiteral("title"),
                                 m_workingFolder->text(), replace, &reason) == 0) {
        // The dialog stays with what was typed, so that the user can mend the cause and retry.
        m_prompts.message(this, QStringLiteral("ショートカットの作成に失敗しました。\n") + reason +
                                    QLatin1Char('\n') + platform::displayPath(file));
        return;
    }
    accept();
}

bool ShortcutDialog::haveLocation(const QString& location)
{
    // Anything but a missing folder is left to the writing, which says what is wrong with it.
    QString folder = location;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    const QFileInfo info(folder);
    if (info.exists() || info.isSymLink())
        return true;
    // A fresh account may have no desktop folder yet.
    if (m_prompts.message(this,
                          QStringLiteral("ショートカットを作成する場所のフォルダがありません。\n") +
                              platform::displayPath(location) +
                              QStringLiteral("\nフォルダを作成しますか？"),
                          QStringLiteral("確認"), platform::Prompts::Question,
                          platform::Prompts::YesNo) != platform::Prompts::Yes)
        return false;
    if (const int error = platform::makeFolderPath(location)) {
        m_prompts.message(this, QStringLiteral("フォルダを作成できませんでした。\n") +
                                    platform::shortcutErrorText(error) + QLatin1Char('\n') +
                                    platform::displayPath(location));
        return false;
    }
    return true;
}

} // namespace fileops
