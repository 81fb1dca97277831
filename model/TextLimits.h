// How much of a point's text is drawn, measured, printed or accepted from an import. A map may
// store texts of any length and keeps them byte for byte; everything that lays a text out works
// on at most this many bytes of it, so one huge text costs no more than a long ordinary one.
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr std::size_t kMaxShownTextBytes = std::size_t{64} << 10;

// The start of `text` that is drawn and measured: at most kMaxShownTextBytes bytes, cut before
// a UTF-8 continuation byte so that no character is split (a text in Windows-1252 has none).
inline std::string_view ShownText(std::string_view text) {
    if (text.size() <= kMaxShownTextBytes) {
        return text;
    }
    std::size_t end = kMaxShownTextBytes;
    for (int back = 0; back < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
         ++back) {
        --end;
    }
    return text.substr(0, end);
}
