// libtiff behind one door: opening a file with bounded allocations and no messages on stderr,
// walking its directories (the pages and sub-images a pyramidal TIFF keeps its levels in), and
// reading any rectangle of one directory as display pixels, whatever the file's own tiling,
// strips, compression or sample layout. A TIFF handle is used by one thread at a time.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct tiff;

namespace tiles::TiffFile {

struct Closer {
    void operator()(tiff* handle) const;
};
using Handle = std::unique_ptr<tiff, Closer>;

// One image of the file (a page or a sub-image).
struct Directory {
    std::uint64_t offset = 0; // where it starts in the file, to go back to it
    QSize size;
    bool tiled = false;
    QSize block;        // the file's own tile, or the width by the rows of one strip
    qint64 blockBytes = 0; // one tile or strip, decoded
    qint64 rowBytes = 0;   // one row of samples, decoded
    bool compressed = false;
    bool alpha = false;
    bool readable = false; // libtiff can turn its samples into display pixels
    QString whyNot;        // when not readable
};

// Opens `path` for reading (no memory mapping: a file cut short while open must not fault);
// no single allocation by libtiff exceeds `maxAlloc`. Null when it is not a TIFF.
Handle Open(const QString& path, qint64 maxAlloc);

// The first image and the reduced images after it, at most `maxDirectories` in all: the main
// chain of pages and the sub-images of the first page. Masks are left out. Empty when the file
// has no usable first image.
std::vector<Directory> ReadDirectories(tiff* handle, int maxDirectories);

// Makes the directory at `offset` current (a no-op when it already is).
bool Select(tiff* handle, std::uint64_t offset);

// The pixels of `rect` (inside the current directory) in the display format; null when any
// block it needs is missing or damaged.
QImage ReadRegion(tiff* handle, const QRect& rect, bool alpha);

} // namespace tiles::TiffFile
