#include "archive/MenuEntryDialog.h"

#include "archive/CompressCommands.h"
#include "archive/SelfExtracting.h"
#include "desktop/Prompts.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include <utility>

namespace archive
{

namespace
{
const QString kDirectiveName = QStringLiteral("$");
} // namespace

MenuEntryDialog::MenuEntryDialog(const SelfExtracting& steps, QString staging, QWidget* parent)
    : QDialog(parent), m_steps(steps), m_staging(std::move(staging))
{
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QStringLiteral("スタートメニューへの登録"));
    setModal(false);
    m_check = new QCheckBox(QStringLiteral("スタートメニューに登録する。"), this);
    m_check->setObjectName(QStringLiteral("Check1"));

    auto* form = new QFormLayout;
    const char16_t* labels[] = {u"チェックボックスの名前", u"グループ名",
                                u"グループの下(ショートカット)の名前", u"実行するファイル名"};
    for (int i = 0; i < 4; ++i) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        box->setMinimumWidth(240);
        m_texts.append(box);
        form->addRow(QString::fromUtf16(labels[i]), box);
    }

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_cancel->setObjectName(QStringLiteral("Command2"));
    connect(m_ok, &QPushButton::clicked, this, &MenuEntryDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_check);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

bool MenuEntryDialog::writeDirective()
{
    platform::Prompts& prompts = *m_steps.services().prompts;
    for (QLineEdit* box : std::as_const(m_texts)) {
        if (box->text().isEmpty()) {
            prompts.message(this,
                            QStringLiteral("記入漏れがあります。すべての項目をうめてください。"));
            return false;
        }
    }
    // The fields are separated by commas: a comma inside one would shift the others.
    for (int i = 1; i < 4; ++i) {
        if (m_texts.at(i)->text().contains(QLatin1Char(','))) {
            prompts.message(this, QStringLiteral("グループ名、名前、ファイル名に , は使えません。"),
                            QString(), platform::Prompts::Exclamation);
            return false;
        }
    }
    QDir().mkpath(m_staging);
    QSaveFile file(m_staging + kDirectiveName);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(menuDirectiveText(m_texts.at(0)->text(), m_texts.at(1)->text(),
                                     m_texts.at(2)->text(), m_texts.at(3)->text())) < 0 ||
        !file.commit()) {
        prompts.message(this, QStringLiteral("登録の指定を書き込めません: ") + file.fileName(),
                        QString(), platform::Prompts::Critical);
        return false;
    }
    return true;
}

void MenuEntryDialog::accept()
{
    const bool withDirective = m_check->isChecked();
    if (withDirective && !writeDirective())
        return;
    hide();
    const bool made = m_steps.lzhFromStaging(parentWidget(), m_staging, true);
    // The directive belongs to this archive only; a later one must not carry it unasked.
    if (withDirective)
        QFile::remove(m_staging + kDirectiveName);
    if (made)
        Q_EMIT archiveMade();
    close();
}

} // namespace archive
