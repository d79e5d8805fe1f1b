#include "app/image_box.h"

#include <QPainter>

TImage::TImage(QWidget *parent) : QWidget(parent) {}

void TImage::resizeBitmap(int width, int height)
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

void TImage::setBitmap(const QImage &image)
{
    bitmap_ = image.convertToFormat(QImage::Format_RGB32);
    resize(bitmap_.size());
    update();
}

void TImage::clearBitmap()
{
    bitmap_.fill(Qt::white);
    update();
}

void TImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, bitmap_);
}
