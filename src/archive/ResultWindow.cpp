#include "archive/ResultWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace archive
{

ResultWindow::ResultWindow(const QString& report, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form13"));
    setWindowTitle(QStringLiteral("圧縮・解凍結果"));
    m_report = new QTextEdit(this);
    m_report->setObjectName(QStringLiteral("RichTextBox1"));
    m_report->setAccessibleName(QStringLiteral("結果"));
    m_report->setReadOnly(true);
    m_report->setLineWrapMode(QTextEdit::NoWrap);
    QString text = report;
    text.remove(QChar(u'\0'));
    m_report->setPlainText(text);

    m_close = new QPushButton(QStringLiteral("閉じる"), this);
    m_close->setObjectName(QStringLiteral("Command1"));
    m_close->setDefault(true);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_report);
    layout->addLayout(buttons);
    resize(520, 360);
}

QString ResultWindow::reportText() const
{
    return m_report->toPlainText();
}

} // namespace archive
