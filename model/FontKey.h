// A font description as the key of a hash table: its byte image, compared byte for byte, and
// the one hash the caches keyed by font descriptions use (FNV-1a, a word at a time, so that a
// crowded view looking a font up for every point pays a handful of multiplications).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "PointRecord.h"

struct FontKey {
    std::array<char, sizeof(LOGFONTA)> bytes{};

    FontKey() = default;
    explicit FontKey(const LOGFONTA& lf) { std::memcpy(bytes.data(), &lf, sizeof lf); }
    // Whether this key is the description `lf`, without making a key of it.
    bool is(const LOGFONTA& lf) const { return std::memcmp(bytes.data(), &lf, sizeof lf) == 0; }
    bool operator==(const FontKey&) const = default;
};

// FNV-1a over `bytes` in 64-bit words, continuing from `hash` (start with kFontHashSeed).
inline constexpr std::uint64_t kFontHashSeed = 0xcbf29ce484222325ULL;
inline std::uint64_t HashBytes(std::uint64_t hash, std::string_view bytes) {
    constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    for (std::size_t at = 0; at < bytes.size(); at += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, std::min(sizeof word, bytes.size() - at));
        hash = (hash ^ word) * kPrime;
    }
    return hash;
}

struct FontKeyHash {
    // A key made of a font description and more hashes the rest on from here.
    static std::uint64_t Of(const FontKey& key) {
        return HashBytes(kFontHashSeed, std::string_view(key.bytes.data(), key.bytes.size()));
    }
    std::size_t operator()(const FontKey& key) const noexcept {
        const std::uint64_t hash = Of(key);
        return static_cast<std::size_t>(hash ^ (hash >> 32));
    }
};
