// Picture files made at test time in a temporary folder: plain pictures, a JPEG with an
// orientation tag, and files that only pretend to be pictures.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>

namespace PictureFiles {

// A picture whose pixels tell their position: four quadrants in four colours, with
// deterministic noise of `noise` levels on top.
QImage Quadrants(int width, int height, int noise = 0);
// Deterministic noise in every channel, no structure.
QImage Noise(int width, int height, unsigned seed);

// Writes `image` to `path` in `format` ("png", "jpg"); false on failure.
bool Write(const QImage& image, const QString& path, const char* format, int quality = 95);

// `image` as a JPEG, baseline or progressive; empty when it cannot be written.
QByteArray JpegBytes(const QImage& image, bool progressive, int quality = 90);
// `jpeg` with the sides its frame header (baseline or progressive) claims set to these.
QByteArray WithJpegSides(QByteArray jpeg, quint16 width, quint16 height);
// A JPEG of `image` carrying an EXIF orientation tag (6: turn 90 degrees clockwise to view).
QByteArray JpegWithOrientation(const QImage& image, int orientation);

// A valid PNG signature and header chunk claiming width x height (8-bit RGBA unless told), an
// empty data chunk and the end chunk: the header is readable, the pixels are missing.
QByteArray PngHeaderOnly(quint32 width, quint32 height, int bitDepth = 8);
// A little-endian TIFF claiming width x height 8-bit grey pixels in one uncompressed strip,
// of which it holds a few bytes.
QByteArray TiffHeaderOnly(quint32 width, quint32 height);

bool WriteBytes(const QString& path, const QByteArray& bytes);

// Runs the event loop, where pictures deliver what they decode or read in the background,
// until `done` or ten seconds have passed; what `done` says then.
bool ProcessEventsUntil(const std::function<bool()>& done);

} // namespace PictureFiles
