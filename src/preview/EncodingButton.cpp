#include "preview/EncodingButton.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace preview
{

EncodingButton::EncodingButton(QWidget* parent)
    : QToolButton(parent), m_group(new QActionGroup(this))
{
    setObjectName(QStringLiteral("textEncoding"));
    setToolTip(QStringLiteral("文字コード（選ぶとその文字コードで読み直します）"));
    setPopupMode(QToolButton::InstantPopup);
    setAutoRaise(true);
    auto* menu = new QMenu(this);
    m_group->setExclusive(true);
    for (const QByteArray& encoding : offered()) {
        QAction* action = menu->addAction(displayName(encoding));
        action->setCheckable(true);
        action->setData(encoding);
        action->setObjectName(QString::fromLatin1(encoding));
        m_group->addAction(action);
    }
    setMenu(menu);
    connect(m_group, &QActionGroup::triggered, this, [this](QAction* action) {
        const QByteArray encoding = action->data().toByteArray();
        if (encoding == m_encoding)
            return;
        showEncoding(encoding);
        Q_EMIT chosen(encoding);
    });
}

QList<QByteArray> EncodingButton::offered()
{
    return {QByteArrayLiteral("windows-31j"), QByteArrayLiteral("EUC-JP"),
            QByteArrayLiteral("ISO-2022-JP"), QByteArrayLiteral("UTF-8"),
            QByteArrayLiteral("UTF-16LE"),    QByteArrayLiteral("UTF-16BE")};
}

QString EncodingButton::displayName(const QByteArray& encoding)
{
    if (encoding == "windows-31j")
        return QStringLiteral("CP932");
    return QString::fromLatin1(encoding);
}

void EncodingButton::showEncoding(const QByteArray& encoding)
{
    m_encoding = encoding;
    setText(displayName(encoding));
    for (QAction* action : m_group->actions())
        action->setChecked(action->data().toByteArray() == encoding);
}

} // namespace preview
