#include "settings/GeneralSettingsDialog.h"

#include "platform/DriveList.h"
#include "platform/Prompts.h"
#include "settings/Conversions.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace settings {

namespace {
const char* const kFolderKeys[] = {"folder", "folder2", "folder3", "folder4", "folder5"};
const char* const kFolderCaptions[] = {"よく使うフォルダ１", "よく使うフォルダ２", "よく使うフォルダ３",
                                       "よく使うフォルダ４", "よく使うフォルダ５"};
const char* const kCheckCaptions[] = {
    "関連づけられていないものは開くアプリを聞かない",
    "ファイルのドラッグアンドドロップを使用しない",
    "終了時のウィンドゥサイズを記録する(最小化時無効）",
    "ネットワークコンピュータを使えるようにする",
    "削除時にファイルをごみ箱に入れる",
    "圧縮ファイルの解凍時に、解凍したファイルを表示するかを聞かない。",
    "関連づけ先を表示しない。（少し動作が軽くなります）",
};

QString latin(const char* text)
{
    return QString::fromLatin1(text);
}
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
    grid->addWidget(driveLabel, 0, 0);
    grid->addWidget(m_drive, 0, 1, 1, 2);

    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(QString::fromUtf8(kFolderCaptions[i]), this);
        label->setObjectName(QStringLiteral("Label") + QString::number(i + 2));
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text") + QString::number(i + 1));
        box->setMinimumWidth(320);
        auto* browse = new QPushButton(QStringLiteral("参照"), this);
        browse->setObjectName(QStringLiteral("Command") + QString::number(i + 1));
        connect(browse, &QPushButton::clicked, this, [this, box] {
            const QString folder =
                m_prompts.pickFolder(m_pickerOwner, QStringLiteral("ﾌｫﾙﾀﾞを選択してください。"));
            if (!folder.isEmpty())
                box->setText(folder);
        });
        grid->addWidget(label, i + 1, 0);
        grid->addWidget(box, i + 1, 1);
        grid->addWidget(browse, i + 1, 2);
        m_folders.append(box);
    }

    auto* checks = new QVBoxLayout;
    for (int i = 0; i < 7; ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(kCheckCaptions[i]), this);
        box->setObjectName(QStringLiteral("Check") + QString::number(i + 1));
        checks->addWidget(box);
        m_checks.append(box);
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

    load();
}

QCheckBox* GeneralSettingsDialog::check(int number) const
{
    return number >= 1 && number <= m_checks.size() ? m_checks.at(number - 1) : nullptr;
}

QLineEdit* GeneralSettingsDialog::folderBox(int number) const
{
    return number >= 1 && number <= m_folders.size() ? m_folders.at(number - 1) : nullptr;
}

void GeneralSettingsDialog::load()
{
    const QString yokutukau = QStringLiteral("yokutukau");
    m_drive->setDrive(m_ini.read(yokutukau, QStringLiteral("drive")));
    for (int i = 0; i < 5; ++i)
        m_folders.at(i)->setText(m_ini.read(yokutukau, latin(kFolderKeys[i])));
    applyCheckValue(check(5), m_ini.read(QStringLiteral("gomi"), QStringLiteral("subete")));
    applyCheckValue(check(1), m_ini.read(QStringLiteral("kanren"), QStringLiteral("hiraku")));
    applyCheckValue(check(2), m_ini.read(QStringLiteral("fairu"), QStringLiteral("drag")));
    applyCheckValue(check(4), m_ini.read(QStringLiteral("net"), QStringLiteral("siyou")));
    applyCheckValue(check(6), m_ini.read(QStringLiteral("mes"), QStringLiteral("kaitou")));
    applyCheckValue(check(7), m_ini.read(QStringLiteral("kanren"), QStringLiteral("n")));
    applyCheckValue(check(3), m_ini.read(QStringLiteral("window"), QStringLiteral("size")));
}

void GeneralSettingsDialog::confirm()
{
    const QString yokutukau = QStringLiteral("yokutukau");
    m_ini.write(yokutukau, QStringLiteral("drive"), m_drive->drive());
    for (int i = 0; i < 5; ++i)
        m_ini.write(yokutukau, latin(kFolderKeys[i]), m_folders.at(i)->text());
    m_ini.write(QStringLiteral("gomi"), QStringLiteral("subete"), checkValueText(check(5)));
    m_ini.write(QStringLiteral("kanren"), QStringLiteral("hiraku"), checkValueText(check(1)));
    m_ini.write(QStringLiteral("fairu"), QStringLiteral("drag"), checkValueText(check(2)));
    m_ini.write(QStringLiteral("window"), QStringLiteral("size"), checkValueText(check(3)));
    m_ini.write(QStringLiteral("net"), QStringLiteral("siyou"), checkValueText(check(4)));
    m_ini.write(QStringLiteral("mes"), QStringLiteral("kaitou"), checkValueText(check(6)));
    m_ini.write(QStringLiteral("kanren"), QStringLiteral("n"), checkValueText(check(7)));
    Q_EMIT confirmed();
    accept();
}

void GeneralSettingsDialog::reject()
{
    QDialog::reject();
    Q_EMIT unloadRequested();
}

} // namespace settings
