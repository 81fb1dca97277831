#include "PointMap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "MapMerge.h"

namespace {

// Room between neighbouring ids, so that points merged in between get ids of their own.
constexpr PointId kGap = PointId{1} << 16;
// Beyond this the ids are given out afresh (with the history cleared).
constexpr PointId kIdCeiling = PointId{1} << 62;

// The bytes of a record that ApplyToAllPoints keeps: since flag, position, since date.
constexpr std::size_t kSinceFlag = offsetof(PointRecord, bSinceDate);
constexpr std::size_t kPosition = offsetof(PointRecord, dX);
constexpr std::size_t kPositionSize = sizeof(double) * 2;
constexpr std::size_t kSinceDate = offsetof(PointRecord, stSince);
constexpr std::size_t kSinceDateSize = sizeof(SYSTEMTIME);

// `rec` with the look of `look`: every byte but the kept ones.
void TakeLook(PointRecord& rec, const PointRecord& look) {
    PointRecord kept = rec;
    rec = look;
    auto* to = reinterpret_cast<std::uint8_t*>(&rec);
    const auto* from = reinterpret_cast<const std::uint8_t*>(&kept);
    to[kSinceFlag] = from[kSinceFlag];
    std::memcpy(to + kPosition, from + kPosition, kPositionSize);
    std::memcpy(to + kSinceDate, from + kSinceDate, kSinceDateSize);
}

bool SameLook(const PointRecord& a, const PointRecord& b) {
    PointRecord x = a;
    TakeLook(x, b); // x has b's look and a's kept bytes
    return std::memcmp(&x, &a, sizeof x) == 0;
}

std::size_t TextBytes(const PointEntry& e) {
    return sizeof(PointEntry) + e.label.capacity() + e.sinceText.capacity() + e.memo.capacity();
}

} // namespace

struct PointMap::Step {
    enum Kind { Insert, Remove, Edit, Move, Look, Since, Group };
    Kind kind = Insert;
    std::string name;
    std::vector<PointId> ids;
    // Insert, Remove: the points (while they are out of the list). Edit: before, after.
    std::vector<PointEntry> entries;
    // Move: x, y before then after for each point. Since: unused.
    std::vector<double> before;
    std::vector<double> after;
    // Look: the distinct earlier looks and, per run of points, which one; the new look.
    std::vector<PointRecord> looks;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs; // look index, run length
    PointRecord look{};
    // Since: the earlier flag and date per point, the new ones.
    std::vector<std::pair<std::uint8_t, SYSTEMTIME>> since;
    std::uint8_t sinceOn = 0;
    SYSTEMTIME sinceDate{};
    bool nudge = false;   // a move that a following nudge of the same points may join
    std::size_t cost = 0; // bytes counted against the history's budget
    std::vector<std::unique_ptr<Step>> parts; // Group: done in order, undone in reverse

    void collectIds(PointId low, PointId high, std::vector<PointId>& out) const {
        for (const PointId id : ids) {
            if (id > low && id < high) {
                out.push_back(id);
            }
        }
        for (const auto& part : parts) {
            part->collectIds(low, high, out);
        }
    }

    std::size_t bytes() const {
        std::size_t n = sizeof(Step) + name.capacity() + ids.capacity() * sizeof(PointId) +
                        (before.capacity() + after.capacity()) * sizeof(double) +
                        looks.capacity() * sizeof(PointRecord) + runs.capacity() * sizeof(runs[0]) +
                        since.capacity() * sizeof(since[0]);
        for (const PointEntry& e : entries) {
            n += TextBytes(e);
        }
        return n;
    }
};

PointMap::PointMap() = default;
PointMap::~PointMap() = default;

int PointMap::indexOf(PointId id) const {
    const auto at = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    return at != m_ids.end() && *at == id ? static_cast<int>(at - m_ids.begin()) : -1;
}

