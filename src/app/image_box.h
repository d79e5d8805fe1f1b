#pragma once

#include <QImage>
#include <QWidget>

// An image box that shows its own bitmap at 1:1, anchored at the top-left
// corner, without stretching or centring. Where the widget is larger than
// the bitmap, the parent's background shows.
class ImageBox : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget *parent = nullptr);

    const QImage &bitmap() const { return bitmap_; }
    QImage &bitmap() { return bitmap_; }

    // Gives the bitmap a new size: the overlap keeps its pixels, new area is
    // white. The widget takes the same size.
    void resizeBitmap(int width, int height);
    // Replaces the bitmap and takes its size.
    void setBitmap(const QImage &image);
    // Fills the whole bitmap white.
    void clearBitmap();
    // Call after drawing into bitmap() directly.
    void bitmapChanged() { update(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage bitmap_;
};
