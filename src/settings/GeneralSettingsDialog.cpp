#include "settings/GeneralSettingsDialog.h"

#include "desktop/DriveList.h"
#include "desktop/Prompts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace settings
{

namespace
{
const char* const kFolderCaptions[] = {"よく使うフォルダ１", "よく使うフォルダ２",
                                       "よく使うフォルダ３", "よく使うフォルダ４",
                                       "よく使うフォルダ５"};
const char* const kCheckCaptions[] = {
    "関連づけられていないものは開くアプリを聞かない",
    "ファイルのドラッグアンドドロップを使用しない",
    "終了時のウィンドゥサイズを記録する(最小化時無効）",
    "ネットワークコンピュータを使えるようにする",
    "削除時にファイルをごみ箱に入れる",
    "圧縮ファイルの解凍時に、解凍したファイルを表示するかを聞かない。",
    "関連づけ先を表示しない。（少し動作が軽くなります）",
};
} // namespace

GeneralSettingsDialog::GeneralSettingsDialog(const ExpIni& ini, platform::Prompts& prompts,
                                             QWidget* pickerOwner, QWidget* parent)
    : QDialog(parent), m_ini(ini), m_prompts(prompts), m_pickerOwner(pickerOwner)
{
    setObjectName(QStringLiteral("GeneralSettings"));
    setWindowTitle(QStringLiteral("設定"));
    setModal(true);

    auto* grid = new QGridLayout;
    auto* driveLabel = new QLabel(QStringLiteral("よく使うドライブ"), this);
    driveLabel->setObjectName(QStringLiteral("Label1"));
    m_drive = new platform::DriveList(this);
    m_drive->setObjectName(QStringLiteral("Drive1"));
    driveLabel->setBuddy(m_drive);
    m_holders.bind(m_drive);
    grid->addWidget(driveLabel, 0, 0);
    grid->addWidget(m_drive, 0, 1, 1, 2);

    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(QString::fromUtf8(kFolderCaptions[i]), this);
        label->setObjectName(QStringLiteral("Label") + QString::number(i + 2));
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text") + QString::number(i + 1));
        label->setBuddy(box);
        box->setMinimumWidth(320);
        auto* browse = new QPushButton(QStringLiteral("参照"), this);
        browse->setObjectName(QStringLiteral("Command") + QString::number(i + 1));
        connect(browse, &QPushButton::clicked, this, [this, box] {
            const QString prompt = QStringLiteral("ﾌｫﾙﾀﾞを選択してください。");
            const QString folder = m_pickFolder ? m_pickFolder(m_pickerOwner, prompt)
                                                : m_prompts.pickFolder(m_pickerOwner, prompt);
            if (!folder.isEmpty())
                box->setText(folder);
        });
        grid->addWidget(label, i + 1, 0);
        grid->addWidget(box, i + 1, 1);
        grid->addWidget(browse, i + 1, 2);
        m_folders.append(box);
        m_holders.bind(box);
    }

    auto* checks = new QVBoxLayout;
    for (int i = 0; i < 7; ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(kCheckCaptions[i]), this);
        box->setObjectName(QStringLiteral("Check") + QString::number(i + 1));
        checks->addWidget(box);
        m_holders.bind(box);
    }

    auto* ok = new QPushButton(QStringLiteral("ＯＫ"), this);
    ok->setObjectName(QStringLiteral("Command9"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("Command10"));
    auto* previewButton = new QPushButton(QStringLiteral("プレビューの設定"), this);
    previewButton->setObjectName(QStringLiteral("Command11"));
    connect(ok, &QPushButton::clicked, this, &GeneralSettingsDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &GeneralSettingsDialog::reject);
    connect(previewButton, &QPushButton::clicked, this, [this] {
        if (m_openPreview)
            m_openPreview();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(previewButton);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(checks);
    layout->addLayout(buttons);

    m_holders.clear();
    load();
}

QLineEdit* GeneralSettingsDialog::folderBox(int number) const
{
    return number >= 1 && number <= m_folders.size() ? m_folders.at(number - 1) : nullptr;
}

void GeneralSettingsDialog::load()
{
    for (const Key key : order::generalLoad())
        m_holders.load(key, m_ini.read(sectionOf(key), nameOf(key)));
}

void GeneralSettingsDialog::confirm()
{
    // A failed save has told the user; the settings stay in force until the program exits.
    m_holders.save(order::generalWrite(), m_ini, m_prompts, this);
    Q_EMIT confirmed();
    accept();
}

void GeneralSettingsDialog::reject()
{
    QDialog::reject();
    Q_EMIT unloadRequested();
}

} // namespace settings
