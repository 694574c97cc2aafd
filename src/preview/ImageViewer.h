#pragma once

#include "preview/Viewer.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <memory>

namespace preview
{

class PicturePane;

// What reading a picture file found, on a worker.
struct PictureRead {
    enum class Kind { Picture, Animation, Unreadable, TooLarge };
    Kind kind = Kind::Unreadable;
    QImage image; // Picture
};

// Reads the picture at path (a regular file only) and decodes it unless it moves. A picture
// whose size is over kMaxPixels is not decoded at all.
PictureRead readPicture(const QString& path);

// PNG, WebP, TIFF and SVG pictures in the picture box, at their own size like the other
// pictures; an animated WebP plays. The file is decoded on a worker, so that a large picture
// does not hold the window; a picture that cannot be shown says so in the box.
class ImageViewer final : public Viewer
{
public:
    // 64 million pixels: a picture of 256 MiB decoded, as much as the image reader allows.
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;

    explicit ImageViewer(PicturePane* pane);
    ~ImageViewer() override;

    void show(const PreviewFile& file) override;
    void hide() override;
    void stop() override;
    void clear() override;

private:
    void showRead(quint64 generation, const QString& path, const PictureRead& read);

    QPointer<PicturePane> m_pane;
    quint64 m_generation = 0;
    // The context of the results' delivery, and the threads that decode; the destructor waits
    // for a decode under way, so that its result never reaches a viewer that is gone.
    std::unique_ptr<QObject> m_context = std::make_unique<QObject>();
    QThreadPool m_pool;
};

} // namespace preview
