#include <cstring>

#include <gtest/gtest.h>

#include "PointRecord.h"
#include "TestSupport.h"

using testsupport::Hex;
using testsupport::PatternRecord;
using testsupport::RecordBytes;

// The factory record's storage image is all zero but for the listed bytes.
TEST(PointRecord, FactoryDefaultsStorageImage) {
    std::string expected(kPointRecordSize, '\0');
    auto put = [&expected](std::size_t offset, const std::string& bytes) {
        expected.replace(offset, bytes.size(), bytes);
    };
    put(1, Hex("01"));
    put(8, Hex("08 00 00 00"));
    put(12, Hex("08 00 00 00"));
    put(36, Hex("FF FF 00 00"));
    put(40, Hex("00 00 FF 00"));
    put(48, Hex("0E 00 00 00"));
    put(64, Hex("90 01 00 00"));
    put(76, Hex("41 72 69 61 6C 00"));

    const std::string actual = RecordBytes(FactoryDefaults());
    ASSERT_EQ(actual.size(), kPointRecordSize);
    for (std::size_t i = 0; i < kPointRecordSize; ++i) {
        EXPECT_EQ(static_cast<unsigned>(static_cast<std::uint8_t>(actual[i])),
                  static_cast<unsigned>(static_cast<std::uint8_t>(expected[i])))
            << "byte " << i;
    }
    const PointRecord rec = FactoryDefaults();
    EXPECT_EQ(rec.crBack, RGB(255, 255, 0));
    EXPECT_EQ(GetRValue(rec.crRect), 0);
    EXPECT_EQ(GetBValue(rec.crRect), 255);
    EXPECT_STREQ(rec.lfText.lfFaceName, "Arial");
}

// A copy, a storage image and a record rebuilt from it carry every byte, the reserved byte and
// the phase bytes included; a short byte block leaves the rest zero.
TEST(PointRecord, CopiesCarryEveryByte) {
    PointRecord original = PatternRecord(3);
    original.bReserved = 0x5A;
    original.bTextPhase = 1;
    original.bRectPhase = 1;
    original.dX = 0.5;

    const PointRecord copy = original;
    EXPECT_EQ(RecordBytes(copy), RecordBytes(original));

    const RecordImage image = StorageImage(original);
    EXPECT_EQ(image[7], 0x5A);
    const PointRecord rebuilt = RecordFromBytes(image.data(), image.size());
    EXPECT_EQ(std::memcmp(&rebuilt, &original, kPointRecordSize), 0);

    const PointRecord shortRec = RecordFromBytes(image.data(), 10);
    const std::string bytes = RecordBytes(shortRec);
    EXPECT_EQ(bytes.substr(0, 10), RecordBytes(original).substr(0, 10));
    EXPECT_EQ(bytes.substr(10), std::string(kPointRecordSize - 10, '\0'));

    const PointRecord zero{};
    EXPECT_EQ(RecordBytes(zero), std::string(kPointRecordSize, '\0'));
    EXPECT_EQ(RecordBytes(RecordFromBytes(nullptr, 0)), std::string(kPointRecordSize, '\0'));
}
