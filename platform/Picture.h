// A decoded picture: its full size from the file's header, and drawing it scaled into an
// integer rectangle with a cache, so repaints never rescale the whole picture.
//
// Decoding does not apply EXIF orientation (point coordinates refer to the stored pixels).
// Pictures larger than kMaxPixels, or whose header gives no usable size, fail like a file that
// is not a picture, before any pixel memory is allocated. A first decode may be reduced to the
// width the window needs; the full-size pixels are decoded when a larger drawing (zoom, a
// wider window, a printed page) needs them.
//
// Drawing never allocates an image the size of the target: targets up to kMaxCachedPixels
// keep one smooth-scaled copy of the whole picture (a blit on every repaint at the same size);
// larger targets (deep zoom) scale only the part that is on the painter's device.
// User-interface thread only.
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
    static constexpr qint64 kMaxCachedPixels = 4096 * 4096;

    // Decodes `path`; null when it is not a picture this program can read. `fitWidth` > 0
    // allows a first decode reduced to fitWidth x FitHeight(size, fitWidth), where the decoder
    // can reduce cheaply while it decodes (JPEG).
    static std::unique_ptr<Picture> Load(const QString& path, int fitWidth = 0);
    // A picture over pixels already in memory (tests, generated pictures); null for a null
    // image.
    static std::unique_ptr<Picture> FromImage(const QImage& image);

    // The height that goes with `width` when `size` is drawn to that width: rounded down,
    // computed without overflow, at least 1.
    static int FitHeight(QSize size, int width);

    // Full size in source pixels, as the header gives it.
    QSize size() const { return m_size; }
    int width() const { return m_size.width(); }
    int height() const { return m_size.height(); }
    // True once the full-size pixels are in memory (false while only a reduced first decode
    // is there).
    bool hasFullPixels() const;

    // Draws the whole picture scaled into `target` (in the painter's logical coordinates; may
    // be far larger than the screen), but only the part that falls inside `visible` and on the
    // painter's device. On a high-density device the scaled pixels are made at device
    // resolution.
    void drawScaled(QPainter& painter, const QRect& target, const QRect& visible);
    // Draws it into `target` at full resolution for a printed page (the part on the page).
    void drawForPrint(QPainter& painter, const QRect& target);

    ~Picture();

private:
    Picture();
    struct Impl;
    std::unique_ptr<Impl> d;
    QSize m_size;
};
