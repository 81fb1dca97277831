#include "TileSourceFactory.h"

#include <QCoreApplication>
#include <QFile>
#include <QStorageInfo>

#include "BuiltTileSource.h"
#include "JpegBands.h"
#include "LevelStrips.h"
#include "PngBands.h"
#include "PyramidCache.h"
#include "TiffBands.h"
#include "TiffJpegBands.h"
#include "TiffTileSource.h"

namespace tiles {

namespace {

// No JPEG or PNG holds more pixels per byte than these (a JPEG spends at least a few bits on
// each 8 x 8 block; deflate packs at most about 1032 bytes into one, 8 one-bit pixels each):
// a header that claims more is on a file cut short or forged.
constexpr qint64 kJpegPixelsPerByte = 4096;
constexpr qint64 kPngPixelsPerByte = 16384;
// Compressed TIFFs: the bound of the densest codec for line art (fax coding of blank rows).
constexpr qint64 kTiffPixelsPerByte = 65536;
// Rows a JPEG decoder keeps at once (an MCU row at the largest sampling), four bytes each.
constexpr qint64 kDecoderRows = 32;
// Expected pyramid bytes a pixel: tiles of a JPEG source are about its own size; of other
// sources, JPEG tiles with full chroma or deflated alpha.
constexpr double kJpegSourceRatio = 1.5;
constexpr double kOpaqueTileBytes = 1.0;
constexpr double kAlphaTileBytes = 3.0;
constexpr int kSignatureBytes = 8;
// The level the decoder's own reduction gives in a first pass: 1/8, its smallest.
constexpr int kCoarseLevel = 3;

enum class Kind { Tiff, Jpeg, Png, Other };

Kind Sniff(const QByteArray& head) {
    if (head.startsWith("II*\0") || head.startsWith("MM\0*") || head.startsWith("II+\0") ||
        head.startsWith("MM\0+")) {
        return Kind::Tiff;
    }
    if (head.startsWith("\xFF\xD8\xFF")) {
        return Kind::Jpeg;
    }
    if (head.startsWith("\x89PNG\r\n\x1A\n")) {
        return Kind::Png;
    }
    return Kind::Other;
}

// Everything the factory learns before it decides; each reader's header fills part of it.
struct Plan {
    QSize size;
    bool alpha = false;
    std::shared_ptr<TiffTileSource> inPlace;
    std::vector<BuildPass> passes;
    int firstWritten = 0;
    qint64 buildBytes = 0;
    qint64 pyramidBytes = 0;
};

std::shared_ptr<TileSource> Refuse(QString* whyNot, const QString& why) {
    if (whyNot != nullptr) {
        *whyNot = why;
    }
    return {};
}

bool SizeAllowed(QSize size, const TileLimits& limits, QString* whyNot) {
    if (size.width() > limits.maxSide || size.height() > limits.maxSide ||
        qint64(size.width()) * size.height() > limits.maxPixels) {
        Refuse(whyNot, TileRefusal::TooManyPixels(size.width(), size.height(), limits.maxPixels,
                                                  limits.maxSide));
        return false;
    }
    return true;
}

qint64 Pixels(QSize size) { return qint64(size.width()) * size.height(); }

// The bands a build's reader and its worker pass between them: two at least (one being read,
// one being built from; buildBytes counts one already), more while the memory allows, so the
// reader runs ahead when the worker is slow for a while. The passes get the count.
void SetBands(Plan& plan, qint64 bandBytes, const TileLimits& limits) {
    plan.buildBytes += bandBytes;
    const qint64 spare = limits.buildBytes - plan.buildBytes;
    const qint64 more = spare > 0 ? std::min<qint64>(BuiltTileSource::kMostBands - 2,
                                                     spare / std::max<qint64>(1, bandBytes))
                                  : 0;
    plan.buildBytes += more * bandBytes;
    for (BuildPass& pass : plan.passes) {
        pass.bands = 2 + int(more);
    }
}

qint64 LevelPixels(QSize size, int from) {
    qint64 total = 0;
    for (int k = from; k < TileSource::LevelCount(size); ++k) {
        total += Pixels(TileSource::LevelSize(size, k));
    }
    return total;
}

bool PlanJpeg(const QString& path, qint64 fileBytes, const TileLimits& limits, Plan& plan,
              QString* whyNot) {
    JpegBands::Header header;
    if (!JpegBands::ReadHeader(path, header)) {
        Refuse(whyNot, TileRefusal::Unreadable(QStringLiteral("its JPEG header is damaged")));
        return false;
    }
    plan.size = header.size;
    if (!SizeAllowed(plan.size, limits, whyNot)) {
        return false;
    }
    if (Pixels(plan.size) > fileBytes * kJpegPixelsPerByte) {
        Refuse(whyNot, TileRefusal::ClaimsMoreThanFile(plan.size.width(), plan.size.height(),
                                                       fileBytes));
        return false;
    }
    if (!header.colourSupported) {
        Refuse(whyNot, TileRefusal::Unreadable(QStringLiteral("its colours are not RGB or grey")));
        return false;
    }
    if (header.progressive && header.coefficientBytes > limits.buildBytes) {
        Refuse(whyNot, TileRefusal::DecodeMemory(
                           QCoreApplication::translate("Picture", "a progressive JPEG"),
                           header.coefficientBytes, limits.buildBytes));
        return false;
    }
    const int last = TileSource::LevelCount(plan.size) - 1;
    // The decoder's own reduction gives the coarse levels in a fast first pass; the second
    // pass reads the fine ones.
    const int coarse = std::min(kCoarseLevel, last);
    const qint64 decoder = header.progressive ? header.coefficientBytes
                                              : kDecoderRows * 4 * plan.size.width();
    const qint64 band = qint64(BuiltTileSource::kBandRows) * 4 * plan.size.width();
    plan.buildBytes = decoder + band + LevelStrips::Bytes(plan.size, 0, std::max(0, coarse - 1));
    const qint64 memory = limits.buildBytes;
    auto pass = [path, memory](int base, int first, int lastLevel) {
        return BuildPass{[path, base, memory] { return JpegBands::Open(path, 1 << base, memory); },
                         base, first, lastLevel, false};
    };
    if (coarse > 0) {
        plan.passes.push_back(pass(coarse, coarse, last));
        plan.passes.push_back(pass(0, 0, coarse - 1));
    } else {
        plan.passes.push_back(pass(0, 0, last));
    }
    SetBands(plan, band, limits);
    plan.pyramidBytes = qint64(double(fileBytes) * kJpegSourceRatio *
                               double(LevelPixels(plan.size, 0)) / double(Pixels(plan.size)));
    return true;
}

bool PlanPng(const QString& path, qint64 fileBytes, const TileLimits& limits, Plan& plan,
             QString* whyNot) {
    PngBands::Header header;
    if (!PngBands::ReadHeader(path, limits.maxSide, header)) {
        Refuse(whyNot, TileRefusal::Unreadable(QStringLiteral("its PNG header is damaged")));
        return false;
    }
    plan.size = header.size;
    plan.alpha = header.alpha;
    if (!SizeAllowed(plan.size, limits, whyNot)) {
        return false;
    }
    if (Pixels(plan.size) > fileBytes * kPngPixelsPerByte) {
        Refuse(whyNot, TileRefusal::ClaimsMoreThanFile(plan.size.width(), plan.size.height(),
                                                       fileBytes));
        return false;
    }
    const qint64 whole = header.interlaced ? Pixels(plan.size) * 4 : 0;
    if (whole > limits.buildBytes) {
        Refuse(whyNot, TileRefusal::DecodeMemory(
                           QCoreApplication::translate("Picture", "an interlaced PNG"), whole,
                           limits.buildBytes));
        return false;
    }
    const int last = TileSource::LevelCount(plan.size) - 1;
    plan.buildBytes = whole + qint64(BuiltTileSource::kBandRows) * 4 * plan.size.width() +
                      LevelStrips::Bytes(plan.size, 0, last);
    const int maxSide = limits.maxSide;
    plan.passes.push_back(
        BuildPass{[path, maxSide] { return PngBands::Open(path, maxSide); }, 0, 0, last, true});
    SetBands(plan, qint64(BuiltTileSource::kBandRows) * 4 * plan.size.width(), limits);
    plan.pyramidBytes = qint64(double(LevelPixels(plan.size, 0)) *
                               (plan.alpha ? kAlphaTileBytes : kOpaqueTileBytes));
    return true;
}

bool PlanTiff(const QString& path, qint64 fileBytes, const TileLimits& limits, Plan& plan,
              QString* whyNot) {
    plan.inPlace = TiffTileSource::Open(path, limits, whyNot);
    if (!plan.inPlace) {
        return false;
    }
    plan.size = plan.inPlace->pictureSize();
    plan.alpha = plan.inPlace->alpha();
    const TiffFile::Directory& top = plan.inPlace->first();
    if (top.compressed ? Pixels(plan.size) > fileBytes * kTiffPixelsPerByte
                       : top.rowBytes * plan.size.height() > fileBytes) {
        Refuse(whyNot, TileRefusal::ClaimsMoreThanFile(plan.size.width(), plan.size.height(),
                                                       fileBytes));
        plan.inPlace.reset();
        return false;
    }
    if (plan.inPlace->complete()) {
        return true;
    }
    const int count = TileSource::LevelCount(plan.size);
    plan.firstWritten = 0;
    while (plan.firstWritten < count && plan.inPlace->levelReady(plan.firstWritten)) {
        ++plan.firstWritten;
    }
    const TiffFile::Directory& first = plan.inPlace->first();
    // A band of rows reads every block it crosses: a row of tiles, or the strips.
    const qint64 blocks = first.blockBytes * ((plan.size.width() + first.block.width() - 1) /
                                              std::max(1, first.block.width()));
    const qint64 band = qint64(BuiltTileSource::kBandRows) * 4 * plan.size.width();
    plan.buildBytes = (first.tiled ? blocks : first.blockBytes) + 2 * band +
                      LevelStrips::Bytes(plan.size, 0, count - 1);
    const qint64 maxAlloc = limits.tileReadBytes;
    auto full = [path, maxAlloc] { return TiffBands::Open(path, maxAlloc); };
    // With JPEG tiles, the decoder's own reduction of each tile gives the coarse levels in a
    // fast pass, as for a JPEG file; only levels finer than that, if the file cannot give them
    // itself, need a second pass over the tiles decoded whole.
    const int coarse = std::min(kCoarseLevel, count - 1);
    const int denominator = 1 << coarse;
    if (coarse > 0 && plan.firstWritten > 0 &&
        TiffJpegBands::Open(path, denominator, maxAlloc) != nullptr) {
        plan.passes.push_back(BuildPass{
            [path, denominator, maxAlloc] {
                return TiffJpegBands::Open(path, denominator, maxAlloc);
            },
            coarse, std::max(coarse, plan.firstWritten), count - 1, true});
        if (plan.firstWritten < coarse) {
            plan.passes.push_back(BuildPass{full, 0, plan.firstWritten, coarse - 1, true});
        }
    } else {
        plan.passes.push_back(BuildPass{full, 0, plan.firstWritten, count - 1, true});
    }
    SetBands(plan, band, limits);
    plan.pyramidBytes = qint64(double(LevelPixels(plan.size, plan.firstWritten)) *
                               (plan.alpha ? kAlphaTileBytes : kOpaqueTileBytes));
    return true;
}

std::shared_ptr<TileSource> FromCache(const QString& path, const TileLimits& limits, Plan& plan,
                                      QString* whyNot, OpenInfo& info) {
    PyramidCache cache(limits.resolvedCacheDir(), limits.cacheBytes);
    const QByteArray key = PictureKey::Compute(path);
    if (key.isEmpty()) {
        return Refuse(whyNot, TileRefusal::Unreadable(QStringLiteral("the file cannot be read")));
    }
    if (!cache.prepare()) {
        return Refuse(whyNot, TileRefusal::Unreadable(
                                  QStringLiteral("the tile cache folder %1 cannot be made")
                                      .arg(cache.folder())));
    }
    info.pyramidPath = cache.pathFor(key);
    if (auto store = PyramidStore::Open(info.pyramidPath, key, plan.size, nullptr)) {
        PyramidCache::touch(info.pyramidPath);
        info.fromCache = true;
        return std::make_shared<BuiltTileSource>(plan.inPlace, std::move(store));
    }
    // Whatever is there under this name failed its checks: it is never trusted.
    QFile::remove(info.pyramidPath);
    if (plan.buildBytes > limits.buildBytes) {
        return Refuse(whyNot, TileRefusal::BuildMemory(plan.buildBytes, limits.buildBytes));
    }
    const qint64 free = QStorageInfo(cache.folder()).bytesAvailable();
    if (plan.pyramidBytes > limits.cacheBytes || plan.pyramidBytes > free) {
        return Refuse(whyNot, TileRefusal::CacheSpace(plan.pyramidBytes, limits.cacheBytes, free));
    }
    cache.evict(plan.pyramidBytes);
    auto store = PyramidStore::Create(cache.partPathFor(key), key, plan.size, plan.firstWritten,
                                      plan.alpha);
    if (!store) {
        return Refuse(whyNot, TileRefusal::Unreadable(
                                  QStringLiteral("the tile cache folder %1 cannot be written")
                                      .arg(cache.folder())));
    }
    auto source = std::make_shared<BuiltTileSource>(plan.inPlace, std::move(store));
    source->startBuild(std::move(plan.passes), cache, info.pyramidPath);
    info.building = true;
    return source;
}

} // namespace

std::shared_ptr<TileSource> OpenTileSource(const QString& path, const TileLimits& limits,
                                           QString* whyNot, OpenInfo* info) {
    OpenInfo local;
    OpenInfo& found = info != nullptr ? *info : local;
    found = OpenInfo{};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Refuse(whyNot, TileRefusal::Unreadable(file.errorString()));
    }
    const qint64 fileBytes = file.size();
    const Kind kind = Sniff(file.read(kSignatureBytes));
    file.close();
    Plan plan;
    bool planned = false;
    switch (kind) {
    case Kind::Tiff:
        planned = PlanTiff(path, fileBytes, limits, plan, whyNot);
        break;
    case Kind::Jpeg:
        planned = PlanJpeg(path, fileBytes, limits, plan, whyNot);
        break;
    case Kind::Png:
        planned = PlanPng(path, fileBytes, limits, plan, whyNot);
        break;
    case Kind::Other:
        return Refuse(whyNot, TileRefusal::NotTiled());
    }
    if (!planned) {
        return {};
    }
    if (plan.inPlace && plan.inPlace->complete()) {
        found.inPlace = true;
        return plan.inPlace;
    }
    return FromCache(path, limits, plan, whyNot, found);
}

} // namespace tiles
