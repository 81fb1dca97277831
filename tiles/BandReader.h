// A picture read once from the top, a band of rows at a time, in the display format: what a
// pyramid is built from. A reader never holds more than its decoder's own buffers; the band is
// the caller's. One thread at a time.
#pragma once

#include <QImage>
#include <QSize>

#include <atomic>
#include <memory>

namespace tiles {

class BandReader {
public:
    virtual ~BandReader() = default;

    // The size of the rows it yields (a reduced decode yields fewer, narrower rows).
    virtual QSize size() const = 0;
    virtual bool alpha() const = 0;
    // Fills the first rows of `band` (size().width() wide, in the display format) with the next
    // rows of the picture; returns how many (0 at the end). After damage, or once `cancelled`
    // is set, it returns what it read before and damaged() or the cancel says why it stopped.
    virtual int read(QImage& band, const std::atomic<bool>& cancelled) = 0;
    // The file ended early or its data is damaged; no more rows come.
    virtual bool damaged() const = 0;
    // Puts the first `rows` rows of a band that read() filled into the display format, where
    // read() left them in the decoder's own (a colour conversion). Called once per band, on
    // the thread that builds from it, so the reading thread does only the decoding; it may
    // run while read() fills another band.
    virtual void finish(QImage& band, int rows) const {
        (void)band;
        (void)rows;
    }
};

} // namespace tiles
