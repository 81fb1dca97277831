#include <gtest/gtest.h>

#include "PointRecord.h"
#include "TestSupport.h"

using testsupport::Hex;
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
