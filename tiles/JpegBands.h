// JPEG files through libjpeg: the header (size, progressive or not, the memory a progressive
// decode's coefficient buffer takes) and a band reader that decodes at 1/1 to 1/8 scale with the
// decoder's own DCT scaling. The decoder may never take more memory than the limit it is given
// (a progressive file over it fails instead of swapping); a file cut short, or so damaged that
// the decoder keeps warning, counts as damaged and stops at the damage.
#pragma once

#include <QString>

#include "BandReader.h"

namespace tiles::JpegBands {

struct Header {
    QSize size;
    bool progressive = false;
    bool colourSupported = true; // CMYK and other colour spaces are not
    qint64 coefficientBytes = 0; // what a progressive decode holds for the whole picture
};

bool ReadHeader(const QString& path, Header& header);

// Decodes at 1 / `denominator` (1, 2, 4 or 8); null when the file cannot be started.
std::unique_ptr<BandReader> Open(const QString& path, int denominator, qint64 maxMemory);

} // namespace tiles::JpegBands
