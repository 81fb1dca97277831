// The points of one open picture and their history: every kind of step, undone and redone,
// leaves the map file's bytes exactly as before and after it; steps find their points through
// merges; the history keeps within its budget.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "MapFiles.h"
#include "PointMap.h"
#include "TestSupport.h"

using testsupport::PatternRecord;
using testsupport::SampleList;

namespace {

std::vector<PointId> Ids(const PointMap& map, std::initializer_list<int> indices) {
    std::vector<PointId> ids;
    for (const int i : indices) {
        ids.push_back(map.idAt(i));
    }
    return ids;
}

} // namespace

TEST(PointMap, EveryKindOfStepUndoesAndRedoesToTheExactBytes) {
    const PointRecord look = PatternRecord(99);
    const SYSTEMTIME since{2031, 5, 0, 17, 8, 30, 0, 0};
    struct Case {
        const char* name;
        std::function<void(PointMap&)> step;
    } cases[] = {
        {"add", [](PointMap& m) { m.Add({PatternRecord(50), "new", "s", "m"}, "Add Point"); }},
        {"edit",
         [](PointMap& m) { m.Edit(m.idAt(2), {PatternRecord(51), "x", "", "y"}, "Edit Point"); }},
        {"remove one", [](PointMap& m) { m.Remove(Ids(m, {3}), "Remove Point"); }},
        {"remove scattered", [](PointMap& m) { m.Remove(Ids(m, {6, 0, 4}), "Delete"); }},
        {"apply to all", [&](PointMap& m) { m.ApplyLook(look, {}, "Apply to All Points"); }},
        {"look of some", [&](PointMap& m) { m.ApplyLook(look, Ids(m, {1, 5}), "Edit Points"); }},
        {"since of some", [&](PointMap& m) { m.SetSince(Ids(m, {0, 2}), true, since, "Since"); }},
        {"paste",
         [](PointMap& m) {
             m.Insert({{PatternRecord(60), "a", "", ""}, {PatternRecord(61), "b", "", ""}},
                      "Paste");
         }},
        {"nudge run",
         [](PointMap& m) {
             m.Nudge(Ids(m, {1, 2}), 1, 0, false, "Move Points");
             m.Nudge(Ids(m, {1, 2}), 0, -10, true, "Move Points");
         }},
        {"drag",
         [](PointMap& m) {
             m.BeginMove(Ids(m, {4}));
             m.MoveLive(m.idAt(4), 1.5, 2.25);
             m.MoveLive(m.idAt(4), 700.125, 33);
             m.EndMove("Move Point");
         }},
        {"group",
         [&](PointMap& m) {
             m.BeginGroup("Cut");
             m.ApplyLook(look, {}, "");
             m.Remove(Ids(m, {1}), "");
             m.Add({PatternRecord(70), "z", "", ""}, "");
             m.EndGroup();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PointMap map;
        map.Reset(SampleList(8));
        const std::string before = EncodeMap(map.list());
        c.step(map);
        const std::string after = EncodeMap(map.list());
        ASSERT_NE(after, before);
        ASSERT_EQ(map.stepCount(), 1u); // a run of nudges, a drag, a group: one step each
        ASSERT_TRUE(map.Undo());
        EXPECT_EQ(EncodeMap(map.list()), before);
        EXPECT_FALSE(map.canUndo());
        ASSERT_TRUE(map.Redo());
        EXPECT_EQ(EncodeMap(map.list()), after);
        ASSERT_TRUE(map.Undo());
        EXPECT_EQ(EncodeMap(map.list()), before);
    }
}

TEST(PointMap, AStepFindsItsPointsAfterOtherWritersPointsWereMergedIn) {
    PointMap map;
    map.Reset(SampleList(4));
    const PointList original = map.list();
    // Two of our points at the end; another writer appended two of its own after the four.
    map.Insert({{PatternRecord(80), "ours 1", "", ""}, {PatternRecord(81), "ours 2", "", ""}},
               "Paste");
    map.Remove(Ids(map, {1}), "Remove Point");
    map.Edit(map.idAt(3), {PatternRecord(82), "ours 1 edited", "", ""}, "Edit Point");
    // The merge: the points we know, theirs, then ours (as MergeMaps lays them out).
    PointList merged;
    for (int i = 0; i < map.count(); ++i) {
        merged.AddPoint(map.list().point(i), map.list().label(i), map.list().sinceText(i),
                        map.list().memo(i));
        if (i == 2) {
            merged.AddPoint(PatternRecord(90), "theirs 1", "", "");
            merged.AddPoint(PatternRecord(91), "theirs 2", "", "");
        }
    }
    ASSERT_TRUE(map.TakeMerged(merged));
    ASSERT_EQ(map.count(), 7);

    // Undo every step: their points stay, ours go back where they were.
    EXPECT_EQ(map.undoName(), "Edit Point");
    ASSERT_TRUE(map.Undo());
    EXPECT_EQ(map.list().label(5), "ours 1");
    EXPECT_EQ(map.list().label(3), "theirs 1");
    ASSERT_TRUE(map.Undo()); // the removed point comes back at its place, before theirs
    EXPECT_EQ(map.list().label(1), original.label(1));
    ASSERT_TRUE(map.Undo());
    ASSERT_EQ(map.count(), 6);
    std::vector<std::string> labels;
    for (int i = 0; i < map.count(); ++i) {
        labels.push_back(map.list().label(i));
    }
    EXPECT_EQ(labels, (std::vector<std::string>{original.label(0), original.label(1),
                                                original.label(2), original.label(3),
                                                "theirs 1", "theirs 2"}));
    ASSERT_TRUE(map.Redo());
    ASSERT_TRUE(map.Redo());
    ASSERT_TRUE(map.Redo());
    EXPECT_EQ(map.list().label(map.count() - 2), "ours 1 edited");

    // A list that is not this one with points inserted cannot be followed: the history goes.
    PointList other = SampleList(3);
    EXPECT_FALSE(map.TakeMerged(other));
    EXPECT_FALSE(map.canUndo());
    EXPECT_EQ(EncodeMap(map.list()), EncodeMap(other));
}

TEST(PointMap, TheHistoryDropsItsOldestStepsBeyondItsBudget) {
    PointMap map;
    map.Reset(SampleList(2));
    map.setHistoryLimit(64 * 1024);
    for (int k = 0; k < 2000; ++k) {
        map.Nudge(Ids(map, {0}), 1, 0, false, "Move Point");
    }
    EXPECT_LE(map.historyBytes(), 64u * 1024);
    EXPECT_GT(map.stepCount(), 100u);
    EXPECT_LT(map.stepCount(), 2000u);
    // What is kept still undoes, newest first.
    const double x = map.list().point(0).dX;
    ASSERT_TRUE(map.Undo());
    EXPECT_EQ(map.list().point(0).dX, x - 1);
    // The default budget keeps at least a thousand ordinary steps.
    PointMap roomy;
    roomy.Reset(SampleList(2));
    for (int k = 0; k < 1000; ++k) {
        roomy.Edit(roomy.idAt(1), {PatternRecord(static_cast<std::uint8_t>(k)), "l", "", ""},
                   "Edit Point");
    }
    EXPECT_EQ(roomy.stepCount(), 1000u);
    // A new step after an undo drops what could have been redone.
    ASSERT_TRUE(roomy.Undo());
    roomy.Add({PatternRecord(1), "n", "", ""}, "Add Point");
    EXPECT_FALSE(roomy.canRedo());
    EXPECT_EQ(roomy.stepCount(), 1000u);
}

TEST(PointList, BulkRemoveAndInsertKeepTheOthersInOrder) {
    PointList list = SampleList(6);
    const PointList original = list;
    std::vector<PointEntry> removed;
    const int at[] = {0, 2, 5};
    list.RemovePoints(at, &removed);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.label(0), original.label(1));
    EXPECT_EQ(list.label(2), original.label(4));
    ASSERT_EQ(removed.size(), 3u);
    EXPECT_EQ(removed[1].label, original.label(2));
    list.InsertPoints(at, std::move(removed));
    EXPECT_EQ(EncodeMap(list), EncodeMap(original));
    const int bad[] = {2, 2};
    EXPECT_THROW(list.RemovePoints(bad), std::invalid_argument);
    EXPECT_EQ(EncodeMap(list), EncodeMap(original));
}
