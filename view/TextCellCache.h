// Rendered text cells of the point renderer, kept between timer ticks.
//
// A cell is what DrawingSurface::textOut paints for one padded text in one font with one pair
// of colours: the opaque background cell with its glyphs. It is rendered once through the
// surface itself, into an image of the target's format, resolution, pixel ratio and render
// hints, so drawing the cell image at the cell's corner, device pixel for device pixel, gives
// the very pixels a fresh textOut gives.
// A text whose glyphs reach outside their cell (an italic overhang, say) or leave part of the
// cell unpainted cannot be reproduced by a rectangular copy: its cell has no image and is drawn
// afresh each time.
//
// The cache is bounded by bytes. Cells not used during the current or the previous tick are
// dropped when room is needed; when the cells of the last two ticks alone fill the budget, no
// new cell is stored and the caller draws afresh, so a working set larger than the budget
// degrades gracefully instead of thrashing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include <QImage>
#include <QPainter>
#include <QSize>

#include "FontKey.h"
#include "PointRecord.h"

class TextCellCache {
public:
    struct Cell {
        // Null: draw this text afresh. Cells for a 32-bit RGB target may be kept as 8-bit
        // indexed images holding the very same colours (see DrawCellFast).
        QImage image;
        QSize extent; // the cell's size in logical pixels
        // False: only the extent is known, of a text that stays inside its cell (see remember).
        bool rendered = true;
    };

    // What a cell's pixels depend on besides its text, font and colours.
    struct Target {
        QImage::Format format = QImage::Format_Invalid;
        int dotsPerMeterX = 0;
        int dotsPerMeterY = 0;
        QPainter::RenderHints hints;
        int pixelRatio = 1; // device pixels per logical pixel, a whole number
        bool operator==(const Target&) const = default;
    };

    static constexpr std::size_t kDefaultLimitBytes = std::size_t{128} << 20;

    explicit TextCellCache(std::size_t limitBytes = kDefaultLimitBytes);

    // Starts a tick drawing onto `target`; a target unlike the previous one empties the cache.
    void beginTick(const Target& target);

    // Where a caller found its last two cells: checked first, which spares the hash lookup when
    // a point draws the same text as on the previous tick, or as on the one before when its
    // colours alternate (a flashing text). Opaque; starts empty.
    struct Memo {
        void* recent[2] = {nullptr, nullptr}; // the most recent first
        std::uint64_t generation = 0;
    };

    // The cell for `padded` in font `lf` with glyph colour `text` on `back`, rendered on a miss
    // (or when only remembered).
    // Null when the budget is taken by cells in use: the caller draws afresh. The pointer stays
    // valid until the next call of beginTick, setLimit or clear (find drops only cells not
    // used during this tick).
    const Cell* find(const LOGFONTA& lf, COLORREF text, COLORREF back, const std::string& padded,
                     Memo& memo);

    // The cell if it is cached, rendered or not; never renders.
    const Cell* lookup(const LOGFONTA& lf, COLORREF text, COLORREF back, const std::string& padded,
                       Memo& memo);
    // Keeps the extent of a text known to stay inside its cell without rendering it (find
    // renders it when it is wanted). Null when the budget is taken.
    const Cell* remember(const LOGFONTA& lf, COLORREF text, COLORREF back,
                         const std::string& padded, Memo& memo, QSize extent);

    // The target of the current tick.
    const Target& target() const { return m_target; }

    void setLimit(std::size_t bytes);
    void clear();
    std::size_t count() const { return m_cells.size(); }
    std::size_t bytes() const { return m_bytes; }

    // Renders a cell for `target` as the cache does (exposed for checking it).
    static Cell Render(const Target& target, const LOGFONTA& lf, COLORREF text, COLORREF back,
                       const std::string& padded);

private:
    struct Entry {
        Cell cell;
        std::uint64_t lastTick = 0;
        std::size_t cost = 0;
    };

    // Drops the cells not used in this tick or the previous one.
    void sweep();
    // The entry for the key, or null (then the key is left in m_key).
    Entry* locate(const LOGFONTA& lf, COLORREF text, COLORREF back, const std::string& padded,
                  Memo& memo);
    // A new entry for the key in m_key with nothing but its bookkeeping; null when the budget is
    // taken.
    Entry* insert(Memo& memo);

    // A cell's key: the font description, the two colours, the padded text.
    struct Key {
        FontKey font;
        COLORREF text = 0;
        COLORREF back = 0;
        std::string padded;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const noexcept;
    };
    using Cells = std::unordered_map<Key, Entry, KeyHash>;

    // Forgets every cell; memos taken before no longer match.
    void erased() { ++m_generation; }
    // Whether memo slot `slot` holds this very key, compared piece by piece without building it.
    static bool Holds(const void* slot, const LOGFONTA& lf, COLORREF text, COLORREF back,
                      const std::string& padded);
    // `slot` becomes the memo's most recent cell.
    void keepInMemo(Memo& memo, void* slot) const;

    Cells m_cells;
    Key m_key; // reused lookup key
    Target m_target;
    std::size_t m_limit;
    std::size_t m_bytes = 0;
    std::uint64_t m_tick = 0;
    std::uint64_t m_generation = 1; // changes whenever a cell is dropped
    bool m_sweptThisTick = false;
};
