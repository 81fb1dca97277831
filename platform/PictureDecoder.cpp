#include "PictureDecoder.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "ImageBands.h"
#include "JpegStructure.h"
#include "LargeImage.h"

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;
// Bytes a pixel takes in the display format: grey pictures stay grey.
constexpr qint64 kDisplayBytes = 4;
constexpr qint64 kGreyBytes = 1;
// Assumed for a decoder that does not tell its format before decoding: the widest common one.
constexpr qint64 kUnknownBytes = 8;
// A reduced JPEG decode first yields up to twice the asked width and height, then scales.
constexpr qint64 kReducedOvershoot = 4;

// A file whose reads fail once `cancel` is set, so a running decode ends early.
class CancellableFile : public QFile {
public:
    CancellableFile(const QString& path, const std::atomic<bool>* cancel)
        : QFile(path), m_cancel(cancel) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed)) {
            return -1;
        }
        return QFile::readData(data, maxSize);
    }

private:
    const std::atomic<bool>* m_cancel;
};

// The formats pictures are kept in once decoded (see Normalize).
bool IsDisplayFormat(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied ||
           format == QImage::Format_Grayscale8;
}

qint64 Pixels(QSize size) {
    return qint64(std::max(0, size.width())) * qint64(std::max(0, size.height()));
}

qint64 DecoderBytesPerPixel(QImage::Format format) {
    if (format == QImage::Format_Invalid) {
        return kUnknownBytes;
    }
    constexpr int kBitsPerByte = 8;
    const int bits = QImage::toPixelFormat(format).bitsPerPixel();
    return std::max<qint64>(1, (bits + kBitsPerByte - 1) / kBitsPerByte);
}

// Qt refuses images above a fixed allocation limit (128 MB in Qt 6.4, less than a 40-megapixel
// picture needs). Raise it to the machine's budget: the budget check before decoding is the
// guard, also when QT_IMAGEIO_MAXALLOC switches Qt's limit off.
void RaiseAllocationLimit() {
    static const bool raised = [] {
        const qint64 megabytes = PictureDecoder::MachineBudget() / kMegabyte + 1;
        QImageReader::setAllocationLimit(int(std::min<qint64>(megabytes, INT_MAX)));
        return true;
    }();
    (void)raised;
}

// The format whose signature `device` starts with, for the common formats a signature names
// unambiguously (JPEG, PNG); empty for anything else.
QByteArray SignatureFormat(QIODevice* device) {
    if (device == nullptr || !device->isOpen()) {
        return {};
    }
    const QByteArray head = device->peek(8);
    if (head.startsWith("\xFF\xD8")) {
        return QByteArrayLiteral("jpeg");
    }
    if (head == QByteArrayLiteral("\x89PNG\r\n\x1A\n")) {
        return QByteArrayLiteral("png");
    }
    return {};
}

// The contents decide the format, never the file name. Offering the data to every decoder in
// turn loads every image plugin installed, and the libraries they need, although one is used:
// a JPEG or PNG signature names its decoder at once, so only that one is loaded (and when it
// cannot be had, every decoder is asked as before).
void Prepare(QImageReader& reader) {
    RaiseAllocationLimit();
    reader.setAutoTransform(false);
    if (const QByteArray format = SignatureFormat(reader.device()); !format.isEmpty()) {
        reader.setFormat(format);
        reader.setAutoDetectImageFormat(false);
        if (reader.canRead()) {
            return;
        }
        reader.setFormat(QByteArray());
        reader.setAutoDetectImageFormat(true);
    }
    reader.setDecideFormatFromContent(true);
}

bool ReadHeaderFrom(QImageReader& reader, PictureHeader& header, PictureFailure& failure) {
    header = PictureHeader{};
    // A known format whose size cannot be read is a picture cut short or damaged.
    const bool known = !reader.format().isEmpty();
    header.size = reader.size();
    if (!header.size.isValid() || header.size.isEmpty()) {
        failure = {known ? PictureFailure::Truncated : PictureFailure::NotAPicture};
        return false;
    }
    header.format = reader.imageFormat();
    header.reducible =
        reader.format() == "jpeg" && reader.supportsOption(QImageIOHandler::ScaledSize);
    return true;
}

// Peak memory of a decode to `scaledTo` (empty: whole).
qint64 DecodeBytes(const PictureHeader& header, QSize scaledTo) {
    if (scaledTo.isEmpty() || scaledTo == header.size) {
        return header.peakBytes(header.size);
    }
    const qint64 first = std::min(Pixels(header.size), kReducedOvershoot * Pixels(scaledTo));
    return first * DecoderBytesPerPixel(header.format) + Pixels(scaledTo) * kDisplayBytes;
}

} // namespace

QString PictureFailure::describe() const {
    const QString clause = describeReason();
    return detail.isEmpty() || clause.isEmpty() ? clause : clause + QStringLiteral("; ") + detail;
}

QString PictureFailure::describeReason() const {
    switch (reason) {
    case NotAPicture:
        return QCoreApplication::translate("Picture", "it is not a picture this program can read");
    case TooLarge:
        return QCoreApplication::translate(
                   "Picture", "it is too large: it would need %1 MB of memory, and a picture may "
                              "use at most %2 MB (an eighth of this computer's memory)")
            .arg(neededBytes / kMegabyte)
            .arg(budgetBytes / kMegabyte);
    case Truncated:
        return QCoreApplication::translate("Picture", "it is truncated or damaged");
    case TooComplex:
        return QCoreApplication::translate("Picture",
                                           "it would take too long to decode: it has more than "
                                           "%1 progressive scans")
            .arg(JpegStructureReader::kMaxProgressiveScans);
    case None:
        break;
    }
    return {};
}

