// A decoded picture: its full size from the file's header, and drawing it scaled into an
// integer rectangle with a cache, so repaints never rescale the whole picture.
//
// Decoding (PictureDecoder) is bounded by a memory budget; a picture that does not fit, is not
// a picture, or is damaged fails with a reason. A first decode may be reduced to the width the
// window needs, or, for a picture whose full pixels do not fit the budget, to the largest size
// that does; the full-size pixels are decoded when a larger drawing (zoom, a wider window, a
// printed page) needs them, if they fit.
//
// Pictures over 64 megapixels whose decoder cuts regions (JPEG) never decode whole for the
// screen: a draw at more than half the full resolution decodes the region it shows (with a
// margin of the same size around it for scrolling), so 1:1 needs a few viewports of memory.
//
// Full pixels in the background: once a handler is set (setFullPixelsHandler), a draw that
// needs the full pixels (or a region of them) starts their decode on a worker thread and
// meanwhile draws the reduced copy scaled up (the same drawing, only softer). When they arrive, on this thread
// from the event loop, what was drawn from the stand-in is dropped and the handler is called.
// Without a handler such a draw decodes at once, so the pixels drawn are always the final ones.
// Destroying the picture cancels a running decode; the handler is never called afterwards.
//
// Drawing never allocates an image the size of the target: targets up to kMaxCachedPixels
// keep one smooth-scaled copy of the whole picture (a blit on every repaint at the same size;
// it stays while larger targets are drawn, so the fit copy survives a trip to 1:1 and back);
// larger targets (deep zoom) scale only the part that is on the painter's device.
//
// Big pictures (over kTiledPixels, or over kTiledOverBudgetPixels with a whole decode that does
// not fit the budget) are read as
// levels of tiles where a tile reader takes the file (TiledPicture): drawing then never decodes
// on this thread; with a handler set it draws the tiles it has, coarser ones enlarged where the
// sharp ones are on their way, and tells the handler which part of the picture became sharper
// (setSharperHandler; without one, the full-pixels handler is called instead). Printing and
// drawing without a handler read the level that matches, in bands, and wait for it.
// User-interface thread only.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

#include "PictureDecoder.h"
#include "TileSourceFactory.h"

class QPainter;
class TiledPicture;
namespace tiles {
class TileSource;
}

class Picture {
public:
    static constexpr qint64 kMaxCachedPixels = 4096 * 4096;
    // Pictures with more pixels than this are read as tiles where they can be.
    static constexpr qint64 kTiledPixels = tiles::kTiledFromPixels;
    // ... and so are pictures from this many pixels whose whole decode exceeds the budget;
    // smaller ones are never worth a pyramid (their decode is refused or reduced instead).
    static constexpr qint64 kTiledOverBudgetPixels = qint64(16) * 1000 * 1000;
    // Decoded tiles kept in memory at most (less when the budget is small).
    static constexpr qint64 kTileCacheBytes = qint64(160) * 1024 * 1024;

    // Decodes `path` within the machine's budget; null when it cannot be shown. `fitWidth` > 0
    // allows a first decode reduced to fitWidth x FitHeight(size, fitWidth), where the decoder
    // can reduce cheaply while it decodes (JPEG).
    static std::unique_ptr<Picture> Load(const QString& path, int fitWidth = 0);
    // Where Load opens pictures as tiles: every picture is offered to the opener whatever its
    // size (tests hand in an in-memory source); empty (the default): big pictures go to the
    // tile readers.
    using TileOpener = std::function<std::shared_ptr<tiles::TileSource>(const QString& path)>;
    // The same within `budget` bytes (0: the machine's budget); on failure `*failure` (when
    // given) says why. A picture cut short is returned (see isTruncated) with `*failure`
    // Truncated.
    // `cancel` (when given) ends the decode early once it becomes true (the result is then null).
    // `tileOpener` (when not empty) takes the place of the tile readers (see TileOpener).
    static std::unique_ptr<Picture> Load(const QString& path, int fitWidth, qint64 budget,
                                         PictureFailure* failure,
                                         const std::atomic<bool>* cancel = nullptr,
                                         const TileOpener& tileOpener = {});
    // A picture over pixels already in memory (tests, generated pictures); null for a null
    // image.
    static std::unique_ptr<Picture> FromImage(const QImage& image);
    // A picture drawn from `source`'s tiles, keeping at most `cacheBytes` of them in memory
    // (0: kTileCacheBytes); its coarsest tile is read before this returns. Null for a null
    // source or one without pixels.
    static std::unique_ptr<Picture> FromTiles(std::shared_ptr<const tiles::TileSource> source,
                                              qint64 cacheBytes = 0);

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
    // True when the file is cut short: what is missing is drawn as the decoder filled it.
    bool isTruncated() const { return m_truncated; }
    // True while the full pixels are being decoded in the background.
    bool isDecoding() const;
    // Why the full pixels are not there after a decode of them failed (TooLarge when only a
    // reduced copy fits the budget); reason None otherwise.
    PictureFailure fullPixelsFailure() const;

    // Lets draws that need the full pixels decode them in the background (see above).
    void setFullPixelsHandler(std::function<void()> handler);
    // Tiled pictures: called when tiles have arrived, with the part of the picture (in its full-
    // size pixels) that became sharper, so only that part is drawn again.
    void setSharperHandler(std::function<void(const QRect& pictureRect)> handler);
    // True when the picture is drawn from tiles.
    bool isTiled() const;
    // Tiled pictures: the bytes of decoded tiles kept now, and at most.
    qint64 tileCacheBytes() const;
    qint64 tileCacheBound() const;
    // Blocks until the pixels the last draw asked for (the full pixels, or a region of them)
    // are in memory or known to be unavailable; true when they are there. The handler is not
    // called for pixels this wait delivers.
    bool waitForPixels();

    // Draws the whole picture scaled into `target` (in the painter's logical coordinates; may
    // be far larger than the screen), but only the part that falls inside `visible` and on the
    // painter's device. On a high-density device the scaled pixels are made at device
    // resolution.
    void drawScaled(QPainter& painter, const QRect& target, const QRect& visible);
    // Draws it into `target` at full resolution for a printed page (the part on the page),
    // waiting for the full pixels where they fit the budget.
    void drawForPrint(QPainter& painter, const QRect& target);

    ~Picture();

private:
    Picture();
    struct Impl;
    std::unique_ptr<Impl> d;
    QSize m_size;
    bool m_truncated = false;
};
