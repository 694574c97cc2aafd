#pragma once

#include <QByteArray>
#include <QString>
#include <QToolButton>

class QActionGroup;

namespace preview
{

// The status-bar button that shows the encoding of the text previewed and lets the user read
// the file in another one: CP932, EUC-JP, ISO-2022-JP, UTF-8, UTF-16LE or UTF-16BE.
class EncodingButton final : public QToolButton
{
    Q_OBJECT
public:
    explicit EncodingButton(QWidget* parent = nullptr);

    // Shows the encoding (an ICU converter name) as chosen.
    void showEncoding(const QByteArray& encoding);
    QByteArray encoding() const { return m_encoding; }

    // The name shown for an ICU converter name ("CP932" for windows-31j).
    static QString displayName(const QByteArray& encoding);
    // The encodings offered, as ICU converter names.
    static QList<QByteArray> offered();

Q_SIGNALS:
    // The user chose an encoding other than the one shown.
    void chosen(const QByteArray& encoding);

private:
    QActionGroup* m_group;
    QByteArray m_encoding;
};

} // namespace preview
