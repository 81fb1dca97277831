// Photo-like pictures for the benchmarks: smooth shading with fine grain and some edges, so a
// JPEG of it costs what a photograph costs to decode.
#pragma once

#include <QImage>
#include <QString>

namespace BenchPictures {
QImage PhotoLike(int width, int height);
// Writes a JPEG of PhotoLike(width, height) at quality 90 to `path`; false on failure.
bool WritePhotoJpeg(const QString& path, int width, int height);
} // namespace BenchPictures