qint64 PictureHeader::peakBytes(QSize decoded) const {
    const qint64 depth = DecoderBytesPerPixel(format);
    const bool grey = format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16 ||
                      format == QImage::Format_Mono || format == QImage::Format_MonoLSB;
    const qint64 display = grey ? kGreyBytes : kDisplayBytes;
    // Conversions to a format no wider happen in place.
    const qint64 copy = depth >= display ? 0 : display;
    return Pixels(decoded) * (depth + copy);
}

namespace PictureDecoder {

void Normalize(QImage& image) {
    QImage::Format wanted =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        wanted = QImage::Format_Grayscale8;
        break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        // A colour table of greys (checked in the table, not the pixels).
        if (!image.hasAlphaChannel() && image.isGrayscale()) {
            wanted = QImage::Format_Grayscale8;
        }
        break;
    default:
        break;
    }
    if (image.format() != wanted) {
        if (image.depth() >= QImage::toPixelFormat(wanted).bitsPerPixel()) {
            image.convertTo(wanted);
        } else {
            image = ImageBands::Convert(image, wanted);
        }
    }
    image.setDevicePixelRatio(1.0);
}

qint64 MachineBudget() {
    static const qint64 budget = [] {
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || pageSize <= 0) {
            return qint64(1024) * kMegabyte;
        }
        return qint64(pages) * qint64(pageSize) / 8;
    }();
    return budget;
}

bool ReadHeader(const QString& path, PictureHeader& header, PictureFailure& failure) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        header = PictureHeader{};
        failure = {PictureFailure::NotAPicture};
        return false;
    }
    QImageReader reader(&file);
    Prepare(reader);
    return ReadHeaderFrom(reader, header, failure);
}

namespace {

// Decodes `path` whole, reduced to `scaledTo` or cut to `clip` (at most one of them given).
QImage DecodeFile(const QString& path, QSize scaledTo, const QRect& clip, qint64 budget,
                  PictureFailure& failure, const std::atomic<bool>* cancel) {
    failure = {};
    CancellableFile file(path, cancel);
    if (!file.open(QIODevice::ReadOnly)) {
        failure = {PictureFailure::NotAPicture};
        return {};
    }
    QImageReader reader(&file);
    Prepare(reader);
    PictureHeader header;
    if (!ReadHeaderFrom(reader, header, failure)) {
        return {};
    }
    const QRect whole(QPoint(0, 0), header.size);
    const bool cut = header.reducible && !clip.isEmpty() && clip != whole;
    const bool reduce =
        !cut && header.reducible && !scaledTo.isEmpty() && scaledTo != header.size;
    if (cut && !whole.contains(clip)) {
        failure = {PictureFailure::Truncated};
        return {};
    }
    const qint64 needed = cut ? header.peakBytes(clip.size())
                              : DecodeBytes(header, reduce ? scaledTo : header.size);
    if (needed > budget) {
        failure = {PictureFailure::TooLarge, needed, budget};
        return {};
    }
    // A JPEG's markers are walked first: the scans it asks for are bounded before any is
    // decoded, and a file cut short is told although the decoder does not say so.
    const bool checkJpeg = !cut && reader.format() == "jpeg";
    JpegStructure structure;
    if (checkJpeg) {
        structure = JpegStructureReader::Read(path, cancel);
        if (structure.progressive && structure.scans > JpegStructureReader::kMaxProgressiveScans) {
            failure = {PictureFailure::TooComplex};
            return {};
        }
    }
    QImage image;
    if (cut) {
        reader.setClipRect(clip);
    } else if (reduce) {
        reader.setScaledSize(scaledTo);
    }
    if (!reduce && IsDisplayFormat(header.format)) {
        // Decoders that write into an image of the size and format they decode to (JPEG, PNG)
        // fill this one, on huge pages where it is large; any other makes its own. Only for
        // formats kept as they are: Qt converts an image in place only in memory of its own.
        image = LargeImage::Make(cut ? clip.size() : header.size, header.format);
    }
    if (!reader.read(&image) || image.isNull()) {
        failure = {PictureFailure::Truncated};
        return {};
    }
    PictureDecoder::Normalize(image);
    if (checkJpeg && !structure.complete) {
        failure = {PictureFailure::Truncated};
    }
    return image;
}

} // namespace

QImage Decode(const QString& path, QSize scaledTo, qint64 budget, PictureFailure& failure,
              const std::atomic<bool>* cancel) {
    return DecodeFile(path, scaledTo, QRect(), budget, failure, cancel);
}

QImage DecodeRegion(const QString& path, const QRect& clip, qint64 budget,
                    PictureFailure& failure, const std::atomic<bool>* cancel) {
    return DecodeFile(path, QSize(), clip, budget, failure, cancel);
}

QSize LargestWithin(const PictureHeader& header, qint64 budget) {
    if (header.size.isEmpty()) {
        return {};
    }
    if (DecodeBytes(header, header.size) <= budget) {
        return header.size;
    }
    const qint64 perPixel = kReducedOvershoot * DecoderBytesPerPixel(header.format) + kDisplayBytes;
    const double scale = std::sqrt(double(budget / perPixel) / double(Pixels(header.size)));
    const QSize size(int(header.size.width() * scale), int(header.size.height() * scale));
    return size.isEmpty() ? QSize() : size;
}

} // namespace PictureDecoder
