#pragma once

#include <QScrollArea>
#include <QString>

class QImage;
class QLabel;
class QMovie;

namespace preview
{

// The picture box of the preview area: a picture at its own size, with scroll bars when it is
// larger than the pane; animated GIFs and WebPs play.
class PicturePane final : public QScrollArea
{
    Q_OBJECT
public:
    explicit PicturePane(QWidget* parent = nullptr);

    // Loads the picture; on failure the previous picture stays and false is returned.
    bool loadPicture(const QString& path);
    // Shows a picture decoded elsewhere, or plays the animation in the file.
    void showImage(const QImage& image);
    bool playAnimation(const QString& path);
    // Shows a line of text in place of a picture.
    void showMessage(const QString& text);
    QString message() const;
    // Shows no picture.
    void clearPicture();
    QSize pictureSize() const;
    bool isAnimated() const;

private:
    QLabel* m_label;
    QMovie* m_movie = nullptr;
};

} // namespace preview
