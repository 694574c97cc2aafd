#include "preview/PicturePane.h"

#include "base/FileKind.h"

#include <QImageReader>
#include <QLabel>
#include <QMovie>

namespace preview
{

PicturePane::PicturePane(QWidget* parent) : QScrollArea(parent), m_label(new QLabel)
{
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWidget(m_label);
    setWidgetResizable(false);
}

bool PicturePane::loadPicture(const QString& path)
{
    // A FIFO or device named like a picture is never opened.
    if (!platform::isRegularFile(path))
        return false;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return false;
    if (reader.supportsAnimation() && reader.imageCount() != 1) {
        auto* movie = new QMovie(path, QByteArray(), this);
        if (!movie->isValid()) {
            delete movie;
            return false;
        }
        m_label->setMovie(movie);
        movie->start();
        m_label->resize(movie->frameRect().size());
        delete m_movie;
        m_movie = movie;
        return true;
    }
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    m_label->setPixmap(QPixmap::fromImage(image));
    m_label->resize(image.size());
    delete m_movie;
    m_movie = nullptr;
    return true;
}

void PicturePane::showImage(const QImage& image)
{
    delete m_movie;
    m_movie = nullptr;
    m_label->setPixmap(QPixmap::fromImage(image));
    m_label->resize(image.size());
}

bool PicturePane::playAnimation(const QString& path)
{
    auto* movie = new QMovie(path, QByteArray(), this);
    if (!movie->isValid()) {
        delete movie;
        return false;
    }
    m_label->setMovie(movie);
    movie->start();
    m_label->resize(movie->frameRect().size());
    delete m_movie;
    m_movie = movie;
    return true;
}

void PicturePane::showMessage(const QString& text)
{
    clearPicture();
    m_label->setText(text);
    m_label->adjustSize();
}

QString PicturePane::message() const
{
    return m_label->text();
}

void PicturePane::clearPicture()
{
    m_label->clear();
    m_label->resize(0, 0);
    delete m_movie;
    m_movie = nullptr;
}

QSize PicturePane::pictureSize() const
{
    return m_label->size();
}

bool PicturePane::isAnimated() const
{
    return m_movie != nullptr;
}

} // namespace preview
