#include "TextCellCache.h"

#include <algorithm>
#include <cstring>

#include <QColor>

#include "DrawingSurface.h"
#include "RenderLimits.h"
#include "TextBounds.h"

namespace {

// Bookkeeping per entry besides its key and pixels: node, hash slot, strings.
constexpr std::size_t kEntryOverhead = 128;
// What a key costs besides its text: the font description and the two colours.
constexpr std::size_t kKeyHead = sizeof(LOGFONTA) + 2 * sizeof(COLORREF);

void SetResolution(QImage& image, const TextCellCache::Target& target) {
    if (target.dotsPerMeterX > 0 && target.dotsPerMeterY > 0) {
        image.setDotsPerMeterX(target.dotsPerMeterX);
        image.setDotsPerMeterY(target.dotsPerMeterY);
    }
    image.setDevicePixelRatio(target.pixelRatio);
}

// textOut of `padded` with its cell corner at (margin, margin) on an image filled with
// `sentinel`, through a surface set up like the target's.
QImage PaintOn(const TextCellCache::Target& target, QSize size, int margin, const QColor& sentinel,
               const LOGFONTA& lf, COLORREF text, COLORREF back, const std::string& padded) {
    QImage image(size * target.pixelRatio, target.format);
    if (image.isNull()) {
        return image; // the allocation failed
    }
    SetResolution(image, target);
    image.fill(sentinel);
    QPainter painter(&image);
    DrawingSurface surface(painter);
    painter.setRenderHints(painter.renderHints(), false);
    painter.setRenderHints(target.hints, true);
    surface.selectFont(lf);
    surface.setBkColor(back);
    surface.setTextColor(text);
    surface.textOut(margin, margin, padded);
    return image;
}

// True when both paintings filled `cell` with the same pixels whatever lay beneath, and left
// every pixel around it as it was (32-bit pixels).
bool PaintsExactlyTheCell(const QImage& onBlack, const QImage& onWhite, QRect cell) {
    const int width = onBlack.width();
    QImage black(width, 1, onBlack.format());
    QImage white(width, 1, onBlack.format());
    if (black.isNull() || white.isNull()) {
        return false;
    }
    black.fill(Qt::black);
    white.fill(Qt::white);
    const uchar* blackRow = black.constScanLine(0);
    const uchar* whiteRow = white.constScanLine(0);
    const std::size_t bpp = 4;
    const std::size_t left = static_cast<std::size_t>(cell.left()) * bpp;
    const std::size_t inner = static_cast<std::size_t>(cell.width()) * bpp;
    const std::size_t right = static_cast<std::size_t>(width - cell.right() - 1) * bpp;
    const std::size_t rightAt = left + inner;
    for (int y = 0; y < onBlack.height(); ++y) {
        const uchar* b = onBlack.constScanLine(y);
        const uchar* w = onWhite.constScanLine(y);
        if (y < cell.top() || y > cell.bottom()) {
            if (std::memcmp(b, blackRow, left + inner + right) != 0 ||
                std::memcmp(w, whiteRow, left + inner + right) != 0) {
                return false;
            }
            continue;
        }
        if (std::memcmp(b, blackRow, left) != 0 || std::memcmp(w, whiteRow, left) != 0 ||
            std::memcmp(b + rightAt, blackRow + rightAt, right) != 0 ||
            std::memcmp(w + rightAt, whiteRow + rightAt, right) != 0 ||
            std::memcmp(b + left, w + left, inner) != 0) {
            return false;
        }
    }
    return true;
}

// The cell's pixels with one byte each and a colour table, when that holds them exactly: a
// cell is its background, its glyph colour and their blends, rarely more than 256 colours.
// Cells so kept take a quarter of the memory, so four times as many fit the budget.
QImage Compact(const QImage& cell) {
    if (cell.format() != QImage::Format_RGB32) {
        return cell;
    }
    QImage compact = cell.convertToFormat(QImage::Format_Indexed8,
                                          Qt::ThresholdDither | Qt::AvoidDither);
    if (compact.isNull() || compact.convertToFormat(QImage::Format_RGB32) != cell) {
        return cell;
    }
    compact.setDevicePixelRatio(cell.devicePixelRatio());
    return compact;
}

} // namespace

TextCellCache::TextCellCache(std::size_t limitBytes) : m_limit(limitBytes) {}

void TextCellCache::beginTick(const Target& target) {
    if (!(target == m_target)) {
        clear();
        m_target = target;
    }
    ++m_tick;
    m_sweptThisTick = false;
}

TextCellCache::Entry* TextCellCache::locate(const LOGFONTA& lf, COLORREF text, COLORREF back,
                                             const std::string& padded, Memo& memo) {
    if (memo.generation == m_generation) {
        for (void* slot : memo.recent) {
            if (slot != nullptr && Holds(slot, lf, text, back, padded)) {
                auto& entry = static_cast<Cells::value_type*>(slot)->second;
                entry.lastTick = m_tick;
                return &entry;
            }
        }
    }
    m_key.font = FontKey(lf);
    m_key.text = text;
    m_key.back = back;
    m_key.padded.assign(padded);
    if (auto it = m_cells.find(m_key); it != m_cells.end()) {
        it->second.lastTick = m_tick;
        keepInMemo(memo, &*it);
        return &it->second;
    }
    return nullptr;
}

TextCellCache::Entry* TextCellCache::insert(Memo& memo) {
    if (m_bytes >= m_limit && !m_sweptThisTick) {
        sweep();
    }
    if (m_bytes >= m_limit) {
        return nullptr;
    }
    Entry entry;
    entry.lastTick = m_tick;
    entry.cost = kKeyHead + m_key.padded.size() + kEntryOverhead;
    m_bytes += entry.cost;
    auto& slot = *m_cells.emplace(m_key, std::move(entry)).first;
    keepInMemo(memo, &slot);
    return &slot.second;
}

