#include "PictureFiles.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>

#include <cstdint>

namespace PictureFiles {

namespace {

// How long ProcessEventsUntil waits at most, and how long one round of events may take.
constexpr int kWaitMs = 10'000;
constexpr int kEventSliceMs = 20;

std::uint32_t Crc32(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void AppendBigEndian(QByteArray& out, std::uint32_t v) {
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    QByteArray typed(type, 4);
    typed += data;
    QByteArray chunk;
    AppendBigEndian(chunk, std::uint32_t(data.size()));
    chunk += typed;
    AppendBigEndian(chunk, Crc32(typed));
    return chunk;
}

unsigned Step(unsigned& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 24;
}

} // namespace

QImage Quadrants(int width, int height, int noise) {
    QImage image(width, height, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(200, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 200),
                             qRgb(220, 220, 40)};
    unsigned state = 7;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb c = colours[(x >= width / 2 ? 1 : 0) + (y >= height / 2 ? 2 : 0)];
            const int n = noise > 0 ? int(Step(state) % unsigned(noise)) - noise / 2 : 0;
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255),
                           qBound(0, qBlue(c) + n, 255));
        }
    }
    return image;
}

QImage Noise(int width, int height, unsigned seed) {
    QImage image(width, height, QImage::Format_RGB32);
    unsigned state = seed;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int r = int(Step(state));
            const int g = int(Step(state));
            const int b = int(Step(state));
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

bool Write(const QImage& image, const QString& path, const char* format, int quality) {
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    return writer.write(image);
}

QByteArray JpegBytes(const QImage& image, bool progressive, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image)) {
        return {};
    }
    return bytes;
}

QByteArray WithJpegSides(QByteArray jpeg, quint16 width, quint16 height) {
    for (const char* marker : {"\xFF\xC0", "\xFF\xC2"}) {
        const qsizetype sof = jpeg.indexOf(marker);
        if (sof >= 0) {
            jpeg[sof + 5] = char(height >> 8);
            jpeg[sof + 6] = char(height & 0xFF);
            jpeg[sof + 7] = char(width >> 8);
            jpeg[sof + 8] = char(width & 0xFF);
        }
    }
    return jpeg;
}

QByteArray JpegWithOrientation(const QImage& image, int orientation) {
    QByteArray jpeg = JpegBytes(image, false, 95);
    if (jpeg.isEmpty()) {
        return {};
    }
    // APP1 "Exif": a little-endian TIFF header and one IFD with the orientation (0x0112).
    QByteArray exif("Exif\0\0", 6);
    exif += QByteArray("II\x2A\x00\x08\x00\x00\x00", 8);
    exif += QByteArray("\x01\x00", 2);              // one entry
    exif += QByteArray("\x12\x01\x03\x00", 4);      // tag 0x0112, type SHORT
    exif += QByteArray("\x01\x00\x00\x00", 4);      // count 1
    exif.append(char(orientation)).append('\0', 3); // the value, padded
    exif += QByteArray("\x00\x00\x00\x00", 4);      // no next IFD
    QByteArray segment("\xFF\xE1", 2);
    const int length = int(exif.size()) + 2;
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment += exif;
    // After the start of image and the JFIF segment, where cameras put it.
    int at = 2;
    if (jpeg.size() > 6 && quint8(jpeg[2]) == 0xFF && quint8(jpeg[3]) == 0xE0) {
        at = 4 + ((quint8(jpeg[4]) << 8) | quint8(jpeg[5]));
    }
    jpeg.insert(at, segment);
    return jpeg;
}

QByteArray PngHeaderOnly(quint32 width, quint32 height, int bitDepth) {
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    QByteArray header;
    AppendBigEndian(header, width);
    AppendBigEndian(header, height);
    header.append(char(bitDepth));
    header += QByteArray("\x06\x00\x00\x00", 4); // RGBA, no interlace
    png += PngChunk("IHDR", header);
    // A data chunk holding an empty compressed stream: far too little for the claimed size.
    png += PngChunk("IDAT", QByteArray("\x78\x9C\x03\x00\x00\x00\x00\x01", 8));
    png += PngChunk("IEND", QByteArray());
    return png;
}

QByteArray TiffHeaderOnly(quint32 width, quint32 height) {
    struct Entry {
        quint16 tag;
        quint16 type; // 3 SHORT, 4 LONG
        quint32 value;
    };
    const quint32 dataAt = 8 + 2 + 9 * 12 + 4;
    const Entry entries[] = {
        {256, 4, width}, {257, 4, height}, {258, 3, 8},      {259, 3, 1},
        {262, 3, 1},     {273, 4, dataAt}, {277, 3, 1},      {278, 4, height},
        {279, 4, width * height},
    };
    auto put16 = [](QByteArray& out, quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto put32 = [&](QByteArray& out, quint32 v) {
        put16(out, quint16(v & 0xFFFF));
        put16(out, quint16(v >> 16));
    };
    QByteArray tiff("II\x2A\x00", 4);
    put32(tiff, 8);
    put16(tiff, 9);
    for (const Entry& e : entries) {
        put16(tiff, e.tag);
        put16(tiff, e.type);
        put32(tiff, 1);
        put32(tiff, e.value); // a SHORT sits in the low bytes, little-endian
    }
    put32(tiff, 0);
    tiff += QByteArray(16, '\x55');
    return tiff;
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool ProcessEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < kWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kEventSliceMs);
    }
    return done();
}

} // namespace PictureFiles
