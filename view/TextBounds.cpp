#include "TextBounds.h"

#include <algorithm>
#include <cstring>
#include <cstdint>

#include "DrawingSurface.h"

std::size_t TextBounds::KeyHash::operator()(const Key& key) const noexcept {
    // FNV-1a over whole words: a crowded view with a font per point looks one up per point.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (std::size_t at = 0; at < key.size(); at += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, key.data() + at, std::min(sizeof word, key.size() - at));
        hash = (hash ^ word) * 0x100000001b3ULL;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

TextBounds::Font& TextBounds::fontFor(DrawingSurface& surface, const LOGFONTA& described) {
    // Turning, underlining and striking out change no advance and no cell height: fonts that
    // differ in them alone share one entry.
    LOGFONTA lf = described;
    lf.lfEscapement = 0;
    lf.lfOrientation = 0;
    lf.lfUnderline = 0;
    lf.lfStrikeOut = 0;
    if (m_last != nullptr && std::memcmp(&m_lastFont, &lf, sizeof lf) == 0) {
        return *m_last;
    }
    m_lastFont = lf;
    Key key;
    std::memcpy(key.data(), &lf, sizeof lf);
    auto found = m_fonts.find(key);
    if (found == m_fonts.end()) {
        if (m_fonts.size() >= kMaxFonts) {
            m_fonts.clear();
        }
        Font font;
        surface.selectFont(described); // the very font drawing uses: measured once for both
        font.height = surface.textExtent({}).height();
        font.advance.fill(-1);
        found = m_fonts.emplace(key, font).first;
    }
    m_last = &found->second;
    return *m_last;
}

std::optional<QRect> TextBounds::reach(DrawingSurface& surface, const LOGFONTA& lf,
                                       const std::string& padded) {
    Font& font = fontFor(surface, lf);
    bool selected = false;
    long long width = 0;
    for (const char c : padded) {
        if (c < kFirst || c > kLast) {
            return std::nullopt;
        }
        std::int16_t& advance = font.advance[static_cast<std::size_t>(c - kFirst)];
        if (advance < 0) {
            if (!selected) {
                surface.selectFont(lf);
                selected = true;
            }
            advance = static_cast<std::int16_t>(std::clamp(surface.charAdvance(c), 0, 32767));
        }
        width += advance + 1;
    }
    const auto margin = static_cast<int>(TextOverhang(font.height));
    const long long wide = std::min<long long>(width + 2LL * margin, 1 << 28);
    return DrawingSurface::turnedBounds(
        QRect(-margin, -margin, static_cast<int>(wide), font.height + 2 * margin),
        lf.lfEscapement);
}
