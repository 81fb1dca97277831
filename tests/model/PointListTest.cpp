#include <cstring>
#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "PointList.h"
#include "TestSupport.h"

using testsupport::PatternRecord;
using testsupport::RecordBytes;
using testsupport::SampleList;

namespace {

// Everything observable about a list, for "nothing changed" checks.
std::string Snapshot(const PointList& list) {
    std::string s = std::to_string(list.count()) + "|" + std::to_string(list.labels().size()) +
                    "|" + std::to_string(list.sinceTexts().size()) + "|" +
                    std::to_string(list.memos().size()) + "|";
    for (const PointRecord& rec : list.points()) {
        s += RecordBytes(rec);
    }
    for (const auto* texts : {&list.labels(), &list.sinceTexts(), &list.memos()}) {
        for (const std::string& t : *texts) {
            s += t + '\x01';
        }
    }
    return s;
}

} // namespace

TEST(PointList, AddSetRemoveKeepTextsWithTheirPoints) {
    PointList list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.AddPoint(PatternRecord(0), "a", "sa", "ma"), 0);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.labels().size(), 1u);
    EXPECT_EQ(list.sinceTexts().size(), 1u);
    EXPECT_EQ(list.memos().size(), 1u);
    EXPECT_EQ(list.AddPoint(PatternRecord(1), "b", "sb", "mb"), 1);
    EXPECT_EQ(list.AddPoint(PatternRecord(2), "c", "sc", "mc"), 2);

    list.RemovePoint(1);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(RecordBytes(list.point(1)), RecordBytes(PatternRecord(2)));
    EXPECT_EQ(list.label(1), "c");
    EXPECT_EQ(list.sinceText(1), "sc");
    EXPECT_EQ(list.memo(1), "mc");
    EXPECT_EQ(list.label(0), "a");
    EXPECT_EQ(list.memos().size(), 2u);

    list.SetPoint(0, PatternRecord(9), "x", "", "mx");
    EXPECT_EQ(RecordBytes(list.point(0)), RecordBytes(PatternRecord(9)));
    EXPECT_EQ(list.label(0), "x");
    EXPECT_EQ(list.sinceText(0), "");
    EXPECT_EQ(list.memo(0), "mx");
    EXPECT_EQ(list.label(1), "c");

    // In-place writes (the renderer's phases, a drag's position) land in the stored record.
    list.point(1).bRectPhase = 1;
    list.point(1).dX = 12.25;
    EXPECT_EQ(list.points()[1].bRectPhase, 1);
    EXPECT_EQ(list.points()[1].dX, 12.25);

    list.RemoveAllPoints();
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(list.labels().empty() && list.sinceTexts().empty() && list.memos().empty());
}

// An index below 0 or not below the count is refused with invalid_argument and changes nothing.
TEST(PointList, OutOfRangeAccessIsRefusedAndChangesNothing) {
    PointList list = SampleList(3);
    const PointList& constList = list;
    const std::string before = Snapshot(list);
    for (int bad : {-1, 3, 4, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        EXPECT_THROW(list.point(bad), std::invalid_argument) << bad;
        EXPECT_THROW(constList.point(bad), std::invalid_argument) << bad;
        EXPECT_THROW(list.label(bad), std::invalid_argument) << bad;
        EXPECT_THROW(list.sinceText(bad), std::invalid_argument) << bad;
        EXPECT_THROW(list.memo(bad), std::invalid_argument) << bad;
        EXPECT_THROW(list.SetPoint(bad, PatternRecord(7), "x", "y", "z"), std::invalid_argument)
            << bad;
        EXPECT_THROW(list.RemovePoint(bad), std::invalid_argument) << bad;
        EXPECT_EQ(Snapshot(list), before) << bad;
    }
    PointList empty;
    EXPECT_THROW(empty.point(0), std::invalid_argument);
    EXPECT_THROW(empty.RemovePoint(0), std::invalid_argument);
}

// Every point takes the look's bytes but for byte 2, bytes 16-31 and 168-183, which stay
// exactly as they were, as do the texts.
TEST(PointList, ApplyToAllPointsKeepsSinceFlagPositionDateAndTexts) {
    PointList empty;
    empty.ApplyToAllPoints(PatternRecord(1));
    EXPECT_EQ(empty.count(), 0);

    PointList list = SampleList(5);
    list.point(1).bSinceDate = 0;
    list.point(3).dX = 0.1; // not exactly representable: must survive bit for bit
    const PointList before = list;

    PointRecord look = PatternRecord(200);
    look.bSinceDate = 1;
    look.bFlashText = 1;
    look.bFlashRect = 0;
    look.bReserved = 0xC3;
    list.ApplyToAllPoints(look);

    const std::string lookBytes = RecordBytes(look);
    for (int i = 0; i < list.count(); ++i) {
        const std::string now = RecordBytes(list.point(i));
        const std::string was = RecordBytes(before.point(i));
        for (std::size_t b = 0; b < kPointRecordSize; ++b) {
            const bool kept = b == 2 || (b >= 16 && b < 32) || b >= 168;
            EXPECT_EQ(now[b], kept ? was[b] : lookBytes[b]) << "point " << i << " byte " << b;
        }
        EXPECT_EQ(list.label(i), before.label(i));
        EXPECT_EQ(list.sinceText(i), before.sinceText(i));
        EXPECT_EQ(list.memo(i), before.memo(i));
    }
    EXPECT_EQ(list.point(1).bSinceDate, 0);
    EXPECT_EQ(list.point(1).bFlashText, 1);
    EXPECT_EQ(list.point(3).bReserved, 0xC3);
}

TEST(PointList, AssignRequiresEqualCounts) {
    PointList list = SampleList(2);
    const std::string before = Snapshot(list);
    EXPECT_THROW(list.Assign({PointRecord{}}, {}, {"l"}, {"s"}), std::invalid_argument);
    EXPECT_THROW(list.Assign({PointRecord{}}, {"m"}, {"l"}, {"s", "t"}), std::invalid_argument);
    EXPECT_EQ(Snapshot(list), before);

    list.Assign({PatternRecord(4)}, {"m"}, {"l"}, {"s"});
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.memo(0), "m");
    EXPECT_EQ(list.label(0), "l");
    EXPECT_EQ(list.sinceText(0), "s");
}
