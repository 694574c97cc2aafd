#pragma once

#include <QObject>
#include <QWidget>

namespace app
{

// How far the user has dragged the two borders of the main window from where the layout rule
// puts them, in twips: the border between the left column and the preview (positive: the
// column is wider) and the one between the folder tree and the file list (positive: the tree
// is taller). Zero for both is the window as designed.
struct PaneSplit {
    double column = 0;
    double tree = 0;
    bool operator==(const PaneSplit&) const = default;
};

// The split kept within reach of the window's size: no pane narrower or lower than a little
// over a line.
PaneSplit clampedSplit(const PaneSplit& split, double width, double height);

// One draggable border: a thin strip between two panes with a resize cursor.
class PaneBorder final : public QWidget
{
    Q_OBJECT
public:
    PaneBorder(Qt::Orientation orientation, QWidget* parent);
    Qt::Orientation orientation() const { return m_orientation; }

Q_SIGNALS:
    // The border was dragged this many pixels from where the drag began.
    void dragged(int pixels);
    void dragStarted();
    void dragFinished();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::Orientation m_orientation;
    QPoint m_start;
    bool m_dragging = false;
};

// The two borders of the main window's form. The layout rule asks them for the split; a drag
// changes it and lays the form out again. splitChanged tells the program to keep the split.
class PaneBorders final : public QObject
{
    Q_OBJECT
public:
    explicit PaneBorders(QWidget* form);

    PaneSplit split() const { return m_split; }
    // Sets the split (from the settings file) and lays the form out again.
    void setSplit(const PaneSplit& split);
    // True once the user has dragged a border.
    bool changedByUser() const { return m_changedByUser; }

    PaneBorder* columnBorder() const { return m_column; }
    PaneBorder* treeBorder() const { return m_tree; }

    // Puts the borders into the gaps between the folder tree, the file list and the preview
    // as laid out (pixels).
    void place(const QRect& folders, const QRect& files, const QRect& viewer);

Q_SIGNALS:
    void splitChanged();

private:
    void drag(PaneBorder* border, int pixels);
    void relayout();

    QWidget* m_form;
    PaneBorder* m_column;
    PaneBorder* m_tree;
    PaneSplit m_split;
    PaneSplit m_dragStart;
    bool m_changedByUser = false;
};

} // namespace app