const TextCellCache::Cell* TextCellCache::lookup(const LOGFONTA& lf, COLORREF text,
                                                 COLORREF back, const std::string& padded,
                                                 Memo& memo) {
    Entry* entry = locate(lf, text, back, padded, memo);
    return entry != nullptr ? &entry->cell : nullptr;
}

const TextCellCache::Cell* TextCellCache::remember(const LOGFONTA& lf, COLORREF text,
                                                   COLORREF back, const std::string& padded,
                                                   Memo& memo, QSize extent) {
    Entry* entry = locate(lf, text, back, padded, memo);
    if (entry == nullptr) {
        entry = insert(memo); // the key locate left in m_key
        if (entry == nullptr) {
            return nullptr;
        }
        entry->cell.extent = extent;
        entry->cell.rendered = false;
    }
    return &entry->cell;
}

const TextCellCache::Cell* TextCellCache::find(const LOGFONTA& lf, COLORREF text, COLORREF back,
                                               const std::string& padded, Memo& memo) {
    Entry* entry = locate(lf, text, back, padded, memo);
    if (entry == nullptr) {
        entry = insert(memo); // the key locate left in m_key
        if (entry == nullptr) {
            return nullptr;
        }
    } else if (entry->cell.rendered) {
        return &entry->cell;
    } else if (m_bytes >= m_limit) {
        // A remembered cell is rendered only while there is room (the sweep keeps it: it was
        // used during this tick).
        if (!m_sweptThisTick) {
            sweep();
        }
        if (m_bytes >= m_limit) {
            return nullptr;
        }
    }
    entry->cell = Render(m_target, lf, text, back, padded);
    entry->cell.image = Compact(entry->cell.image);
    const std::size_t pixels = static_cast<std::size_t>(entry->cell.image.sizeInBytes());
    entry->cost += pixels;
    m_bytes += pixels;
    return &entry->cell;
}

bool TextCellCache::Holds(const void* slot, const LOGFONTA& lf, COLORREF text, COLORREF back,
                          const std::string& padded) {
    const Key& key = static_cast<const Cells::value_type*>(slot)->first;
    return key.text == text && key.back == back && key.padded == padded && key.font.is(lf);
}

std::size_t TextCellCache::KeyHash::operator()(const Key& key) const noexcept {
    const std::uint64_t colours = key.text | (std::uint64_t{key.back} << 32);
    std::uint64_t hash = FontKeyHash::Of(key.font);
    hash = HashBytes(hash, std::string_view(reinterpret_cast<const char*>(&colours), sizeof colours));
    hash = HashBytes(hash, key.padded);
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

void TextCellCache::keepInMemo(Memo& memo, void* slot) const {
    if (memo.generation != m_generation) {
        memo = {};
        memo.generation = m_generation;
    }
    memo.recent[1] = memo.recent[0];
    memo.recent[0] = slot;
}

void TextCellCache::setLimit(std::size_t bytes) {
    m_limit = bytes;
    if (m_bytes > m_limit) {
        clear();
    }
}

void TextCellCache::clear() {
    m_cells.clear();
    m_bytes = 0;
    erased();
}

void TextCellCache::sweep() {
    m_sweptThisTick = true;
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        if (it->second.lastTick + 1 < m_tick) {
            m_bytes -= it->second.cost;
            it = m_cells.erase(it);
            erased();
        } else {
            ++it;
        }
    }
}

TextCellCache::Cell TextCellCache::Render(const Target& target, const LOGFONTA& lf, COLORREF text,
                                          COLORREF back, const std::string& padded) {
    Cell cell;
    {
        QImage probe(1, 1, target.format);
        SetResolution(probe, target);
        QPainter painter(&probe);
        DrawingSurface surface(painter);
        surface.selectFont(lf);
        cell.extent = surface.textExtent(padded);
    }
    const QImage::Format f = target.format;
    const bool wordPixels = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                            f == QImage::Format_ARGB32_Premultiplied;
    const qint64 ratio = target.pixelRatio;
    if (!wordPixels || ratio < 1 || cell.extent.isEmpty() ||
        qint64{cell.extent.width()} * cell.extent.height() * ratio * ratio > kMaxCellPixels) {
        return cell;
    }
    // Painted with room for all the glyphs may overhang, so that a text leaving its cell is seen.
    const qint64 margin = TextOverhang(cell.extent.height());
    const qint64 paintW = cell.extent.width() + 2 * margin;
    const qint64 paintH = cell.extent.height() + 2 * margin;
    if (paintW * paintH * ratio * ratio > kMaxPaintPixels) {
        return cell;
    }
    const QSize size(static_cast<int>(paintW), static_cast<int>(paintH));
    const QImage onBlack =
        PaintOn(target, size, static_cast<int>(margin), Qt::black, lf, text, back, padded);
    const QImage onWhite =
        PaintOn(target, size, static_cast<int>(margin), Qt::white, lf, text, back, padded);
    if (onBlack.isNull() || onWhite.isNull()) {
        return cell;
    }
    const int r = target.pixelRatio;
    const int m = static_cast<int>(margin);
    const QRect inner(QPoint(m, m) * r, cell.extent * r); // in device pixels
    if (PaintsExactlyTheCell(onBlack, onWhite, inner)) {
        cell.image = onBlack.copy(inner);
        if (cell.image.isNull()) {
            return cell;
        }
        cell.image.setDevicePixelRatio(r);
    }
    return cell;
}
