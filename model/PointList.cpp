#include "PointList.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

// Room for one more element, growing geometrically so that appending stays amortised O(1).
template <class Vector> void makeRoom(Vector& v) {
    if (v.size() == v.capacity()) {
        v.reserve(std::max<std::size_t>(16, v.size() * 2));
    }
}

} // namespace

void PointList::check(int i) const {
    if (i < 0 || i >= count()) {
        throw std::invalid_argument("point index " + std::to_string(i) + " outside 0.." +
                                    std::to_string(count() - 1));
    }
}

PointRecord& PointList::point(int i) {
    check(i);
    return m_points[static_cast<std::size_t>(i)];
}

const PointRecord& PointList::point(int i) const {
    check(i);
    return m_points[static_cast<std::size_t>(i)];
}

const std::string& PointList::label(int i) const {
    check(i);
    return m_labels[static_cast<std::size_t>(i)];
}

const std::string& PointList::sinceText(int i) const {
    check(i);
    return m_sinceTexts[static_cast<std::size_t>(i)];
}

const std::string& PointList::memo(int i) const {
    check(i);
    return m_memos[static_cast<std::size_t>(i)];
}

int PointList::AddPoint(const PointRecord& rec, const std::string& label,
                        const std::string& sinceText, const std::string& memo) {
    // Copy the texts and make room in all four arrays before appending anything, so that an
    // allocation failure leaves the list as it was and the arrays never differ in count.
    std::string labelCopy = label;
    std::string sinceCopy = sinceText;
    std::string memoCopy = memo;
    if (m_points.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("a point list holds at most INT_MAX points");
    }
    makeRoom(m_points);
    makeRoom(m_labels);
    makeRoom(m_sinceTexts);
    makeRoom(m_memos);

    const int index = count();
    m_points.push_back(rec);
    m_labels.push_back(std::move(labelCopy));
    m_sinceTexts.push_back(std::move(sinceCopy));
    m_memos.push_back(std::move(memoCopy));
    return index;
}

void PointList::SetPoint(int i, const PointRecord& rec, const std::string& label,
                         const std::string& sinceText, const std::string& memo) {
    check(i);
    std::string labelCopy = label;
    std::string sinceCopy = sinceText;
    std::string memoCopy = memo;
    const auto k = static_cast<std::size_t>(i);
    m_points[k] = rec;
    m_labels[k] = std::move(labelCopy);
    m_sinceTexts[k] = std::move(sinceCopy);
    m_memos[k] = std::move(memoCopy);
}

void PointList::RemovePoint(int i) {
    check(i);
    const auto offset = static_cast<std::ptrdiff_t>(i);
    m_points.erase(m_points.begin() + offset);
    m_memos.erase(m_memos.begin() + offset);
    m_labels.erase(m_labels.begin() + offset);
    m_sinceTexts.erase(m_sinceTexts.begin() + offset);
}

void PointList::ApplyToAllPoints(const PointRecord& look) {
    // The kept fields are copied as bytes, so a position survives bit for bit.
    constexpr std::size_t kSinceFlag = offsetof(PointRecord, bSinceDate);
    constexpr std::size_t kPosition = offsetof(PointRecord, dX);
    constexpr std::size_t kPositionSize = sizeof(double) * 2;
    constexpr std::size_t kSinceDate = offsetof(PointRecord, stSince);
    constexpr std::size_t kSinceDateSize = sizeof(SYSTEMTIME);
    static_assert(offsetof(PointRecord, dY) == kPosition + sizeof(double));

    for (PointRecord& rec : m_points) {
        RecordImage kept = StorageImage(rec);
        rec = look;
        auto* bytes = reinterpret_cast<std::uint8_t*>(&rec);
        bytes[kSinceFlag] = kept[kSinceFlag];
        std::memcpy(bytes + kPosition, kept.data() + kPosition, kPositionSize);
        std::memcpy(bytes + kSinceDate, kept.data() + kSinceDate, kSinceDateSize);
    }
}

void PointList::RemoveAllPoints() {
    m_points.clear();
    m_labels.clear();
    m_sinceTexts.clear();
    m_memos.clear();
}

void PointList::Assign(std::vector<PointRecord> points, std::vector<std::string> memos,
                       std::vector<std::string> labels, std::vector<std::string> sinceTexts) {
    const std::size_t n = points.size();
    if (memos.size() != n || labels.size() != n || sinceTexts.size() != n) {
        throw std::invalid_argument("the four arrays of a point list must have equal counts");
    }
    m_points = std::move(points);
    m_memos = std::move(memos);
    m_labels = std::move(labels);
    m_sinceTexts = std::move(sinceTexts);
}

namespace {

void CheckSorted(std::span<const int> sorted, int limit) {
    int previous = -1;
    for (const int i : sorted) {
        if (i <= previous || i >= limit) {
            throw std::invalid_argument("point indices must ascend within the list");
        }
        previous = i;
    }
}

} // namespace

void PointList::RemovePoints(std::span<const int> sorted, std::vector<PointEntry>* removed) {
    CheckSorted(sorted, count());
    if (sorted.empty()) {
        return;
    }
    if (removed != nullptr) {
        removed->reserve(removed->size() + sorted.size());
    }
    std::size_t out = static_cast<std::size_t>(sorted.front());
    std::size_t next = 0;
    for (std::size_t in = out; in < m_points.size(); ++in) {
        if (next < sorted.size() && in == static_cast<std::size_t>(sorted[next])) {
            ++next;
            if (removed != nullptr) {
                removed->push_back({m_points[in], std::move(m_labels[in]),
                                    std::move(m_sinceTexts[in]), std::move(m_memos[in])});
            }
            continue;
        }
        m_points[out] = m_points[in];
        m_labels[out] = std::move(m_labels[in]);
        m_sinceTexts[out] = std::move(m_sinceTexts[in]);
        m_memos[out] = std::move(m_memos[in]);
        ++out;
    }
    m_points.resize(out);
    m_labels.resize(out);
    m_sinceTexts.resize(out);
    m_memos.resize(out);
}

void PointList::InsertPoints(std::span<const int> at, std::vector<PointEntry> entries) {
    if (at.size() != entries.size()) {
        throw std::invalid_argument("one index per inserted point");
    }
    const std::size_t total = m_points.size() + entries.size();
    if (total > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("a point list holds at most INT_MAX points");
    }
    CheckSorted(at, static_cast<int>(total));
    if (entries.empty()) {
        return;
    }
    const std::size_t old = m_points.size();
    m_points.resize(total);
    m_labels.resize(total);
    m_sinceTexts.resize(total);
    m_memos.resize(total);
    // From the back: each old point moves up by the number of entries that land before it.
    std::size_t src = old;
    std::size_t k = entries.size();
    for (std::size_t dst = total; k > 0 && dst-- > 0;) { // below the last entry all is in place
        if (dst == static_cast<std::size_t>(at[k - 1])) {
            --k;
            m_points[dst] = entries[k].rec;
            m_labels[dst] = std::move(entries[k].label);
            m_sinceTexts[dst] = std::move(entries[k].sinceText);
            m_memos[dst] = std::move(entries[k].memo);
            continue;
        }
        --src;
        m_points[dst] = m_points[src];
        m_labels[dst] = std::move(m_labels[src]);
        m_sinceTexts[dst] = std::move(m_sinceTexts[src]);
        m_memos[dst] = std::move(m_memos[src]);
    }
}
