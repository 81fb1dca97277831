#include "BuiltTileSource.h"

#include <QCoreApplication>

#include <algorithm>

#include "BackgroundPriority.h"
#include "BandPipeline.h"
#include "LevelStrips.h"
#include "TileCodec.h"
#include "TileImage.h"
#include "TileLimits.h"

namespace tiles {

BuiltTileSource::BuiltTileSource(std::shared_ptr<TileSource> inPlace,
                                 std::shared_ptr<PyramidStore> store)
    : m_inPlace(std::move(inPlace)), m_store(std::move(store)) {}

BuiltTileSource::~BuiltTileSource() {
    m_cancel = true;
    if (m_builder.joinable()) {
        m_builder.join();
    }
}

void BuiltTileSource::startBuild(std::vector<BuildPass> passes, PyramidCache cache,
                                 QString finalPath) {
    {
        std::lock_guard lock(m_mutex);
        m_building = true;
        m_complete = false;
    }
    m_builder = std::thread([this, passes = std::move(passes), cache = std::move(cache),
                             finalPath = std::move(finalPath)]() mutable {
        EnterBuildPriority(); // and the band worker it starts
        build(std::move(passes), std::move(cache), std::move(finalPath));
    });
}

void BuiltTileSource::build(std::vector<BuildPass> passes, PyramidCache cache, QString finalPath) {
    bool ok = true;
    for (const BuildPass& pass : passes) {
        ok = runPass(pass);
        if (!ok || m_cancel) {
            break;
        }
    }
    bool complete = false;
    if (ok && !m_cancel && m_store->finish(finalPath)) {
        cache.evict(0, finalPath);
        complete = true;
    } else {
        m_store->discard();
    }
    std::lock_guard lock(m_mutex);
    m_live.reset();
    m_building = false;
    m_complete = complete;
    m_finished.notify_all();
}

// False when the build must stop (cancelled, or a tile could not be written); a damaged
// picture still ends its pass, the rest of it missing.
bool BuiltTileSource::runPass(const BuildPass& pass) {
    std::unique_ptr<BandReader> reader = pass.open();
    const QImage::Format format = TileImage::DisplayFormat(m_store->alpha());
    auto strips = std::make_shared<LevelStrips>(
        pictureSize(), pass.baseLevel, pass.firstWritten, pass.lastLevel, format,
        [this, &pass](const TileId& id, const QImage& tile) {
            if (m_cancel || !m_store->append(id, TileCodec::Encode(tile, pass.fullChroma))) {
                m_writeFailed = !m_cancel;
                return false;
            }
            return true;
        },
        [this](int level) {
            m_store->setLevelDone(level);
            // Taken and let go so that a waiter between its check and its wait is not missed.
            { std::lock_guard lock(m_mutex); }
            m_finished.notify_all();
        });
    {
        std::lock_guard lock(m_mutex);
        m_live = strips;
    }
    const bool ok = readInto(pass, reader.get(), *strips);
    return ok && !m_cancel;
}

bool BuiltTileSource::readInto(const BuildPass& pass, BandReader* reader, LevelStrips& strips) {
    const QSize base = LevelSize(pictureSize(), pass.baseLevel);
    const QImage::Format format = TileImage::DisplayFormat(m_store->alpha());
    if (!reader || reader->size() != base || reader->alpha() != m_store->alpha()) {
        m_store->setPartial();
        return strips.finishEarly();
    }
    // This thread only decodes; the worker builds the levels from each band.
    const bool built = BandPipeline::Run(
        QSize(base.width(), kBandRows), format, std::clamp(pass.bands, 2, kMostBands),
        [this, reader](QImage& band, bool& last) {
            const int rows = reader->read(band, m_cancel);
            last = rows == 0 || reader->damaged();
            return rows;
        },
        [reader, &strips](QImage& band, int rows) {
            reader->finish(band, rows);
            return strips.addRows(band, rows);
        },
        m_cancel);
    if (!built || m_cancel) {
        return false;
    }
    if (!strips.complete()) {
        m_store->setPartial();
        return strips.finishEarly();
    }
    return true;
}

std::shared_ptr<const LevelStrips> BuiltTileSource::liveStrips() const {
    std::lock_guard lock(m_mutex);
    return m_live;
}

bool BuiltTileSource::levelReady(int level) const {
    return (m_inPlace && m_inPlace->levelReady(level)) || m_store->levelDone(level);
}

bool BuiltTileSource::tileReady(const TileId& id) const {
    return (m_inPlace && m_inPlace->levelReady(id.level)) || m_store->tileReady(id);
}

QImage BuiltTileSource::readTile(const TileId& id, const std::atomic<bool>& cancelled) const {
    if (cancelled.load()) {
        return {};
    }
    if (m_inPlace && m_inPlace->levelReady(id.level)) {
        return m_inPlace->readTile(id, cancelled);
    }
    // The strip first: once it has handed its tiles on, they are in the file.
    if (!m_store->levelDone(id.level)) {
        if (const auto live = liveStrips()) {
            QImage rows = live->readRows(id);
            if (!rows.isNull()) {
                return rows;
            }
        }
    }
    return m_store->readTile(id);
}

int BuiltTileSource::rowsReady(int level) const {
    if (levelReady(level)) {
        return LevelSize(pictureSize(), level).height();
    }
    const auto live = liveStrips();
    return live ? live->rowsReady(level) : 0;
}

QString BuiltTileSource::notice() const {
    if (m_writeFailed) {
        return QCoreApplication::translate(
            "Picture", "its tiles could not be written to the tile cache; only the part read "
                       "so far is shown");
    }
    return m_store->partial() ? TileRefusal::ShownInPart() : QString();
}

bool BuiltTileSource::waitForBuild() const {
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [this] { return !m_building; });
    return m_complete;
}

bool BuiltTileSource::waitForLevel(int level) const {
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [this, level] { return !m_building || levelReady(level); });
    return levelReady(level);
}

} // namespace tiles
