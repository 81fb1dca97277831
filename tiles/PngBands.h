// PNG files through libpng: the header (size, alpha, interlaced or not) and a band reader.
// Plain files stream row by row; an interlaced file can only be read whole, so it is read into
// one image first (its size is checked against the limits before, by the caller). Damaged or
// truncated data stops the rows at the damage.
#pragma once

#include <QString>

#include "BandReader.h"

namespace tiles::PngBands {

struct Header {
    QSize size;
    bool alpha = false;
    bool interlaced = false;
};

bool ReadHeader(const QString& path, int maxSide, Header& header);
std::unique_ptr<BandReader> Open(const QString& path, int maxSide);

} // namespace tiles::PngBands
