// Writes an 8-bit RGB PNG file row by row, for the tests and benchmarks that need PNG files the
// way other programs write them (interlaced, or at a chosen compression), which Qt's writer
// does not offer. Any thread; one file per call.
#pragma once

#include <QSize>
#include <QString>

#include <functional>

namespace PngRows {

struct Options {
    bool interlaced = false;
    int compressionLevel = -1; // zlib's 0 to 9; -1 keeps libpng's default
};

// Writes `size` pixels to `path`; `row(y)` gives the 3 * width bytes of row y and is asked
// again on every pass of an interlaced file. False when the file cannot be written.
bool Write(const QString& path, QSize size, const Options& options,
           const std::function<const unsigned char*(int y)>& row);

} // namespace PngRows
