// Cheap bounds of where a text can paint, so that a full drawing can pass over a text that lies
// wholly under later points without measuring it: shaping a text costs microseconds, and a
// crowded view hides most of its texts.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include <QRect>

#include "FontKey.h"
#include "PointRecord.h"

class DrawingSurface;

// How far a text may paint beyond its cell on every side: glyphs overhang their cell (italic
// and script faces, accents) by less than a line height of their font, and tiny fonts by at
// most kMinTextOverhang pixels. Every bound of a text's pixels (culling, the coverage of a full
// drawing, what a tick repaints, which cells the text-cell cache keeps) grows the cell by this.
inline constexpr std::int64_t kMinTextOverhang = 4;
constexpr std::int64_t TextOverhang(std::int64_t lineHeight) {
    return std::max(lineHeight, kMinTextOverhang);
}

class TextBounds {
public:
    // A rectangle, relative to the top-left corner of the text's cell, that holds every pixel
    // the surface's textOut of `padded` in `lf` can paint: the cell, as wide as its characters'
    // advances measured one by one and a pixel more for each (rounding), grown by TextOverhang
    // for glyphs that overhang; for turned text, the
    // bounds of all that turned with it. Nothing for text other than
    // printable ASCII, which shaping may join or reorder. Selects `lf` on the surface the first
    // time a font or a character is seen.
    std::optional<QRect> reach(DrawingSurface& surface, const LOGFONTA& lf,
                               const std::string& padded);

private:
    static constexpr char kFirst = ' ';
    static constexpr char kLast = '~';
    // Fonts kept at most; past it they are measured again as they come.
    static constexpr std::size_t kMaxFonts = 16384;

    struct Font {
        int height = 0;
        // -1: not measured yet. Small, so that thousands of fonts stay in the processor's cache.
        std::array<std::int16_t, kLast - kFirst + 1> advance;
    };

    Font& fontFor(DrawingSurface& surface, const LOGFONTA& lf);

    std::unordered_map<FontKey, Font, FontKeyHash> m_fonts;
    // The font of the last call, as its entry describes it: most points share their neighbour's.
    LOGFONTA m_lastFont{};
    Font* m_last = nullptr;
};
