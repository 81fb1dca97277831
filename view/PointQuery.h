// Finding points: which points of a map pass the Points panel's filter, and in which order they
// are listed. Plain code over a snapshot of the points, so that the work on a large map can run
// off the window thread while the map goes on changing.
//
// The filter matches a text anywhere in a point's label, memo or since text, ignoring case
// (Unicode case folding; the bytes read as the viewer shows them); "due only" keeps the points
// that are due (IsDue, the rule of `zelvor-maps due`). Sorting is by one column, ascending or
// descending; equal keys keep list order. Texts compare by their case-folded bytes, which is
// code-point order, fast and the same on every machine.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "PointList.h"

// The panel's columns, in order.
enum class PointColumn { Label, Memo, Since, Passed, X, Y };
inline constexpr int kPointColumnCount = 6;

struct PointFilter {
    QString text; // empty: every point
    bool dueOnly = false;

    bool isEmpty() const { return text.isEmpty() && !dueOnly; }
};

struct PointOrder {
    PointColumn column = PointColumn::Label;
    bool descending = false;
    // True for no sorting at all: list order.
    bool listOrder = true;
};

// What filtering and sorting read of every point, copied from a PointList in one pass.
class PointSnapshot {
public:
    PointSnapshot() = default;
    // Copies the positions and since dates of `list`, and its texts when `withTexts` (a filter
    // text, or sorting by label or memo, needs them); `now` decides which points are due.
    static PointSnapshot Take(const PointList& list, std::int64_t now, bool withTexts = true);
    // Whether QueryPoints needs the texts for this filter and order.
    static bool NeedsTexts(const PointFilter& filter, const PointOrder& order);

    int count() const { return static_cast<int>(m_x.size()); }
    // Text `field` (0 label, 1 memo, 2 since text) of point i; empty without texts.
    std::string_view text(int i, int field) const;
    double x(int i) const { return m_x[static_cast<std::size_t>(i)]; }
    double y(int i) const { return m_y[static_cast<std::size_t>(i)]; }
    bool hasSince(int i) const { return (m_flags[static_cast<std::size_t>(i)] & kHasSince) != 0; }
    std::int64_t since(int i) const { return m_since[static_cast<std::size_t>(i)]; }
    bool due(int i) const { return (m_flags[static_cast<std::size_t>(i)] & kDue) != 0; }

private:
    static constexpr std::uint8_t kDue = 1;
    static constexpr std::uint8_t kHasSince = 2;
    std::string m_texts;                // every text, back to back
    std::vector<std::uint64_t> m_start; // 3 per point, then the end
    std::vector<double> m_x;
    std::vector<double> m_y;
    std::vector<std::int64_t> m_since; // the since instant, where the date is switched on
    std::vector<std::uint8_t> m_flags;
};

// The indices of the points that pass `filter`, in `order`.
std::vector<int> QueryPoints(const PointSnapshot& points, const PointFilter& filter,
                             const PointOrder& order);
