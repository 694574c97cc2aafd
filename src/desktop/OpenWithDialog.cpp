#include "desktop/OpenWithDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace platform
{

OpenWithDialog::OpenWithDialog(QWidget* owner, const QString& path,
                               const QList<gio::Application>& apps)
    : QDialog(owner), m_list(new QListWidget(this)), m_command(new QLineEdit(this))
{
    setObjectName(QStringLiteral("OpenWithDialog"));
    setWindowTitle(QStringLiteral("プログラムから開く"));
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(
        QStringLiteral("「%1」を開くプログラムを選んでください。").arg(QFileInfo(path).fileName()),
        this);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);

    m_list->setObjectName(QStringLiteral("applications"));
    for (const gio::Application& app : apps) {
        auto* item = new QListWidgetItem(app.name, m_list);
        item->setData(Qt::UserRole, app.id);
        item->setToolTip(app.commandLine);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    layout->addWidget(m_list);

    layout->addWidget(
        new QLabel(QStringLiteral("一覧にないときはコマンドを入力してください:"), this));
    m_command->setObjectName(QStringLiteral("command"));
    m_command->setPlaceholderText(QStringLiteral("例: gedit"));
    layout->addWidget(m_command);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("開く(&O)"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("open"));
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(m_list, &QListWidget::currentRowChanged, this, &OpenWithDialog::updateOk);
    connect(m_command, &QLineEdit::textChanged, this, &OpenWithDialog::updateOk);
    updateOk();
    resize(420, 400);
}

QString OpenWithDialog::applicationId() const
{
    if (!commandLine().isEmpty() || !m_list->currentItem())
        return QString();
    return m_list->currentItem()->data(Qt::UserRole).toString();
}

QString OpenWithDialog::commandLine() const
{
    return m_command->text().trimmed();
}

void OpenWithDialog::updateOk()
{
    m_ok->setEnabled(!commandLine().isEmpty() || m_list->currentItem() != nullptr);
}

} // namespace platform
