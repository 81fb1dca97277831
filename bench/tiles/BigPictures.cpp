#include "BigPictures.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>

#include "PngRows.h"

namespace BigPictures {

namespace {

// One row of RGB samples at `scale` (1 for full size, 2^k for level k, sampled sparsely).
void Row(std::vector<unsigned char>& out, int width, int y, int scale) {
    out.resize(size_t(width) * 3);
    for (int x = 0; x < width; ++x) {
        const unsigned px = unsigned(x) * unsigned(scale);
        const unsigned py = unsigned(y) * unsigned(scale);
        unsigned h = px * 374761393u + py * 668265263u;
        h = (h ^ (h >> 13)) * 1274126177u;
        const unsigned grain = (h >> 24) & 31u;
        const unsigned base = ((px + 2 * py) >> 6) + ((px >> 9) ^ (py >> 9)) * 16;
        out[size_t(x) * 3 + 0] = static_cast<unsigned char>((base + grain) & 255u);
        out[size_t(x) * 3 + 1] = static_cast<unsigned char>((base / 2 + 64 + grain) & 255u);
        out[size_t(x) * 3 + 2] = static_cast<unsigned char>((255 - base + grain) & 255u);
    }
}

} // namespace

bool WriteJpeg(const QString& path, int width, int height, bool progressive) {
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (f == nullptr) {
        return false;
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row;
    while (info.next_scanline < info.image_height) {
        Row(row, width, int(info.next_scanline), 1);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(f) == 0;
}

bool WritePng(const QString& path, int width, int height) {
    std::vector<unsigned char> row;
    PngRows::Options options;
    options.compressionLevel = 3;
    return PngRows::Write(path, QSize(width, height), options, [&](int y) {
        Row(row, width, y, 1);
        return row.data();
    });
}

bool WriteTiledTiff(const QString& path, int width, int height, bool levels) {
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "w8");
    if (t == nullptr) {
        return false;
    }
    constexpr int kTile = 256;
    bool ok = true;
    for (int scale = 1; ok; scale *= 2) {
        const int w = (width + scale - 1) / scale;
        const int h = (height + scale - 1) / scale;
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(w));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(h));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(t, TIFFTAG_JPEGQUALITY, 90);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(t, TIFFTAG_TILEWIDTH, uint32_t(kTile));
        TIFFSetField(t, TIFFTAG_TILELENGTH, uint32_t(kTile));
        if (scale > 1) {
            TIFFSetField(t, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_REDUCEDIMAGE));
        }
        std::vector<unsigned char> strip(size_t(w) * 3 * kTile);
        std::vector<unsigned char> tile(size_t(kTile) * kTile * 3);
        std::vector<unsigned char> row;
        for (int ty = 0; ty < h && ok; ty += kTile) {
            for (int y = 0; y < kTile; ++y) {
                Row(row, w, std::min(ty + y, h - 1), scale);
                std::copy(row.begin(), row.end(), strip.begin() + long(y) * w * 3);
            }
            for (int tx = 0; tx < w && ok; tx += kTile) {
                for (int y = 0; y < kTile; ++y) {
                    for (int x = 0; x < kTile; ++x) {
                        const int sx = std::min(tx + x, w - 1);
                        std::copy_n(&strip[(size_t(y) * w + sx) * 3], 3, &tile[(size_t(y) * kTile + x) * 3]);
                    }
                }
                ok = TIFFWriteTile(t, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0) >= 0;
            }
        }
        ok = ok && TIFFWriteDirectory(t) != 0;
        if (!levels || (w <= kTile && h <= kTile)) {
            break;
        }
    }
    TIFFClose(t);
    return ok;
}

} // namespace BigPictures
