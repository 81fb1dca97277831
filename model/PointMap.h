// The points of one open picture with their edit history: every change a user makes is one step
// that can be undone and redone.
//
// Each point carries an id that no other point of this map ever had or will have while the map
// lives. Ids grow along the list (the list is sorted by id), so a point is found by a binary
// search, and a point a step put back lands where its id belongs. Steps refer to points by id
// only, so neither other steps nor another writer's points merged in (TakeMerged) can make a
// step touch the wrong point. Where a new list cannot be laid over the current one point by
// point, every point gets a new id and the history is cleared (TakeMerged says so).
//
// A step restores exactly the bytes it changed: undoing and redoing leave every record byte and
// text as before and after it. Flash phases never make a step: the renderer rewrites them in
// place (phaseList) between steps. The history keeps its newest steps within a byte budget
// (64 MB by default), dropping the oldest first; the newest step is always kept.
//
// Plain C++; not thread-safe (the window thread owns it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "PointList.h"
#include "PointRecord.h"

using PointId = std::uint64_t;

class PointMap {
public:
    static constexpr std::size_t kDefaultHistoryLimit = std::size_t{64} << 20;

    PointMap();
    ~PointMap();
    PointMap(const PointMap&) = delete;
    PointMap& operator=(const PointMap&) = delete;

    const PointList& list() const { return m_list; }
    // The list for the renderer, which advances flash phases in place; nothing else may change
    // through it.
    PointList& phaseList() { return m_list; }
    int count() const { return m_list.count(); }
    const std::vector<PointId>& ids() const { return m_ids; }
    PointId idAt(int i) const { return m_ids.at(static_cast<std::size_t>(i)); }
    // The index of the point with `id`, or -1 when the map holds no such point.
    int indexOf(PointId id) const;

    // Counts every change of the points (steps, undo, redo, Reset, TakeMerged, moves while
    // dragging); phases do not count.
    std::uint64_t revision() const { return m_revision; }
    // Counts the changes that took points away or gave every point a new id; a holder of ids
    // (a selection) checks them again when it moved on.
    std::uint64_t removals() const { return m_removals; }

    // A freshly read list: new ids, the history cleared.
    void Reset(PointList list);
    // A list that holds this one's points and other writers' (a merged save). When it is this
    // list with points inserted in one place (compared as MergeMaps compares points), the
    // points keep their ids, the new ones get ids between their neighbours' and the history
    // stays: true. Otherwise the list is taken with new ids and the history cleared: false.
    bool TakeMerged(PointList merged);

    // Steps. `name` names the step for the Edit menu ("Move Point").
    PointId Add(const PointEntry& entry, const std::string& name);
    // Overwrites the point's record and texts; false (no step) when it is gone.
    bool Edit(PointId id, const PointEntry& entry, const std::string& name);
    // Gives the points (all of them when `ids` is empty) the look of `look`, as
    // PointList::ApplyToAllPoints does. No step when there are no points.
    void ApplyLook(const PointRecord& look, std::span<const PointId> ids, const std::string& name);
    // Sets or clears the since date of the points (bSinceDate, stSince); texts stay.
    void SetSince(std::span<const PointId> ids, bool on, const SYSTEMTIME& since,
                  const std::string& name);
    // Removes the points that still exist; returns how many. No step when none.
    int Remove(std::span<const PointId> ids, const std::string& name);
    // Appends the points in order; returns their ids.
    std::vector<PointId> Insert(std::vector<PointEntry> entries, const std::string& name);
    // Moves the points by (dx, dy) picture pixels. With `extendRun`, and when the last step is
    // a move made this way of the same points, the move joins that step.
    void Nudge(std::span<const PointId> ids, double dx, double dy, bool extendRun,
               const std::string& name);

    // Steps made between BeginGroup and EndGroup are one step named `name` (none when empty).
    void BeginGroup(const std::string& name);
    void EndGroup();

    // A drag: BeginMove remembers where the points are; MoveLive sets one point's position
    // without a step; EndMove makes one step of the whole drag (none when nothing moved).
    void BeginMove(std::span<const PointId> ids);
    // `lead` goes to (x, y), every other point of the move by as much from where it began.
    void MoveLive(PointId lead, double x, double y);
    bool EndMove(const std::string& name);
    bool isMoving() const { return m_moving != nullptr; }

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_steps.size(); }
    // The name of the step Undo or Redo would take back or do again ("" when none).
    const std::string& undoName() const;
    const std::string& redoName() const;
    bool Undo();
    bool Redo();
    void ClearHistory();
    // Steps kept (done and undone) and the bytes they hold.
    std::size_t stepCount() const { return m_steps.size(); }
    std::size_t historyBytes() const { return m_historyBytes; }
    void setHistoryLimit(std::size_t bytes);

    struct Step;

private:
    void Push(std::unique_ptr<Step> step);
    void Trim();
    void Renumber();
    PointId NextId();
    // Indices of the points of `ids` that exist, ascending.
    std::vector<int> IndicesOf(std::span<const PointId> ids) const;
    void ApplyStep(Step& step, bool forward);
    void RemoveIds(const std::vector<PointId>& ids, std::vector<PointEntry>* removed);
    void InsertEntries(const std::vector<PointId>& ids, const std::vector<PointEntry>& entries);

    PointList m_list;
    std::vector<PointId> m_ids;
    PointId m_next = 0; // ids below it were given out
    std::uint64_t m_revision = 0;
    std::uint64_t m_removals = 0;

    std::vector<std::unique_ptr<Step>> m_steps;
    std::size_t m_done = 0; // steps [0, m_done) are done, the rest undone
    std::size_t m_historyBytes = 0;
    std::size_t m_historyLimit = kDefaultHistoryLimit;
    std::unique_ptr<Step> m_moving;
    std::unique_ptr<Step> m_group;
};
