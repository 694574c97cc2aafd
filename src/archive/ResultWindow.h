#pragma once

#include <QDialog>

class QPushButton;
class QTextEdit;

namespace archive
{

// The result window "圧縮・解凍結果": the archiver's report, read-only, and a button that closes
// it. The report is shown without its NUL characters.
class ResultWindow final : public QDialog
{
    Q_OBJECT
public:
    explicit ResultWindow(const QString& report, QWidget* parent = nullptr);

    QString reportText() const;
    QPushButton* closeButton() const { return m_close; }

private:
    QTextEdit* m_report = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace archive
