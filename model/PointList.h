// All points of one picture: the records and their three texts, kept index-parallel.
// Index order is creation order: later points paint over earlier ones and the hit test
// returns the lowest matching index.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "PointRecord.h"

// A point with its texts, as a step or the clipboard carries it.
struct PointEntry {
    PointRecord rec{};
    std::string label;
    std::string sinceText;
    std::string memo;
};

class PointList {
public:
    int count() const { return static_cast<int>(m_points.size()); }
    bool empty() const { return m_points.empty(); }

    // Element access. An index below 0 or not below the count throws std::invalid_argument
    // and changes nothing.
    PointRecord& point(int i);
    const PointRecord& point(int i) const;
    const std::string& label(int i) const;
    const std::string& sinceText(int i) const;
    const std::string& memo(int i) const;

    // Appends the point; returns its index (the former count).
    int AddPoint(const PointRecord& rec, const std::string& label, const std::string& sinceText,
                 const std::string& memo);
    // Overwrites point i's record and texts.
    void SetPoint(int i, const PointRecord& rec, const std::string& label,
                  const std::string& sinceText, const std::string& memo);
    // Removes point i; later points move down by one and keep their texts.
    void RemovePoint(int i);
    // Gives every point the look of `look`: all bytes but bSinceDate (byte 2), dX and dY
    // (bytes 16-31) and stSince (bytes 168-183) come from `look`; the texts stay.
    void ApplyToAllPoints(const PointRecord& look);
    void RemoveAllPoints();

    // Bulk forms, one pass over the list whatever the count. RemovePoints removes the points at
    // `sorted` (ascending, distinct, each a valid index), moving them in order into `removed`
    // when it is given. InsertPoints inserts `entries` so that entry k ends at index `at[k]`
    // (ascending, distinct, each below the new count); other points keep their order. Bad
    // indices throw std::invalid_argument and change nothing.
    void RemovePoints(std::span<const int> sorted, std::vector<PointEntry>* removed = nullptr);
    void InsertPoints(std::span<const int> at, std::vector<PointEntry> entries);

    // The whole arrays, for the file code and for fast read-only passes.
    const std::vector<PointRecord>& points() const { return m_points; }
    const std::vector<std::string>& labels() const { return m_labels; }
    const std::vector<std::string>& sinceTexts() const { return m_sinceTexts; }
    const std::vector<std::string>& memos() const { return m_memos; }

    // Replaces the whole list at once (a map load). The four arrays must have equal sizes,
    // otherwise std::invalid_argument is thrown and the list is unchanged.
    void Assign(std::vector<PointRecord> points, std::vector<std::string> memos,
                std::vector<std::string> labels, std::vector<std::string> sinceTexts);

private:
    void check(int i) const;

    std::vector<PointRecord> m_points;
    std::vector<std::string> m_labels;
    std::vector<std::string> m_sinceTexts;
    std::vector<std::string> m_memos;
};
