// The one place that reads picture files: first the header (size and the decoder's own pixel
// format), then the pixels, whole or reduced while decoding, always ending in an 8-bit-per-
// channel display format (RGB32, or ARGB32_Premultiplied with alpha) at device pixel ratio 1.
//
// Every decode is bounded by a memory budget, checked against the header before any pixel
// memory is taken: the decoder's output plus any copy into the display format must fit. What
// does not fit, does not decode, or is not a picture fails with a reason the user can be told.
// Grey pictures stay grey (Grayscale8), one byte a pixel.
// EXIF orientation is not applied (point coordinates refer to the stored pixels).
// Every function may run on any thread; each call uses its own reader.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>

// Why a picture cannot be shown (or cannot be shown at full size).
struct PictureFailure {
    enum Reason { None, NotAPicture, TooLarge, Truncated, TooComplex };
    Reason reason = None;
    qint64 neededBytes = 0; // TooLarge: the memory the decode would need
    qint64 budgetBytes = 0; // TooLarge: the memory it may use
    // A further clause (why the picture could not be read as tiles either), or empty.
    QString detail = {};

    // A short clause for the user: "it is not a picture this program can read", ..., followed
    // by the detail when there is one.
    QString describe() const;

private:
    QString describeReason() const;
};

// What a file's header says.
struct PictureHeader {
    QSize size;
    QImage::Format format = QImage::Format_Invalid; // the decoder's output, when it tells
    bool reducible = false; // the decoder reduces cheaply while it decodes (JPEG)

    // Peak memory of decoding to `decoded` pixels: the decoder's output plus, where the
    // conversion to the display format cannot happen in place, the converted copy.
    qint64 peakBytes(QSize decoded) const;
};

namespace PictureDecoder {

// The budget every picture of this process gets: an eighth of the machine's physical memory,
// so that a picture bomb is refused long before the machine swaps.
qint64 MachineBudget();

// Reads the header of `path`; false with `failure` set when there is no usable picture size.
bool ReadHeader(const QString& path, PictureHeader& header, PictureFailure& failure);

// Decodes `path` whole (`scaledTo` empty) or reduced to `scaledTo` (used only where the header
// says the decoder can reduce). Null with `failure` set when the header is unusable, the
// decode would need more than `budget` bytes, the pixel data is missing or damaged, a JPEG asks
// for more progressive scans than JpegStructureReader allows (TooComplex), or `cancel` (checked
// at every read from the file) became true. A JPEG that decodes but is cut short (no end
// marker) gives its pixels, the missing part as the decoder fills it, with `failure` Truncated.
QImage Decode(const QString& path, QSize scaledTo, qint64 budget, PictureFailure& failure,
              const std::atomic<bool>* cancel = nullptr);

// Converts `image` to the display format (in place where it is no wider, else a band at a
// time), and sets its ratio to 1.
void Normalize(QImage& image);

// Decodes only the rectangle `clip` of `path` at full resolution (where the header says the
// decoder can reduce, which also cuts regions while decoding: JPEG), within `budget` for the
// region; failures as Decode's.
QImage DecodeRegion(const QString& path, const QRect& clip, qint64 budget,
                    PictureFailure& failure, const std::atomic<bool>* cancel = nullptr);

// The largest size of the picture, keeping its aspect, whose decode fits `budget`; empty when
// not even a tiny one does.
QSize LargestWithin(const PictureHeader& header, qint64 budget);

} // namespace PictureDecoder
