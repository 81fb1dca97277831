#include "TextBounds.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <limits>

#include "DrawingSurface.h"
#include "RenderLimits.h"

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
    const FontKey key(lf);
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
            constexpr int kMaxAdvance = std::numeric_limits<std::int16_t>::max();
            advance = static_cast<std::int16_t>(std::clamp(surface.charAdvance(c), 0, kMaxAdvance));
        }
        width += advance + 1;
    }
    const auto margin = static_cast<int>(TextOverhang(font.height));
    const long long wide = std::min<long long>(width + 2LL * margin, kFarExtent);
    return DrawingSurface::turnedBounds(
        QRect(-margin, -margin, static_cast<int>(wide), font.height + 2 * margin),
        lf.lfEscapement);
}
