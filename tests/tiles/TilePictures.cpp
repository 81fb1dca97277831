#include "TilePictures.h"

#include <QFile>
#include <QPainter>

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <vector>

#include "PngRows.h"
#include "TileImage.h"

namespace TilePictures {

namespace {

// Straight (not premultiplied) RGBA bytes of `image`, or RGB when it has no alpha.
std::vector<uint8_t> Samples(const QImage& image, bool alpha) {
    const QImage rgba = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    std::vector<uint8_t> out;
    const int bpl = image.width() * (alpha ? 4 : 3);
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar* line = rgba.constScanLine(y);
        out.insert(out.end(), line, line + bpl);
    }
    return out;
}

bool WriteDirectory(TIFF* t, const QImage& image, const TiffLayout& layout, bool reduced) {
    const bool alpha = image.hasAlphaChannel();
    const int spp = alpha ? 4 : 3;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(spp));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(layout.compression));
    if (reduced) {
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_REDUCEDIMAGE));
    }
    if (alpha) {
        const uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
    }
    const std::vector<uint8_t> samples = Samples(image, alpha);
    const size_t bpl = size_t(image.width()) * size_t(spp);
    if (layout.block == 0) {
        constexpr int kRows = 16;
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(kRows));
        for (int y = 0; y < image.height(); ++y) {
            if (TIFFWriteScanline(t, const_cast<uint8_t*>(samples.data() + y * bpl), uint32_t(y), 0) < 0) {
                return false;
            }
        }
    } else {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, uint32_t(layout.block));
        TIFFSetField(t, TIFFTAG_TILELENGTH, uint32_t(layout.block));
        std::vector<uint8_t> tile(size_t(layout.block) * layout.block * spp, 0);
        for (int ty = 0; ty < image.height(); ty += layout.block) {
            for (int tx = 0; tx < image.width(); tx += layout.block) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int y = 0; y < layout.block && ty + y < image.height(); ++y) {
                    const int w = std::min(layout.block, image.width() - tx);
                    std::memcpy(tile.data() + size_t(y) * layout.block * spp,
                                samples.data() + (ty + y) * bpl + size_t(tx) * spp, size_t(w) * spp);
                }
                if (TIFFWriteTile(t, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0) < 0) {
                    return false;
                }
            }
        }
    }
    return TIFFWriteDirectory(t) != 0;
}

} // namespace

QImage Reference(const QImage& image, int level) {
    QImage out = image.convertToFormat(tiles::TileImage::DisplayFormat(image.hasAlphaChannel()));
    for (int k = 0; k < level; ++k) {
        out = tiles::TileImage::Halve(out);
    }
    return out;
}

bool WriteTiff(const QString& path, const QImage& image, const TiffLayout& layout) {
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "w8");
    if (t == nullptr) {
        return false;
    }
    const int count = tiles::TileSource::LevelCount(image.size());
    const int extra = layout.levels == Levels::None ? 0 : count - 1;
    if (layout.levels == Levels::SubImages) {
        std::vector<uint64_t> offsets(size_t(extra), 0);
        TIFFSetField(t, TIFFTAG_SUBIFD, uint16_t(extra), offsets.data());
    }
    bool ok = WriteDirectory(t, image, layout, false);
    QImage level = image.convertToFormat(tiles::TileImage::DisplayFormat(image.hasAlphaChannel()));
    for (int k = 1; k <= extra && ok; ++k) {
        level = tiles::TileImage::Halve(level);
        const QImage straight = level.convertToFormat(
            image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        ok = WriteDirectory(t, straight, layout, true);
    }
    TIFFClose(t);
    return ok;
}

bool WriteInterlacedPng(const QString& path, const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    PngRows::Options options;
    options.interlaced = true;
    return PngRows::Write(path, rgb.size(), options, [&](int y) { return rgb.constScanLine(y); });
}

QImage ReadLevel(const tiles::TileSource& source, int level) {
    const QSize size = tiles::TileSource::LevelSize(source.pictureSize(), level);
    QImage out;
    const std::atomic<bool> cancelled{false};
    QPainter painter;
    for (int row = 0; row * tiles::kTileSize < size.height(); ++row) {
        for (int column = 0; column * tiles::kTileSize < size.width(); ++column) {
            const tiles::TileId id{level, column, row};
            const QImage tile = source.readTile(id, cancelled);
            if (tile.isNull() || tile.size() != tiles::TileSource::TileRect(source.pictureSize(), id).size()) {
                return {};
            }
            if (out.isNull()) {
                out = QImage(size, tile.format());
                painter.begin(&out);
                painter.setCompositionMode(QPainter::CompositionMode_Source);
            }
            painter.drawImage(column * tiles::kTileSize, row * tiles::kTileSize, tile);
        }
    }
    return out;
}

double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) {
        return 255;
    }
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double total = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uchar* p = x.constScanLine(r);
        const uchar* q = y.constScanLine(r);
        for (int i = 0; i < x.width() * 4; ++i) {
            total += std::abs(int(p[i]) - int(q[i]));
        }
    }
    return total / (double(x.width()) * x.height() * 4);
}

} // namespace TilePictures
