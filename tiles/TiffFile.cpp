#include "TiffFile.h"

#include <QFile>

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>

#include "TileImage.h"

namespace tiles::TiffFile {

namespace {

// libtiff reports through these; the reader's results say what went wrong.
int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

constexpr int kMessageBytes = 1024;

Directory Describe(TIFF* t) {
    Directory d;
    d.offset = TIFFCurrentDirOffset(t);
    uint32_t w = 0;
    uint32_t h = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    if (w == 0 || h == 0 || w > uint32_t(INT32_MAX) || h > uint32_t(INT32_MAX)) {
        return d;
    }
    d.size = QSize(int(w), int(h));
    d.tiled = TIFFIsTiled(t) != 0;
    if (d.tiled) {
        uint32_t tw = 0;
        uint32_t th = 0;
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &th);
        d.block = QSize(int(std::min<uint32_t>(tw, INT32_MAX)), int(std::min<uint32_t>(th, INT32_MAX)));
        d.blockBytes = qint64(TIFFTileSize64(t));
    } else {
        uint32_t rows = 0;
        TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rows);
        d.block = QSize(int(w), int(std::min(rows, h)));
        d.blockBytes = qint64(TIFFStripSize64(t));
    }
    d.rowBytes = qint64(TIFFScanlineSize64(t));
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    d.compressed = compression != COMPRESSION_NONE;
    uint16_t extra = 0;
    uint16_t* kinds = nullptr;
    TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &extra, &kinds);
    d.alpha = extra > 0 && kinds != nullptr &&
              (kinds[0] == EXTRASAMPLE_ASSOCALPHA || kinds[0] == EXTRASAMPLE_UNASSALPHA);
    char message[kMessageBytes] = {};
    d.readable = TIFFRGBAImageOK(t, message) != 0;
    if (!d.readable) {
        d.whyNot = QString::fromLatin1(message);
    }
    return d;
}

bool IsMask(TIFF* t) {
    uint32_t kind = 0;
    return TIFFGetField(t, TIFFTAG_SUBFILETYPE, &kind) != 0 && (kind & FILETYPE_MASK) != 0;
}

} // namespace

void Closer::operator()(tiff* handle) const {
    if (handle != nullptr) {
        TIFFClose(handle);
    }
}

Handle Open(const QString& path, qint64 maxAlloc) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(maxAlloc));
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    Handle handle(TIFFOpenExt(QFile::encodeName(path).constData(), "rm", options));
    TIFFOpenOptionsFree(options);
    return handle;
}

std::vector<Directory> ReadDirectories(TIFF* t, int maxDirectories) {
    std::vector<Directory> out;
    if (!TIFFSetDirectory(t, 0)) {
        return out;
    }
    out.push_back(Describe(t));
    if (out.front().size.isEmpty()) {
        return {};
    }
    // The sub-images of the first page, copied before the walk moves on.
    std::vector<uint64_t> subs;
    uint16_t count = 0;
    uint64_t* offsets = nullptr;
    if (TIFFGetField(t, TIFFTAG_SUBIFD, &count, &offsets) != 0 && offsets != nullptr) {
        subs.assign(offsets, offsets + std::min<int>(count, maxDirectories));
    }
    while (int(out.size()) < maxDirectories && TIFFReadDirectory(t)) {
        if (!IsMask(t)) {
            out.push_back(Describe(t));
        }
    }
    for (const uint64_t offset : subs) {
        if (int(out.size()) >= maxDirectories) {
            break;
        }
        if (TIFFSetSubDirectory(t, offset) && !IsMask(t)) {
            out.push_back(Describe(t));
        }
    }
    std::erase_if(out, [](const Directory& d) { return d.size.isEmpty(); });
    return out;
}

bool Select(TIFF* t, std::uint64_t offset) {
    return TIFFCurrentDirOffset(t) == offset || TIFFSetSubDirectory(t, offset) != 0;
}

QImage ReadRegion(TIFF* t, const QRect& rect, bool alpha) {
    char message[kMessageBytes] = {};
    TIFFRGBAImage image;
    if (rect.isEmpty() || !TIFFRGBAImageBegin(&image, t, 1, message)) {
        return {};
    }
    image.req_orientation = ORIENTATION_TOPLEFT;
    image.row_offset = rect.y();
    image.col_offset = rect.x();
    // libtiff packs red in the low byte: RGBA bytes in memory on a little-endian machine.
    QImage out(rect.size(), QImage::Format_RGBA8888_Premultiplied);
    const bool ok = !out.isNull() && out.bytesPerLine() == qsizetype(rect.width()) * 4 &&
                    TIFFRGBAImageGet(&image, reinterpret_cast<uint32_t*>(out.bits()),
                                     uint32_t(rect.width()), uint32_t(rect.height())) != 0;
    TIFFRGBAImageEnd(&image);
    if (!ok) {
        return {};
    }
    out.convertTo(TileImage::DisplayFormat(alpha));
    return out;
}

} // namespace tiles::TiffFile