std::vector<int> PointMap::IndicesOf(std::span<const PointId> ids) const {
    std::vector<int> out;
    out.reserve(ids.size());
    for (const PointId id : ids) {
        const int i = indexOf(id);
        if (i >= 0) {
            out.push_back(i);
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

PointId PointMap::NextId() {
    if (m_next > kIdCeiling) {
        Renumber();
    }
    m_next += kGap;
    return m_next;
}

void PointMap::Renumber() {
    m_ids.resize(static_cast<std::size_t>(m_list.count()));
    for (std::size_t i = 0; i < m_ids.size(); ++i) {
        m_ids[i] = static_cast<PointId>(i + 1) * kGap;
    }
    m_next = static_cast<PointId>(m_ids.size()) * kGap;
    ++m_removals;
    ClearHistory();
}

void PointMap::Reset(PointList list) {
    m_moving.reset();
    m_list = std::move(list);
    Renumber();
    ++m_revision;
}

bool PointMap::TakeMerged(PointList merged) {
    m_moving.reset();
    const int n = m_list.count();
    const int m = merged.count();
    int prefix = 0;
    while (prefix < n && prefix < m && SamePoint(m_list, prefix, merged, prefix)) {
        ++prefix;
    }
    int suffix = 0;
    while (suffix < n - prefix && m - suffix > prefix &&
           SamePoint(m_list, n - 1 - suffix, merged, m - 1 - suffix)) {
        ++suffix;
    }
    const bool laidOver = m >= n && prefix + suffix == n;
    if (!laidOver) {
        m_list = std::move(merged);
        Renumber();
        ++m_revision;
        return false;
    }
    // New ids strictly between the neighbours', none that a step holds.
    const auto added = static_cast<std::size_t>(m - n);
    const PointId low = prefix > 0 ? m_ids[static_cast<std::size_t>(prefix) - 1] : 0;
    const bool atEnd = prefix == n;
    const PointId high =
        atEnd ? std::numeric_limits<PointId>::max() : m_ids[static_cast<std::size_t>(prefix)];
    std::vector<PointId> held;
    for (const auto& step : m_steps) {
        step->collectIds(low, high, held);
    }
    std::sort(held.begin(), held.end());
    std::vector<PointId> fresh;
    fresh.reserve(added);
    if (atEnd) {
        for (std::size_t k = 0; k < added; ++k) {
            fresh.push_back(NextId()); // above every id given out, so held by no step
        }
    } else {
        const PointId span = high - low;
        const PointId stride = span / (added + 1);
        PointId candidate = low;
        for (std::size_t k = 0; k < added && stride > 0; ++k) {
            candidate = std::max(candidate + 1, low + stride * (k + 1));
            while (std::binary_search(held.begin(), held.end(), candidate)) {
                ++candidate;
            }
            if (candidate >= high) {
                break;
            }
            fresh.push_back(candidate);
        }
    }
    if (fresh.size() != added) {
        m_list = std::move(merged);
        Renumber();
        ++m_revision;
        return false;
    }
    m_ids.insert(m_ids.begin() + prefix, fresh.begin(), fresh.end());
    m_list = std::move(merged); // their records, phases included
    ++m_revision;
    return true;
}

void PointMap::BeginGroup(const std::string& name) {
    m_group = std::make_unique<Step>();
    m_group->kind = Step::Group;
    m_group->name = name;
}

void PointMap::EndGroup() {
    std::unique_ptr<Step> group = std::move(m_group);
    if (!group || group->parts.empty()) {
        return;
    }
    if (group->parts.size() == 1) {
        std::unique_ptr<Step> only = std::move(group->parts.front());
        only->name = group->name;
        Push(std::move(only));
        return;
    }
    for (const auto& part : group->parts) {
        group->cost += part->cost;
    }
    group->cost += sizeof(Step);
    Push(std::move(group));
}

void PointMap::Push(std::unique_ptr<Step> step) {
    if (step->cost == 0) {
        step->cost = step->bytes();
    }
    if (m_group) {
        m_group->parts.push_back(std::move(step));
        ++m_revision;
        return;
    }
    while (m_steps.size() > m_done) {
        m_historyBytes -= m_steps.back()->cost;
        m_steps.pop_back();
    }
    m_historyBytes += step->cost;
    m_steps.push_back(std::move(step));
    m_done = m_steps.size();
    ++m_revision;
    Trim();
}

void PointMap::Trim() {
    std::size_t drop = 0;
    // Only done steps go: the first undone one must stay the next to redo.
    while (m_historyBytes > m_historyLimit && drop < m_done && m_steps.size() - drop > 1) {
        m_historyBytes -= m_steps[drop]->cost;
        ++drop;
    }
    if (drop > 0) {
        m_steps.erase(m_steps.begin(), m_steps.begin() + static_cast<std::ptrdiff_t>(drop));
        m_done -= drop;
    }
}

void PointMap::setHistoryLimit(std::size_t bytes) {
    m_historyLimit = bytes;
    Trim();
}

void PointMap::ClearHistory() {
    m_steps.clear();
    m_done = 0;
    m_historyBytes = 0;
}

const std::string& PointMap::undoName() const {
    static const std::string none;
    return canUndo() ? m_steps[m_done - 1]->name : none;
}

const std::string& PointMap::redoName() const {
    static const std::string none;
    return canRedo() ? m_steps[m_done]->name : none;
}

bool PointMap::Undo() {
    if (!canUndo() || isMoving()) {
        return false;
    }
    --m_done;
    ApplyStep(*m_steps[m_done], false);
    ++m_revision;
    return true;
}

bool PointMap::Redo() {
    if (!canRedo() || isMoving()) {
        return false;
    }
    ApplyStep(*m_steps[m_done], true);
    ++m_done;
    ++m_revision;
    return true;
}

void PointMap::RemoveIds(const std::vector<PointId>& ids, std::vector<PointEntry>* removed) {
    // `ids` ascend (steps keep them so), and so do their indices.
    std::vector<int> at;
    at.reserve(ids.size());
    for (const PointId id : ids) {
        const int i = indexOf(id);
        if (i < 0) {
            throw std::logic_error("a step refers to a point the map does not hold");
        }
        at.push_back(i);
    }
    m_list.RemovePoints(at, removed);
    ++m_removals;
    std::size_t out = 0;
    std::size_t next = 0;
    for (std::size_t in = 0; in < m_ids.size(); ++in) {
        if (next < at.size() && in == static_cast<std::size_t>(at[next])) {
            ++next;
            continue;
        }
        m_ids[out++] = m_ids[in];
    }
    m_ids.resize(out);
}

void PointMap::InsertEntries(const std::vector<PointId>& ids,
                             const std::vector<PointEntry>& entries) {
    // Where each id belongs: its rank among the old ids plus the new ones before it.
    std::vector<int> at;
    at.reserve(ids.size());
    for (std::size_t k = 0; k < ids.size(); ++k) {
        const auto rank = std::lower_bound(m_ids.begin(), m_ids.end(), ids[k]) - m_ids.begin();
        at.push_back(static_cast<int>(rank + static_cast<std::ptrdiff_t>(k)));
    }
    m_list.InsertPoints(at, entries);
    std::vector<PointId> merged;
    merged.reserve(m_ids.size() + ids.size());
    std::merge(m_ids.begin(), m_ids.end(), ids.begin(), ids.end(), std::back_inserter(merged));
    m_ids = std::move(merged);
}

void PointMap::ApplyStep(Step& s, bool forward) {
    switch (s.kind) {
    case Step::Insert:
    case Step::Remove: {
        const bool insert = (s.kind == Step::Insert) == forward;
        if (insert) {
            InsertEntries(s.ids, s.entries);
            s.entries.clear();
            s.entries.shrink_to_fit();
        } else {
            RemoveIds(s.ids, &s.entries);
        }
        break;
    }
    case Step::Edit: {
        const PointEntry& e = s.entries[forward ? 1 : 0];
        m_list.SetPoint(indexOf(s.ids[0]), e.rec, e.label, e.sinceText, e.memo);
        break;
    }
    case Step::Move: {
        const std::vector<double>& xy = forward ? s.after : s.before;
        for (std::size_t k = 0; k < s.ids.size(); ++k) {
            PointRecord& r = m_list.point(indexOf(s.ids[k]));
            r.dX = xy[2 * k];
            r.dY = xy[2 * k + 1];
        }
        break;
    }
    case Step::Look: {
        if (forward) {
            for (const PointId id : s.ids) {
                TakeLook(m_list.point(indexOf(id)), s.look);
            }
            break;
        }
        std::size_t k = 0;
        for (const auto& [look, length] : s.runs) {
            for (std::uint32_t j = 0; j < length; ++j, ++k) {
                TakeLook(m_list.point(indexOf(s.ids[k])), s.looks[look]);
            }
        }
        break;
    }
    case Step::Group:
        if (forward) {
            for (const auto& part : s.parts) {
                ApplyStep(*part, true);
            }
        } else {
            for (auto part = s.parts.rbegin(); part != s.parts.rend(); ++part) {
                ApplyStep(**part, false);
            }
        }
        break;
    case Step::Since:
        for (std::size_t k = 0; k < s.ids.size(); ++k) {
            PointRecord& r = m_list.point(indexOf(s.ids[k]));
            r.bSinceDate = forward ? s.sinceOn : s.since[k].first;
            r.stSince = forward ? s.sinceDate : s.since[k].second;
        }
        break;
    }
}

PointId PointMap::Add(const PointEntry& entry, const std::string& name) {
    return Insert({entry}, name).front();
}

std::vector<PointId> PointMap::Insert(std::vector<PointEntry> entries, const std::string& name) {
    auto step = std::make_unique<Step>();
    step->kind = Step::Insert;
    step->name = name;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        step->ids.push_back(NextId());
    }
    step->entries = std::move(entries);
    step->cost = step->bytes(); // the points come back here when the step is undone
    ApplyStep(*step, true);
    std::vector<PointId> ids = step->ids;
    Push(std::move(step));
    return ids;
}

bool PointMap::Edit(PointId id, const PointEntry& entry, const std::string& name) {
    const int i = indexOf(id);
    if (i < 0) {
        return false;
    }
    auto step = std::make_unique<Step>();
    step->kind = Step::Edit;
    step->name = name;
    step->ids = {id};
    step->entries = {{m_list.point(i), m_list.label(i), m_list.sinceText(i), m_list.memo(i)},
                     entry};
    ApplyStep(*step, true);
    Push(std::move(step));
    return true;
}

void PointMap::ApplyLook(const PointRecord& look, std::span<const PointId> ids,
                         const std::string& name) {
    auto step = std::make_unique<Step>();
    step->kind = Step::Look;
    step->name = name;
    step->look = look;
    if (ids.empty()) {
        step->ids = m_ids;
    } else {
        for (const int i : IndicesOf(ids)) {
            step->ids.push_back(m_ids[static_cast<std::size_t>(i)]);
        }
    }
    if (step->ids.empty()) {
        return;
    }
    // Earlier looks as runs: a map's points mostly share a few looks, often in long runs.
    for (const PointId id : step->ids) {
        const PointRecord& r = m_list.point(indexOf(id));
        if (step->runs.empty() || !SameLook(r, step->looks[step->runs.back().first])) {
            std::uint32_t which = 0;
            while (which < step->looks.size() && which < 8 && !SameLook(r, step->looks[which])) {
                ++which;
            }
            if (which == step->looks.size() || which == 8) {
                which = static_cast<std::uint32_t>(step->looks.size());
                step->looks.push_back(r);
            }
            step->runs.emplace_back(which, 0);
        }
        ++step->runs.back().second;
    }
    step->looks.shrink_to_fit();
    step->runs.shrink_to_fit();
    ApplyStep(*step, true);
    Push(std::move(step));
}

void PointMap::SetSince(std::span<const PointId> ids, bool on, const SYSTEMTIME& since,
                        const std::string& name) {
    auto step = std::make_unique<Step>();
    step->kind = Step::Since;
    step->name = name;
    step->sinceOn = on ? 1 : 0;
    step->sinceDate = since;
    for (const int i : IndicesOf(ids)) {
        step->ids.push_back(m_ids[static_cast<std::size_t>(i)]);
        const PointRecord& r = m_list.point(i);
        step->since.emplace_back(r.bSinceDate, r.stSince);
    }
    if (step->ids.empty()) {
        return;
    }
    ApplyStep(*step, true);
    Push(std::move(step));
}

int PointMap::Remove(std::span<const PointId> ids, const std::string& name) {
    auto step = std::make_unique<Step>();
    step->kind = Step::Remove;
    step->name = name;
    for (const int i : IndicesOf(ids)) {
        step->ids.push_back(m_ids[static_cast<std::size_t>(i)]);
    }
    if (step->ids.empty()) {
        return 0;
    }
    ApplyStep(*step, true);
    const int removed = static_cast<int>(step->ids.size());
    Push(std::move(step));
    return removed;
}

void PointMap::Nudge(std::span<const PointId> ids, double dx, double dy, bool extendRun,
                     const std::string& name) {
    std::vector<PointId> present;
    for (const int i : IndicesOf(ids)) {
        present.push_back(m_ids[static_cast<std::size_t>(i)]);
    }
    if (present.empty()) {
        return;
    }
    Step* last = canUndo() && !canRedo() ? m_steps[m_done - 1].get() : nullptr;
    if (extendRun && last != nullptr && last->kind == Step::Move && last->nudge &&
        last->ids == present) {
        for (std::size_t k = 0; k < present.size(); ++k) {
            last->after[2 * k] += dx;
            last->after[2 * k + 1] += dy;
        }
        ApplyStep(*last, true);
        ++m_revision;
        return;
    }
    auto step = std::make_unique<Step>();
    step->kind = Step::Move;
    step->name = name;
    step->nudge = true;
    step->ids = std::move(present);
    for (const PointId id : step->ids) {
        const PointRecord& r = m_list.point(indexOf(id));
        step->before.push_back(r.dX);
        step->before.push_back(r.dY);
        step->after.push_back(r.dX + dx);
        step->after.push_back(r.dY + dy);
    }
    ApplyStep(*step, true);
    Push(std::move(step));
}

void PointMap::BeginMove(std::span<const PointId> ids) {
    m_moving = std::make_unique<Step>();
    m_moving->kind = Step::Move;
    for (const int i : IndicesOf(ids)) {
        m_moving->ids.push_back(m_ids[static_cast<std::size_t>(i)]);
        const PointRecord& r = m_list.point(i);
        m_moving->before.push_back(r.dX);
        m_moving->before.push_back(r.dY);
    }
}

void PointMap::MoveLive(PointId lead, double x, double y) {
    if (!m_moving) {
        return;
    }
    const std::vector<PointId>& ids = m_moving->ids;
    const auto at = std::lower_bound(ids.begin(), ids.end(), lead);
    if (at == ids.end() || *at != lead) {
        return;
    }
    const auto k = static_cast<std::size_t>(at - ids.begin());
    const double dx = x - m_moving->before[2 * k];
    const double dy = y - m_moving->before[2 * k + 1];
    for (std::size_t j = 0; j < ids.size(); ++j) {
        PointRecord& r = m_list.point(indexOf(ids[j]));
        // The lead exactly where it was put; the others by as much.
        r.dX = j == k ? x : m_moving->before[2 * j] + dx;
        r.dY = j == k ? y : m_moving->before[2 * j + 1] + dy;
    }
    ++m_revision;
}

bool PointMap::EndMove(const std::string& name) {
    std::unique_ptr<Step> step = std::move(m_moving);
    if (!step) {
        return false;
    }
    bool moved = false;
    for (std::size_t k = 0; k < step->ids.size(); ++k) {
        const PointRecord& r = m_list.point(indexOf(step->ids[k]));
        step->after.push_back(r.dX);
        step->after.push_back(r.dY);
        moved = moved || std::memcmp(&r.dX, &step->before[2 * k], sizeof(double)) != 0 ||
                std::memcmp(&r.dY, &step->before[2 * k + 1], sizeof(double)) != 0;
    }
    if (!moved) {
        return false;
    }
    step->name = name;
    Push(std::move(step));
    return true;
}
