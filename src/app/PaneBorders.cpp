#include "app/PaneBorders.h"

#include "app/MainLayout.h"
#include "base/Twips.h"

#include <QMouseEvent>

#include <algorithm>

namespace app
{

namespace
{
// The least width or height a pane keeps while a border is dragged, in twips.
constexpr double kLeastPane = 1200;
} // namespace

PaneSplit clampedSplit(const PaneSplit& split, double width, double height)
{
    // The left column is 2535 wide and the preview W - 2600; the tree is H / 3 high and the
    // file list (H + 800) / 3.
    const double columnLow = kLeastPane - 2535;
    const double columnHigh = std::max(columnLow, width - 2600 - kLeastPane);
    const double treeLow = std::min(0.0, kLeastPane / 2 - height / 3);
    const double treeHigh = std::max(treeLow, (height + 800) / 3 - kLeastPane / 2);
    return {std::clamp(split.column, std::min(columnLow, 0.0), std::max(columnHigh, 0.0)),
            std::clamp(split.tree, std::min(treeLow, 0.0), std::max(treeHigh, 0.0))};
}

PaneBorder::PaneBorder(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), m_orientation(orientation)
{
    setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    setAccessibleName(orientation == Qt::Horizontal ? QStringLiteral("左の列とプレビューの境界")
                                                    : QStringLiteral("フォルダとファイルの境界"));
}

void PaneBorder::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_start = event->globalPosition().toPoint();
    m_dragging = true;
    Q_EMIT dragStarted();
}

void PaneBorder::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return QWidget::mouseMoveEvent(event);
    const QPoint moved = event->globalPosition().toPoint() - m_start;
    Q_EMIT dragged(m_orientation == Qt::Horizontal ? moved.x() : moved.y());
}

void PaneBorder::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const QPoint moved = event->globalPosition().toPoint() - m_start;
    Q_EMIT dragged(m_orientation == Qt::Horizontal ? moved.x() : moved.y());
    m_dragging = false;
    Q_EMIT dragFinished();
}

PaneBorders::PaneBorders(QWidget* form)
    : QObject(form), m_form(form), m_column(new PaneBorder(Qt::Horizontal, form)),
      m_tree(new PaneBorder(Qt::Vertical, form))
{
    setObjectName(QStringLiteral("PaneBorders"));
    m_column->setObjectName(QStringLiteral("Splitter1"));
    m_tree->setObjectName(QStringLiteral("Splitter2"));
    for (PaneBorder* border : {m_column, m_tree}) {
        connect(border, &PaneBorder::dragStarted, this, [this] { m_dragStart = m_split; });
        connect(border, &PaneBorder::dragged, this,
                [this, border](int pixels) { drag(border, pixels); });
        connect(border, &PaneBorder::dragFinished, this, [this] {
            if (m_split != m_dragStart) {
                m_changedByUser = true;
                Q_EMIT splitChanged();
            }
        });
    }
}

void PaneBorders::setSplit(const PaneSplit& split)
{
    m_split = split;
    relayout();
}

void PaneBorders::drag(PaneBorder* border, int pixels)
{
    const double dpi = platform::logicalDpi(m_form->screen());
    const double twips = platform::pixelsToTwips(pixels, dpi);
    PaneSplit next = m_dragStart;
    if (border == m_column)
        next.column += twips;
    else
        next.tree += twips;
    m_split = clampedSplit(next, platform::pixelsToTwips(m_form->width(), dpi),
                           platform::pixelsToTwips(m_form->height(), dpi));
    relayout();
}

void PaneBorders::relayout()
{
    applyMainLayout(m_form, platform::logicalDpi(m_form->screen()));
}

void PaneBorders::place(const QRect& folders, const QRect& files, const QRect& viewer)
{
    // Each border fills the gap the layout leaves between its panes.
    m_column->setGeometry(
        QRect(QPoint(folders.right() + 1, viewer.top()),
              QPoint(std::max(folders.right() + 1, viewer.left() - 1), viewer.bottom())));
    m_tree->setGeometry(
        QRect(QPoint(0, folders.bottom() + 1),
              QPoint(folders.right(), std::max(folders.bottom() + 1, files.top() - 1))));
    m_column->raise();
    m_tree->raise();
}

} // namespace app
