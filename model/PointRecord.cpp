#include "PointRecord.h"

#include <algorithm>
#include <cstring>

RecordImage StorageImage(const PointRecord& rec) {
    RecordImage image;
    std::memcpy(image.data(), &rec, kPointRecordSize);
    return image;
}

PointRecord RecordFromBytes(const std::uint8_t* data, std::size_t size) {
    PointRecord rec{};
    if (data != nullptr) {
        std::memcpy(&rec, data, std::min(size, kPointRecordSize));
    }
    return rec;
}

PointRecord FactoryDefaults() {
    constexpr std::int32_t kCellHeight = 14; // pixels, ascent and descent
    constexpr std::int32_t kNormalWeight = 400;
    PointRecord rec{};
    rec.bShowCross = 1;
    rec.nRectSize = 8;
    rec.nCrossSize = 8;
    rec.crText = RGB(0, 0, 0);
    rec.crBack = RGB(255, 255, 0);
    rec.crRect = RGB(0, 0, 255);
    rec.lfText.lfHeight = kCellHeight;
    rec.lfText.lfWeight = kNormalWeight;
    constexpr char face[] = "Arial";
    std::memcpy(rec.lfText.lfFaceName, face, sizeof face);
    return rec;
}
