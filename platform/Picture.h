// A decoded picture: its full size from the file's header, and drawing it scaled into an
// integer rectangle with a cache, so repaints never rescale the whole picture.
//
// Decoding does not apply EXIF orientation (point coordinates refer to the stored pixels).
// Pictures larger than kMaxPixels, or whose header lies about their size, fail like a
// file that is not a picture. A first decode may be reduced to the width the window needs;
// the full-size pixels are decoded when a larger drawing (zoom, a wider window, a printed
// page) needs them.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class QPainter;

class Picture {
public:
    static constexpr qint64 kMaxPixels = 600'000'000;

    // Decodes `path`; null when it is not a picture this program can read. `fitWidth` > 0
    // allows a first decode reduced to that width.
    static std::unique_ptr<Picture> Load(const QString& path, int fitWidth = 0);

    // Full size in source pixels, as the header gives it.
    QSize size() const { return m_size; }
    int width() const { return m_size.width(); }
    int height() const { return m_size.height(); }

    // Draws the whole picture scaled into `target` (drawn-image coordinates, may be far
    // larger than the screen), but only the part that falls inside `visible`.
    void drawScaled(QPainter& painter, const QRect& target, const QRect& visible);
    // Draws it into `target` at full resolution for a printed page.
    void drawForPrint(QPainter& painter, const QRect& target);

    ~Picture();

private:
    Picture() = default;
    struct Impl;
    std::unique_ptr<Impl> d;
    QSize m_size;
};
