#include "archive/NameEncodingButton.h"

#include "archive/NameEncodings.h"

#include <QActionGroup>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>

namespace archive
{

NameEncodingButton::NameEncodingButton(QTreeWidget* list)
    : QToolButton(list->header()), m_list(list), m_group(new QActionGroup(this))
{
    setObjectName(QStringLiteral("NameEncoding"));
    setToolTip(QStringLiteral("ファイル名の文字コード"));
    setPopupMode(QToolButton::InstantPopup);
    setAutoRaise(true);
    auto* menu = new QMenu(this);
    for (const archive::NameEncoding& encoding : archive::zipNameEncodings()) {
        QAction* action = menu->addAction(encoding.caption);
        action->setCheckable(true);
        action->setData(encoding.id);
        m_group->addAction(action);
        connect(action, &QAction::triggered, this, [this, id = encoding.id] {
            if (m_archive.isEmpty())
                return;
            if (id.isEmpty())
                m_chosen.remove(m_archive);
            else
                m_chosen.insert(m_archive, id);
            showChoice(id);
            Q_EMIT chosen(m_archive, id);
        });
    }
    setMenu(menu);
    m_list->header()->installEventFilter(this);
    hide();
}

QString NameEncodingButton::encodingOf(const QString& archivePath) const
{
    return m_chosen.value(archivePath);
}

void NameEncodingButton::showFor(const QString& archivePath)
{
    m_archive = archivePath;
    showChoice(encodingOf(archivePath));
    place();
    show();
    raise();
}

void NameEncodingButton::showChoice(const QString& encoding)
{
    for (QAction* action : m_group->actions()) {
        if (action->data().toString() == encoding) {
            action->setChecked(true);
            setText(QStringLiteral("文字コード: ") +
                    (encoding.isEmpty() ? action->text() : encoding));
        }
    }
    adjustSize();
    place();
}

void NameEncodingButton::place()
{
    QHeaderView* header = m_list->header();
    const int height = qMax(header->height(), sizeHint().height());
    resize(sizeHint().width(), qMin(height, header->height() > 0 ? header->height() : height));
    move(qMax(0, header->width() - width()), 0);
}

bool NameEncodingButton::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->header() && event->type() == QEvent::Resize)
        place();
    return QToolButton::eventFilter(watched, event);
}

} // namespace archive
