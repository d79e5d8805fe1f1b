#include "app/image_box.h"

#include <QPainter>

ImageBox::ImageBox(QWidget *parent) : QWidget(parent) {}

void ImageBox::resizeBitmap(int width, int height)
{
    QImage next(width, height, QImage::Format_RGB32);
    next.fill(Qt::white);
    if (!bitmap_.isNull()) {
        QPainter painter(&next);
        painter.drawImage(0, 0, bitmap_);
    }
    bitmap_ = next;
    resize(width, height);
    update();
}

void ImageBox::setBitmap(const QImage &image)
{
    bitmap_ = image.convertToFormat(QImage::Format_RGB32);
    resize(bitmap_.size());
    update();
}

void ImageBox::clearBitmap()
{
    bitmap_.fill(Qt::white);
    update();
}

void ImageBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, bitmap_);
}
