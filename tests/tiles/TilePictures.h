// Pictures for the tile tests, written at test time: TIFFs in strips or tiles, with levels as
// pages or sub-images or none; interlaced PNGs; and helpers to read a whole level of a source
// back and compare it with the reference.
#pragma once

#include <QImage>
#include <QString>

#include "TileSource.h"

namespace TilePictures {

enum class Levels { None, Pages, SubImages };

struct TiffLayout {
    int block = 0;       // tile side; 0: strips of 16 rows
    int compression = 1; // a libtiff COMPRESSION_ value
    Levels levels = Levels::None;
};

// Writes `image` (RGB32 or ARGB32) as an 8-bit RGB(A) TIFF; its levels are TileImage::Halve
// of the one before, down to one tile.
bool WriteTiff(const QString& path, const QImage& image, const TiffLayout& layout);
bool WriteInterlacedPng(const QString& path, const QImage& image);

// Level `level` of `image` by halving.
QImage Reference(const QImage& image, int level);
// All tiles of `level` put together; null when any tile is null.
QImage ReadLevel(const tiles::TileSource& source, int level);
// The mean absolute difference of all channels; 255 when the sizes differ.
double MeanDifference(const QImage& a, const QImage& b);

} // namespace TilePictures
