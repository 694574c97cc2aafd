#pragma once

#include <QScrollArea>
#include <QString>

class QLabel;
class QMovie;

namespace preview
{

// The picture box of the preview area: a BMP, ICO or GIF file at its own size, with scroll
// bars when it is larger than the pane; animated GIFs play.
class PicturePane final : public QScrollArea
{
    Q_OBJECT
public:
    explicit PicturePane(QWidget* parent = nullptr);

    // Loads the picture; on failure the previous picture stays and false is returned.
    bool loadPicture(const QString& path);
    // Shows no picture.
    void clearPicture();
    QSize pictureSize() const;
    bool isAnimated() const;

private:
    QLabel* m_label;
    QMovie* m_movie = nullptr;
};

} // namespace preview
