#include "archive/ShowExtractedDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace archive
{

ShowExtractedDialog::ShowExtractedDialog(Actions actions, QWidget* parent)
    : QDialog(parent), m_actions(std::move(actions))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("解凍されたファイルの表示"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* question = new QLabel(QStringLiteral("解凍されたファイルを表示しますか？"), this);
    question->setObjectName(QStringLiteral("Label1"));

    auto* frame = new QGroupBox(QStringLiteral("表示の方法"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    m_here = new QRadioButton(QStringLiteral("このソフトで表示"), frame);
    m_here->setObjectName(QStringLiteral("Option1"));
    m_here->setChecked(true);
    m_fileManager = new QRadioButton(QStringLiteral("エクスプローラで表示"), frame);
    m_fileManager->setObjectName(QStringLiteral("Option2"));
    auto* options = new QVBoxLayout(frame);
    options->addWidget(m_here);
    options->addWidget(m_fileManager);

    m_show = new QPushButton(QStringLiteral("表示"), this);
    m_show->setObjectName(QStringLiteral("Command1"));
    m_show->setDefault(true);
    m_dontShow = new QPushButton(QStringLiteral("表示しない"), this);
    m_dontShow->setObjectName(QStringLiteral("Command2"));
    connect(m_show, &QPushButton::clicked, this, &ShowExtractedDialog::showChosen);
    connect(m_dontShow, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_show);
    buttons->addWidget(m_dontShow);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    // Wide enough for the whole caption beside the title bar's buttons.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 160);
}

void ShowExtractedDialog::showChosen()
{
    // What cannot be shown is left alone; the dialog closes either way.
    const QString folder = m_actions.folder ? m_actions.folder() : QString();
    if (m_here->isChecked()) {
        if (m_actions.showHere)
            m_actions.showHere(folder);
    } else if (m_fileManager->isChecked()) {
        if (m_actions.showInFileManager)
            m_actions.showInFileManager(folder);
    }
    close();
}

} // namespace archive
