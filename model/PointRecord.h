// The fixed 184-byte description of one point, and the Windows value types it embeds.
// The struct's byte image is also its storage form in map and defaults files, so the layout
// below is a file format: every offset is checked at compile time.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "records are stored as their in-memory byte image, which is little-endian");

// 32-bit colour 0x00BBGGRR: red in the low byte.
using COLORREF = std::uint32_t;

constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr std::uint8_t GetRValue(COLORREF c) {
    return std::uint8_t(c & 0xFF);
}
constexpr std::uint8_t GetGValue(COLORREF c) {
    return std::uint8_t((c >> 8) & 0xFF);
}
constexpr std::uint8_t GetBValue(COLORREF c) {
    return std::uint8_t((c >> 16) & 0xFF);
}

// A font description: height, width, angles, weight, style bytes and an 8-bit face name
// (NUL-terminated within its 32 bytes).
struct LOGFONTA {
    std::int32_t lfHeight;
    std::int32_t lfWidth;
    std::int32_t lfEscapement;
    std::int32_t lfOrientation;
    std::int32_t lfWeight;
    std::uint8_t lfItalic;
    std::uint8_t lfUnderline;
    std::uint8_t lfStrikeOut;
    std::uint8_t lfCharSet;
    std::uint8_t lfOutPrecision;
    std::uint8_t lfClipPrecision;
    std::uint8_t lfQuality;
    std::uint8_t lfPitchAndFamily;
    char lfFaceName[32];
};
static_assert(sizeof(LOGFONTA) == 60);
static_assert(offsetof(LOGFONTA, lfWeight) == 16);
static_assert(offsetof(LOGFONTA, lfItalic) == 20);
static_assert(offsetof(LOGFONTA, lfPitchAndFamily) == 27);
static_assert(offsetof(LOGFONTA, lfFaceName) == 28);

// A calendar date and time, eight unsigned 16-bit fields, year first.
struct SYSTEMTIME {
    std::uint16_t wYear;
    std::uint16_t wMonth; // 1 to 12
    std::uint16_t wDayOfWeek;
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

// One point: where it sits on the picture and how it looks. `PointRecord rec{}` is all zero
// bytes. The struct has no padding, so a plain copy carries every byte (reserved byte 7 and the
// phase bytes included). Bool bytes: the system writes 0 and 1; any non-zero byte reads as true.
struct PointRecord {
    std::uint8_t bShowRect;  // draw the filled square centred on the point
    std::uint8_t bShowCross; // draw the two-tone cross centred on the point
    std::uint8_t bSinceDate; // since-date behaviour on
    std::uint8_t bFlashText; // the since text flashes once the since moment has passed
    std::uint8_t bFlashRect; // the square flashes once the since moment has passed
    std::uint8_t bTextPhase; // current flash phase of the since text (written by the renderer)
    std::uint8_t bRectPhase; // current flash phase of the square (written by the renderer)
    std::uint8_t bReserved;  // never set by the system; travels with every copy
    std::int32_t nRectSize;  // half the side of the square, in surface units
    std::int32_t nCrossSize; // length of each arm of the cross, in surface units
    double dX;               // position in source-picture pixels, origin top-left
    double dY;
    COLORREF crText;      // label colour
    COLORREF crBack;      // background of the text cell
    COLORREF crRect;      // square fill
    COLORREF crSinceText; // since-text colour
    LOGFONTA lfText;      // label font
    LOGFONTA lfSince;     // since-text font
    SYSTEMTIME stSince;   // the since date, local time
};

inline constexpr std::size_t kPointRecordSize = 184;

static_assert(sizeof(PointRecord) == kPointRecordSize);
static_assert(offsetof(PointRecord, bShowRect) == 0);
static_assert(offsetof(PointRecord, bShowCross) == 1);
static_assert(offsetof(PointRecord, bSinceDate) == 2);
static_assert(offsetof(PointRecord, bFlashText) == 3);
static_assert(offsetof(PointRecord, bFlashRect) == 4);
static_assert(offsetof(PointRecord, bTextPhase) == 5);
static_assert(offsetof(PointRecord, bRectPhase) == 6);
static_assert(offsetof(PointRecord, bReserved) == 7);
static_assert(offsetof(PointRecord, nRectSize) == 8);
static_assert(offsetof(PointRecord, nCrossSize) == 12);
static_assert(offsetof(PointRecord, dX) == 16);
static_assert(offsetof(PointRecord, dY) == 24);
static_assert(offsetof(PointRecord, crText) == 32);
static_assert(offsetof(PointRecord, crBack) == 36);
static_assert(offsetof(PointRecord, crRect) == 40);
static_assert(offsetof(PointRecord, crSinceText) == 44);
static_assert(offsetof(PointRecord, lfText) == 48);
static_assert(offsetof(PointRecord, lfSince) == 108);
static_assert(offsetof(PointRecord, stSince) == 168);

using RecordImage = std::array<std::uint8_t, kPointRecordSize>;

// The record's storage image: its 184 bytes as they stand.
RecordImage StorageImage(const PointRecord& rec);

// A record from up to 184 stored bytes; bytes beyond `size` are zero.
PointRecord RecordFromBytes(const std::uint8_t* data, std::size_t size);

// The look a new point has when no defaults file exists: a cross of arm 8, no square, the label
// in Arial of height 14, black on yellow, a blue square colour; everything else zero.
PointRecord FactoryDefaults();
