#include "RepeatedTileTiff.h"

#include <QFile>

#include <tiffio.h>

#include <cstdint>
#include <vector>

namespace BigPictures {

namespace {

constexpr int kTile = 256;

struct Encoded {
    std::vector<std::vector<unsigned char>> tiles;
    std::vector<unsigned char> tables;
};

void SetFields(TIFF* t, int width, int height, int quality, bool reduced) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(t, TIFFTAG_JPEGQUALITY, quality);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    TIFFSetField(t, TIFFTAG_TILEWIDTH, uint32_t(kTile));
    TIFFSetField(t, TIFFTAG_TILELENGTH, uint32_t(kTile));
    if (reduced) {
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_REDUCEDIMAGE));
    }
}

// Pattern `k`: smooth shading in its own hue with a grid of lines and a bar whose length
// tells k, so neighbouring tiles differ and a wrong tile shows.
void Pattern(std::vector<unsigned char>& rgb, int k) {
    rgb.resize(std::size_t(kTile) * kTile * 3);
    for (int y = 0; y < kTile; ++y) {
        for (int x = 0; x < kTile; ++x) {
            const bool line = x % 128 == 0 || y % 128 == 0;
            const bool bar = y >= 200 && y < 216 && x >= 16 && x < 16 + 24 * (k + 1);
            unsigned char* p = &rgb[(std::size_t(y) * kTile + x) * 3];
            const int shade = (x + y) / 2;
            p[0] = static_cast<unsigned char>(line || bar ? 20 : (shade + 37 * k) & 255);
            p[1] = static_cast<unsigned char>(line || bar ? 20 : (255 - shade + 53 * k) & 255);
            p[2] = static_cast<unsigned char>(line || bar ? 20 : (128 + 71 * k) & 255);
        }
    }
}

// Encodes the patterns through libtiff into `scratch` and reads them back raw.
bool Encode(const QString& scratch, int distinct, int quality, Encoded& out) {
    TIFF* t = TIFFOpen(QFile::encodeName(scratch).constData(), "w");
    if (t == nullptr) {
        return false;
    }
    SetFields(t, kTile * distinct, kTile, quality, false);
    std::vector<unsigned char> rgb;
    bool ok = true;
    for (int k = 0; k < distinct && ok; ++k) {
        Pattern(rgb, k);
        ok = TIFFWriteTile(t, rgb.data(), uint32_t(k * kTile), 0, 0, 0) >= 0;
    }
    ok = ok && TIFFWriteDirectory(t) != 0;
    TIFFClose(t);
    t = ok ? TIFFOpen(QFile::encodeName(scratch).constData(), "r") : nullptr;
    if (t == nullptr) {
        return false;
    }
    uint32_t count = 0;
    void* tables = nullptr;
    if (TIFFGetField(t, TIFFTAG_JPEGTABLES, &count, &tables) != 0 && tables != nullptr) {
        const auto* bytes = static_cast<const unsigned char*>(tables);
        out.tables.assign(bytes, bytes + count);
    }
    const uint64_t* sizes = nullptr;
    ok = TIFFGetField(t, TIFFTAG_TILEBYTECOUNTS, &sizes) != 0 && sizes != nullptr;
    for (int k = 0; k < distinct && ok; ++k) {
        std::vector<unsigned char> raw(std::size_t(sizes[k]));
        ok = TIFFReadRawTile(t, uint32_t(k), raw.data(), tmsize_t(raw.size())) ==
             tmsize_t(raw.size());
        out.tiles.push_back(std::move(raw));
    }
    TIFFClose(t);
    QFile::remove(scratch);
    return ok && !out.tables.empty();
}

} // namespace

bool WriteRepeatedTileTiff(const QString& path, int width, int height, int distinct,
                           int quality) {
    Encoded encoded;
    if (distinct < 1 || !Encode(path + QStringLiteral(".tiles"), distinct, quality, encoded)) {
        return false;
    }
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "w8");
    if (t == nullptr) {
        return false;
    }
    bool ok = true;
    for (int level = 0; ok; ++level) {
        const int scale = 1 << level;
        const int w = (width + scale - 1) / scale;
        const int h = (height + scale - 1) / scale;
        SetFields(t, w, h, quality, level > 0);
        TIFFSetField(t, TIFFTAG_JPEGTABLES, uint32_t(encoded.tables.size()),
                     encoded.tables.data());
        const uint32_t columns = uint32_t((w + kTile - 1) / kTile);
        const uint32_t rows = uint32_t((h + kTile - 1) / kTile);
        for (uint32_t r = 0; r < rows && ok; ++r) {
            for (uint32_t c = 0; c < columns && ok; ++c) {
                uint32_t hash = (c * 374761393u) ^ (r * 668265263u) ^ (uint32_t(level) * 2246822519u);
                hash = (hash ^ (hash >> 13)) * 1274126177u;
                std::vector<unsigned char>& raw = encoded.tiles[(hash >> 16) % uint32_t(distinct)];
                ok = TIFFWriteRawTile(t, r * columns + c, raw.data(), tmsize_t(raw.size())) ==
                     tmsize_t(raw.size());
            }
        }
        ok = ok && TIFFWriteDirectory(t) != 0;
        if (w <= kTile && h <= kTile) {
            break;
        }
    }
    TIFFClose(t);
    return ok;
}

} // namespace BigPictures
